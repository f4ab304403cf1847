#include "core/platform/Allocator.h"
#include "core/platform/Random.h"
#include "core/platform/Services.h"
#include "core/platform/TemporaryFiles.h"
#include "gui/main/AddDocuments.h"
#include "gui/main/CommandLine.h"
#include "gui/main/Form1.h"
#include "gui/ui/QtServices.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    using pictrove::shell::CommandLine;
    // --help and --version are answered before Qt looks for a display. Other options
    // may still be Qt's own, so a complaint about them waits until Qt has taken those.
    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw.append(QString::fromLocal8Bit(argv[i]));
    }
    const CommandLine early = pictrove::shell::ParseCommandLine(raw);
    if (early.action == CommandLine::Action::Help) {
        std::fputs(qPrintable(pictrove::shell::CommandLineHelp()), stdout);
        return 0;
    }
    if (early.action == CommandLine::Action::Version) {
        std::fputs(qPrintable(pictrove::shell::CommandLineVersion()), stdout);
        return 0;
    }

    pictrove::platform::endCleanlyOnInterrupt();
    pictrove::platform::removeStaleTemporaryFolders();
    pictrove::platform::tuneAllocatorForLargePictures();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pictrove"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.pictrove.Pictrove"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.pictrove.Pictrove")));

    const CommandLine line = pictrove::shell::ParseCommandLine(QCoreApplication::arguments());
    if (line.action == CommandLine::Action::Usage) {
        const QString usage = pictrove::shell::CommandLineHelp().section(u'\n', 0, 0);
        std::fprintf(stderr, "pictrove: %s\n%s\n", qPrintable(line.error), qPrintable(usage));
        return 2;
    }

    pictrove::platform::QtServices qtServices;
    qtServices.install();

    pictrove::shell::Form1 form;
    form.load();
    form.show();
    // Once the event loop runs, so that the window is up while a folder is walked.
    QTimer::singleShot(0, &form, [&form, documents = line.documents] {
        pictrove::queue::AddDocumentPaths(form, documents);
    });
    return QApplication::exec();
}
