// Drives the real windows through a run and saves pictures of them for the README:
//   pictrove-screenshots OUTDIR DOCUMENT...
// Run it under a display (scripts/screenshots.sh uses Xvfb).
#include "core/platform/Services.h"
#include "gui/main/Form1.h"
#include "gui/results/Form2.h"
#include "gui/run/ExtractionRun.h"
#include "gui/ui/QtServices.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

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
    return 0;
}
