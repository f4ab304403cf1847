#include "gui/ui/QtServices.h"

#include "core/platform/Services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>

namespace pictrove::platform {

namespace {
const QString kTitle = QStringLiteral("Pictrove");

// Room for the title beside the frame's own buttons, whatever the window manager's font.
constexpr int kMinimumMessageWidth = 300;
// Lines wider than this are cut: under the width at which the box starts to wrap.
constexpr int kLongestMessageLine = 460;
}  // namespace

void SetMessageBoxText(QMessageBox& box, const QString& text) {
    const QFontMetrics metrics(box.font());
    QStringList lines = text.split(u'\n');
    bool cut = false;
    for (QString& line : lines) {
        // Sentences wrap at their blanks; only a word that cannot wrap is cut.
        QStringList words = line.split(u' ');
        for (QString& word : words) {
            if (metrics.horizontalAdvance(word) > kLongestMessageLine) {
                word = metrics.elidedText(word, Qt::ElideMiddle, kLongestMessageLine);
                cut = true;
            }
        }
        line = words.join(u' ');
    }
    box.setTextFormat(Qt::PlainText);
    box.setText(lines.join(u'\n'));
    box.setDetailedText(cut ? text : QString());
    // The box sizes itself from its layout's minimum width.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(kMinimumMessageWidth, 0, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

MsgResult QtPrompts::message(const QString& text, MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(kTitle);
    switch (icon) {
        case MsgIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MsgIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    SetMessageBoxText(box, text);
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgResult::Ok;
}

QString QtPrompts::input(const QString& prompt, const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), kTitle, prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

void QtLauncher::openAddress(const QString& address) {
    QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}

void QtServices::install() {
    Services& s = services();
    s.prompts = &prompts_;
    s.launcher = &launcher_;
    s.random = &random_;
    s.runningObjects = &runningObjects_;
    s.folderBrowser = &folderBrowser_;
    s.fileDialog = &fileDialog_;
    s.endProgram = [] {
        setProgramEnding(true);
        const QList<QWidget*> windows = QApplication::topLevelWidgets();
        for (QWidget* w : windows) {
            w->hide();
        }
        QCoreApplication::exit(0);
    };
}

}  // namespace pictrove::platform
