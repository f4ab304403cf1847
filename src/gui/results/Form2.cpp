#include "gui/results/Form2.h"

#include "core/platform/Services.h"
#include "gui/results/SaveCommands.h"
#include "gui/ui/Settings.h"
#include "gui/ui/ShellHelpers.h"

#include <QCloseEvent>
#include <QDir>
#include <QMouseEvent>
#include <QPixmap>

#include <cmath>

namespace pictrove::results {

namespace {

// Nearest integer, halves to the even neighbour (12.5 gives 12, 13.5 gives 14).
int roundHalfEven(float value) {
    return int(std::nearbyint(value));
}

// Sets up one scroll bar for a picture of `picture` pixels in a viewport of `outer`.
void resetScroll(QScrollBar* bar, int& step, int picture, int outer) {
    if (picture <= outer) {
        bar->setEnabled(false);
        step = 0;
        return;
    }
    const float difference = float(picture - outer);
    bar->setEnabled(true);
    if (difference <= 100.0f) {
        bar->setMaximum(roundHalfEven(difference));
        step = 1;
    } else {
        bar->setMaximum(roundHalfEven(difference / 10.0f));
        step = 10;
    }
    bar->setValue(0);
}

}  // namespace

void PreviewPicture::setPicture(const picture::Picture& picture) {
    picture_ = picture;
    const QImage image = picture.toImage();
    if (image.isNull()) {
        clear();
        resize(0, 0);
        return;
    }
    setPixmap(QPixmap::fromImage(image));
    resize(image.size());
}

void PreviewPicture::mousePressEvent(QMouseEvent* event) {
    emit pressed(event->position());
}

void PreviewPicture::mouseMoveEvent(QMouseEvent* event) {
    emit moved(event->position(), event->buttons());
}

Form2::Form2(QWidget* mainWindow, QWidget* parent) : QWidget(parent), mainWindow_(mainWindow) {
    setFixedSize(536, 636);
    setMouseTracking(true);

    ListView1 = new shell::ListView(this);
    ListView1->setGeometry(8, 8, 520, 121);
    Label3 = new QLabel(QStringLiteral("Results:"), this);
    Label3->setGeometry(8, 138, 153, 17);

    Picture2 = new QFrame(this);
    Picture2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture2->setLineWidth(2);
    Picture2->setGeometry(8, 160, 504, 298);
    Picture2Inner = new QWidget(Picture2);
    Picture2Inner->setGeometry(Picture2->contentsRect());
    Picture1 = new PreviewPicture(Picture2Inner);
    Picture1->setGeometry(0, 0, 0, 0);

    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setGeometry(511, 154, 17, 301);
    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    HScroll1->setGeometry(8, 456, 504, 17);
    for (QScrollBar* bar : {VScroll1, HScroll1}) {
        bar->setRange(0, 0);
        bar->setTracking(false);  // the picture moves when the box is released
    }

    Frame2 = new QGroupBox(QStringLiteral("Save Output Files As"), this);
    // Wide enough for the third choice after BMP and JPG; the quality controls to its
    // right start where it ends.
    Frame2->setGeometry(8, 480, 232, 49);
    Option1 = new QRadioButton(QStringLiteral("BMP"), Frame2);
    Option1->setGeometry(16, 18, 53, 22);
    Option1->setChecked(true);
    Option2 = new QRadioButton(QStringLiteral("JPG"), Frame2);
    Option2->setGeometry(96, 18, 45, 22);
    Option3 = new QRadioButton(QStringLiteral("Original"), Frame2);
    Option3->setGeometry(152, 18, 72, 22);
    Label5 = new QLabel(this);
    Label5->setGeometry(248, 480, 169, 17);
    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setGeometry(248, 496, 280, 32);
    Slider1->setRange(0, 100);
    Slider1->setValue(85);
    showQuality(Slider1->value());
    Slider1->setTickPosition(QSlider::TicksBelow);
    Slider1->setTickInterval(10);

    Frame1 = new QGroupBox(QStringLiteral("Save Image(s) To This Folder"), this);
    Frame1->setGeometry(8, 536, 521, 54);
    Text1 = new QLineEdit(Frame1);
    Text1->setGeometry(16, 20, 436, 23);
    PushButton7 = new shell::PushButton(QStringLiteral("..."), Frame1);
    PushButton7->setGeometry(464, 20, 40, 23);
    PushButton8 = new shell::PushButton(QStringLiteral("< Back"), this);
    PushButton8->setGeometry(8, 600, 248, 27);
    PushButton6 = new shell::PushButton(QStringLiteral("Save Results"), this);
    PushButton6->setGeometry(264, 600, 264, 27);
    Creator = new QLabel(this);
    Creator->setGeometry(584, 0, 17, 17);

    const std::pair<QWidget*, const char*> names[] = {
        {ListView1, "ListView1"},     {Label3, "Label3"},
        {Picture2, "Picture2"},       {Picture1, "Picture1"},
        {VScroll1, "VScroll1"},       {HScroll1, "HScroll1"},
        {Frame2, "Frame2"},           {Option1, "Option1"},
        {Option2, "Option2"},         {Option3, "Option3"},
        {Label5, "Label5"},           {Slider1, "Slider1"},
        {Frame1, "Frame1"},           {Text1, "Text1"},
        {PushButton7, "PushButton7"}, {PushButton8, "PushButton8"},
        {PushButton6, "PushButton6"}, {Creator, "Creator"}};
    for (const auto& [widget, name] : names) {
        widget->setObjectName(QString::fromLatin1(name));
    }

    connect(ListView1, &shell::ListView::rowClicked, this, &Form2::listClicked);
    connect(ListView1, &shell::ListView::rowChosenByKey, this, &Form2::listClicked);
    connect(Slider1, &QSlider::valueChanged, this, &Form2::showQuality);
    connect(HScroll1, &QScrollBar::valueChanged, this,
            [this](int value) { Picture1->move(-(mScrollStepX * value), Picture1->y()); });
    connect(VScroll1, &QScrollBar::valueChanged, this,
            [this](int value) { Picture1->move(Picture1->x(), -(mScrollStepY * value)); });
    connect(Picture1, &PreviewPicture::pressed, this, [this](QPointF pos) {
        mDragStartX = float(pos.x());
        mDragStartY = float(pos.y());
    });
    connect(Picture1, &PreviewPicture::moved, this, [this](QPointF pos, Qt::MouseButtons buttons) {
        if (buttons != Qt::NoButton) {
            dragTo(pos);
        }
    });
    for (shell::PushButton* button : {PushButton6, PushButton7, PushButton8}) {
        connect(button, &shell::PushButton::mouseMoved, this,
                [this] { MousePointer.hover(shell::kPointerCustom); });
    }
    for (QWidget* w : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Text1)}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    connect(PushButton8, &QPushButton::clicked, this, &Form2::back);
    connect(PushButton6, &QPushButton::clicked, this, [this] { SaveResultsClicked(*this); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { BrowseOutputFolder(*this); });
    connect(Text1, &QLineEdit::textChanged, this, [](const QString& text) {
        shell::SaveSetting(shell::kAppName, shell::kSection, QStringLiteral("Output Folder"), text);
    });
    connect(Option1, &QRadioButton::clicked, this, [this] { optionClicked(1); });
    connect(Option2, &QRadioButton::clicked, this, [this] { optionClicked(2); });
    connect(Option3, &QRadioButton::clicked, this, [this] { optionClicked(3); });
}

void Form2::load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    shell::SetButtonFaceColors(this);
    shell::CenterForm(this);
    setWindowTitle(QStringLiteral("Pictrove"));
    const QString hand = shell::FindSupportFile(QStringLiteral("HAND-M.CUR"));
    if (!hand.isEmpty()) {
        MousePointer.setCustomCursor(shell::LoadCursorFile(hand));
    }
    // The default output folder is the user's home folder.
    Text1->setText(shell::GetSetting(shell::kAppName, shell::kSection,
                                     QStringLiteral("Output Folder"),
                                     QDir::homePath() + QDir::separator()));
    ListView1->addColumn(QStringLiteral("Preview"));
    ListView1->addColumn(QStringLiteral("Image No."));
    ListView1->setColumnWidthPx(1, 330);
    ListView1->setColumnWidthPx(2, 150);
    bool numeric = false;
    const int option = shell::GetSetting(shell::kAppName, shell::kSection,
                                         QStringLiteral("Option2"), QStringLiteral("1"))
                           .trimmed()
                           .toInt(&numeric);
    // Anything but 1, 2 or 3 (a hand-edited file) keeps the design-time choice, BMP.
    QRadioButton* const stored[] = {Option1, Option2, Option3};
    if (numeric && option >= 1 && option <= 3) {
        stored[option - 1]->setChecked(true);
        optionClicked(option);
    } else {
        Slider1->setEnabled(!Option1->isChecked());
    }
}

