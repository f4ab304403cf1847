// pictrove-cli: the headless way into the document engine.
//
//   pictrove-cli list FILE...
//
// For each document, in order, runs the same sequence of engine calls as a picture
// extraction (create, open, inline count, select and copy each inline shape, floating
// count, select and copy each floating shape, close, quit) and prints one row per
// picture that the extraction would record. Pictures stay in memory: no temporary
// picture files are written.

#include "platform/picture/Clipboard.h"
#include "platform/word/Application.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

using pictrove::picture::Clipboard;
using pictrove::word::Application;
using pictrove::word::CallStatus;

const char kUsage[] = "usage: pictrove-cli list FILE...\n";

void printHelp(QTextStream& out) {
    out << kUsage
        << "\n"
           "Lists the pictures that extracting from each document would record, one\n"
           "tab-separated row per picture after a header line:\n"
           "  document  number  kind  index  format  width  height\n"
           "number is the picture's number within its document (with gaps where a\n"
           "shape gives no picture), kind is inline or floating, index is the shape's\n"
           "1-based position in its collection, format is png, jpeg, gif, bmp, tiff, emf\n"
           "or wmf, and width and height are the picture's size in pixels as previewed.\n"
           "\n"
           "A document that cannot be opened is reported on standard error as\n"
           "'pictrove-cli: DOCUMENT: REASON'; the others are still listed, and the\n"
           "exit status is then 1.\n"
           "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n";
}

// Copies the current selection and prints a row for the picture the copy left on the
// clipboard. The clipboard is emptied first: only a picture of this step is listed.
void copyAndPrint(Application& word, Clipboard& clipboard, QTextStream& out,
                  const QString& document, qint32 number, const char* kind, qint32 index) {
    clipboard.clear();
    word.activeWindowSelectionCopy();
    if (!clipboard.hasPicture())
        return;
    const auto& picture = clipboard.picture();
    const QSize size = picture.size();
    out << document << '\t' << number << '\t' << kind << '\t' << index << '\t'
        << pictrove::picture::formatName(picture.format()) << '\t' << size.width() << '\t'
        << size.height() << '\n';
}

// Lists one document; false when it could not be opened.
bool listDocument(const QString& document, QTextStream& out, QTextStream& err) {
    Clipboard clipboard;
    Application word(clipboard);
    word.create();  // W1
    if (word.documentsOpen(document) == CallStatus::OpenFailed) {
        out.flush();
        err << "pictrove-cli: " << document << ": " << word.lastError() << '\n';
        err.flush();
    }
    const bool opened = word.activeDocument() != nullptr;
    qint32 number = 0;
    qint32 inlineCount = 0;
    word.activeDocumentInlineShapesCount(inlineCount);
    for (qint32 k = 1; k <= inlineCount; ++k) {
        ++number;
        word.activeDocumentInlineShapesSelect(k);
        copyAndPrint(word, clipboard, out, document, number, "inline", k);
    }
    qint32 floatingCount = 0;
    word.activeDocumentShapesCount(floatingCount);
    for (qint32 j = 1; j <= floatingCount; ++j) {
        ++number;
        word.activeDocumentShapesSelect(j);
        copyAndPrint(word, clipboard, out, document, number, "floating", j);
    }
    word.documentClose();  // W9
    word.quit();           // W10
    return opened;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("pictrove-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PICTROVE_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        printHelp(out);
        return 0;
    }
    if (args.contains(QStringLiteral("--version")) || args.contains(QStringLiteral("-V"))) {
        out << "pictrove-cli " << PICTROVE_VERSION << '\n';
        return 0;
    }
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (!optionsEnded && args[i] == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && args[i].startsWith(u'-') && args[i] != u"-") {
            err << "pictrove-cli: unknown option " << args[i] << '\n' << kUsage;
            return 2;
        } else {
            files.append(args[i]);
        }
    }
    if (args.isEmpty() || args[0] != u"list" || files.isEmpty()) {
        err << kUsage;
        return 2;
    }

    // Group pictures are composed with QPainter on images; no window system is needed.
    QCoreApplication app(argc, argv);
    out << "document\tnumber\tkind\tindex\tformat\twidth\theight\n";
    bool allOpened = true;
    for (const QString& file : std::as_const(files))
        allOpened = listDocument(file, out, err) && allOpened;
    out.flush();
    return allOpened ? 0 : 1;
}
