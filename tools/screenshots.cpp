// Drives the real windows through a run and a save and saves pictures of them for the
// README:
//   pictrove-screenshots OUTDIR DOCUMENT...
// Run it under a display (scripts/screenshots.sh uses Xvfb). No window manager draws a
// frame there, so the picture taken during the save gets its caption drawn above it.
#include "core/platform/Services.h"
#include "gui/main/Form1.h"
#include "gui/results/Form2.h"
#include "gui/run/ExtractionRun.h"
#include "gui/ui/QtServices.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// The window's picture under a plain title bar that shows its caption.
QImage withCaption(QWidget& window) {
    const QPixmap client = window.grab();
    const int bar = window.fontMetrics().height() + 12;
    QImage image(client.width(), client.height() + bar, QImage::Format_RGB32);
    image.fill(window.palette().color(QPalette::Dark));
    QPainter painter(&image);
    painter.setPen(window.palette().color(QPalette::BrightText));
    painter.drawText(QRect(8, 0, client.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft,
                     window.windowTitle());
    painter.drawPixmap(0, bar, client);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: pictrove-screenshots OUTDIR DOCUMENT...\n");
        return 2;
    }
    pictrove::platform::QtServices services;
    services.install();
    const QDir out(args[1]);

    pictrove::shell::Form1 form;
    form.load();
    form.show();
    for (int i = 2; i < args.size(); ++i) {
        form.ListView1->appendRow(QFileInfo(args[i]).absoluteFilePath());
    }
    auto settle = [] {
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
        }
    };
    settle();
    form.grab().save(out.filePath(QStringLiteral("main-window.png")));
    pictrove::extract::StartExtractingImages(form);
    settle();
    pictrove::results::Form2* results = pictrove::extract::ResultsWindowIfLoaded(form);
    if (!results) {
        return 1;
    }
    if (results->ListView1->rowCount() > 0) {
        results->ListView1->topLevelItem(0)->setSelected(true);
    }
    settle();
    results->grab().save(out.filePath(QStringLiteral("results-window.png")));

    // During a save: the first time it lets events run, the window is busy and its
    // caption counts the rows.
    QTemporaryDir saved;
    results->Text1->setText(saved.path());
    results->Option2->click();
    settle();
    QTimer::singleShot(0, results, [results, &out] {
        withCaption(*results).save(out.filePath(QStringLiteral("results-window-saving.png")));
    });
    QTimer closeMessage;  // the closing "Done." box
    QObject::connect(&closeMessage, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->close();
        }
    });
    closeMessage.start(50);
    results->PushButton6->click();
    return 0;
}