void Form2::optionClicked(int option) {
    shell::SaveSetting(shell::kAppName, shell::kSection, QStringLiteral("Option2"),
                       QString::number(option));
    Slider1->setEnabled(option == 2);
}

void Form2::showQuality(int quality) {
    Label5->setText(QStringLiteral("JPG Image Quality: %1").arg(quality));
}

void Form2::setSaving(bool saving) {
    MousePointer.setKind(saving ? shell::kPointerHourglass : shell::kPointerDefault);
    for (QWidget* w : {static_cast<QWidget*>(ListView1), static_cast<QWidget*>(Frame1),
                       static_cast<QWidget*>(Frame2), static_cast<QWidget*>(PushButton6),
                       static_cast<QWidget*>(PushButton8)}) {
        w->setEnabled(!saving);
    }
    Slider1->setEnabled(!saving && Option2->isChecked());
    if (!saving) {
        setWindowTitle(QStringLiteral("Pictrove"));
    }
}

void Form2::ResetPreview() {
    Picture1->move(Picture1->x(), 0);
    Picture1->move(0, 0);
    resetScroll(HScroll1, mScrollStepX, Picture1->width(), Picture2->width());
    resetScroll(VScroll1, mScrollStepY, Picture1->height(), Picture2->height());
}

void Form2::dragTo(QPointF pos) {
    const QSize inner = Picture2->contentsRect().size();
    float left = float(Picture1->x()) - mDragStartX + float(pos.x());
    if (left > 0) {
        left = 0;
    } else if (float(inner.width() - Picture1->width()) > left) {
        left = float(inner.width() - Picture1->width());
    }
    float top = float(Picture1->y()) - mDragStartY + float(pos.y());
    if (top > 0) {
        top = 0;
    } else if (float(inner.height() - Picture1->height()) > top) {
        top = float(inner.height() - Picture1->height());
    }
    Picture1->move(int(std::lround(left)), int(std::lround(top)));
}

