// The extraction run of the main window, headless: queues the documents, presses
// "Start Extracting Images" and waits for the results window. Prints the wall time,
// the number of pictures and the total size of their encoded bytes.
// The pictures' bytes are kept in a memory file, which the resident size does not
// count: its size is printed too (store_bytes).
//
//   QT_QPA_PLATFORM=offscreen run_bench DOCUMENT...
#include "core/platform/Allocator.h"
#include "core/platform/Prompts.h"
#include "core/platform/Random.h"
#include "core/platform/Services.h"
#include "gui/main/Form1.h"
#include "gui/results/Form2.h"
#include "gui/run/ExtractionRun.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {
// Answers every message box with OK and prints it; a benchmark has nobody to ask.
class PrintingPrompts final : public pictrove::platform::Prompts {
  public:
    pictrove::platform::MsgResult message(const QString& text, pictrove::platform::MsgButtons,
                                          pictrove::platform::MsgIcon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return pictrove::platform::MsgResult::Yes;
    }
    QString input(const QString&, const QString& defaultText) override { return defaultText; }
};
// Memory held by the picture store: the pages of this process's memory files.
qint64 memoryFileBytes() {
    qint64 total = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QByteArray path = QFile::encodeName(fds.filePath(fd));
        char target[256] = {};
        struct stat st;
        if (readlink(path.constData(), target, sizeof target - 1) > 0 &&
            std::strncmp(target, "/memfd:", 7) == 0 && stat(path.constData(), &st) == 0) {
            total += qint64(st.st_blocks) * 512;
        }
    }
    return total;
}
}  // namespace

int main(int argc, char** argv) {
    pictrove::platform::tuneAllocatorForLargePictures();
    QApplication app(argc, argv);
    PrintingPrompts prompts;
    pictrove::platform::StdRandom random;
    pictrove::platform::services().prompts = &prompts;
    pictrove::platform::services().random = &random;

    pictrove::shell::Form1 form;
    form.load();
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        form.ListView1->appendRow(args[i]);
    }
    QElapsedTimer timer;
    timer.start();
    form.PushButton2->click();
    const qint64 ms = timer.elapsed();

    pictrove::results::Form2* results = pictrove::extract::ResultsWindowIfLoaded(form);
    qint64 encoded = 0;
    const int pictures = results ? results->mTotalImages : 0;
    for (int i = 0; i < pictures; ++i) {
        encoded += results->holder(i).encodedSize();
    }
    std::printf("run_ms\t%lld\npictures\t%d\nencoded_bytes\t%lld\nstore_bytes\t%lld\n",
                static_cast<long long>(ms), pictures, static_cast<long long>(encoded),
                static_cast<long long>(memoryFileBytes()));
    return 0;
}
