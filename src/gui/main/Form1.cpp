#include "gui/main/Form1.h"

#include "core/platform/Services.h"
#include "gui/main/AddDocuments.h"
#include "gui/run/ExtractionRun.h"
#include "gui/ui/ShellHelpers.h"

#include <QCloseEvent>
#include <QDir>
#include <QMouseEvent>

// Resources of a static library must be registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(pictrove);
}

namespace pictrove::shell {

namespace {
QFont boldArial(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}
}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
    initResources();
    setFixedSize(6960 / kTwipsPerPixel, 4605 / kTwipsPerPixel);
    setFont(boldArial(9));
    setMouseTracking(true);

    ListView1 = new ListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(twipsRect(120, 120, 6720, 2295));
    ListView1->setFont(boldArial(9));
    ListView1->setToolTip(QStringLiteral(
        "Drag and drop files here. Double-click item to remove it. Move bar to right and out "
        "of window to reveal full names."));

    auto makeButton = [this](const QString& caption, const QString& icon, QRect place) {
        auto* button = new PushButton(caption, this);
        button->setGeometry(place);
        button->setFont(boldArial(11.25));
        button->setIcon(QIcon(icon));
        connect(button, &PushButton::mouseMoved, this,
                [this] { MousePointer.hover(kPointerCustom); });
        return button;
    };
    PushButton1 =
        makeButton(QStringLiteral("Add Word File(s)"), QStringLiteral(":/icons/add-file.png"),
                   twipsRect(120, 2520, 2175, 1455));
    PushButton4 =
        makeButton(QStringLiteral("Add All Word Files In Folder"),
                   QStringLiteral(":/icons/add-folder.png"), twipsRect(2400, 2520, 2175, 1455));
    PushButton2 =
        makeButton(QStringLiteral("Start Extracting Images"), QStringLiteral(":/icons/extract.png"),
                   twipsRect(4680, 2520, 2160, 1455));
    ProgressBar1 = new ProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton4->setObjectName(QStringLiteral("PushButton4"));
    PushButton2->setObjectName(QStringLiteral("PushButton2"));
    ProgressBar1->setGeometry(twipsRect(120, 4080, 6720, 405));

    connect(ListView1, &ListView::doubleClicked, this, &Form1::removeSelectedDocument);
    connect(PushButton1, &QPushButton::clicked, this, [this] { queue::AddWordFiles(*this); });
    connect(PushButton4, &QPushButton::clicked, this,
            [this] { queue::AddAllWordFilesInFolder(*this); });
    connect(PushButton2, &QPushButton::clicked, this,
            [this] { extract::StartExtractingImages(*this); });
    ListView1->setDropHandlers([](const QMimeData* mime) { return queue::CanDropFiles(mime); },
                               [this](const QMimeData* mime) { queue::DropFiles(*this, mime); });
}

void Form1::load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    ApplySkin(this);
    CenterForm(this);
    const QString hand = FindSupportFile(QStringLiteral("HAND-M.CUR"));
    if (!hand.isEmpty()) {
        MousePointer.setCustomCursor(LoadCursorFile(hand));
    }
    MaybeOpenHomePage();
    setWindowTitle(QStringLiteral("Pictrove"));
    ListView1->addColumn(QStringLiteral(" Word File(s)"));
    ListView1->setColumnWidthPx(1, 5500.0 / kTwipsPerPixel);
}

void Form1::setControlsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(ListView1), static_cast<QWidget*>(PushButton1),
                       static_cast<QWidget*>(PushButton4), static_cast<QWidget*>(PushButton2)}) {
        w->setEnabled(enabled);
    }
}

void Form1::removeSelectedDocument() {
    if (const std::optional<int> row = ListView1->selectedIndex()) {
        ListView1->removeRow(*row);
    }
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    // Moves over the list or the progress bar reach us too when those controls pass
    // them on; only the window's own background counts.
    if (!childAt(event->position().toPoint())) {
        MousePointer.hover(kPointerDefault);
    }
    QWidget::mouseMoveEvent(event);
}

bool Form1::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        SetLastActiveProgramWindow(this);
    }
    return QWidget::event(event);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    if (platform::services().endProgram) {
        platform::services().endProgram();
    }
}

}  // namespace pictrove::shell