void Form2::listClicked() {
    const std::optional<int> row = ListView1->selectedIndex();
    if (!row) {
        return;  // nothing selected (an empty list): nothing to show
    }
    MousePointer.setKind(shell::kPointerHourglass);
    Picture1->setPicture(holder(*row - 1));
    ResetPreview();
    MousePointer.setKind(shell::kPointerDefault);
}

void Form2::back() {
    if (mTotalImages > 1) {
        Image1.keepFirstOnly();
    }
    if (mainWindow_) {
        mainWindow_->show();
    }
    hide();
}

int Form2::appendRow(const QString& text) {
    return ListView1->appendRow(text);
}

bool Form2::setRowNumber(int row, const QString& number) {
    return ListView1->setSubItem(row, number);
}

void Form2::beginRun() {
    ListView1->removeAllRows();
}

void Form2::presentRun() {
    // A run that recorded nothing shows nothing: element 0 may still hold a picture of
    // an earlier run, which belongs to no row now.
    Picture1->setPicture(mTotalImages > 0 ? holder(0) : picture::Picture());
    if (mTotalImages == 0) {
        for (QScrollBar* bar : {HScroll1, VScroll1}) {
            bar->setValue(0);
        }
    }
    show();
    activateWindow();
    // The activation resets the preview; the window system may tell us later, so it is
    // done here at once.
    shell::SetLastActiveProgramWindow(this);
    ResetPreview();
}

void Form2::mouseMoveEvent(QMouseEvent* event) {
    if (!childAt(event->position().toPoint())) {
        MousePointer.hover(shell::kPointerDefault);
    }
    QWidget::mouseMoveEvent(event);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove && (watched == Frame1 || watched == Text1)) {
        // Over Frame1 itself, not over the button inside it.
        auto* me = static_cast<QMouseEvent*>(event);
        if (watched == Text1 || !Frame1->childAt(me->position().toPoint())) {
            MousePointer.hover(shell::kPointerDefault);
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool Form2::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        // Only a change between the program's own windows counts as an activation;
        // coming back from another application leaves the preview where it was.
        if (shell::LastActiveProgramWindow() != this) {
            shell::SetLastActiveProgramWindow(this);
            ResetPreview();
        }
    }
    return QWidget::event(event);
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    if (platform::services().endProgram) {
        platform::services().endProgram();
    }
}

}  // namespace pictrove::results
