// pictrove-cli: the headless way into the document engine.
//
//   pictrove-cli list FILE...
//   pictrove-cli save --format bmp|jpg [--quality N] --out DIR FILE...
//   pictrove-cli scan FOLDER [--ext EXT]
//
// For each document, in order, runs the extraction's own engine sequence and prints one
// row per picture that the extraction would record. Pictures stay in memory: no
// temporary picture files are written.

#include "core/extract/DocumentExtraction.h"
#include "core/extract/FieldEscape.h"
#include "core/platform/Allocator.h"
#include "core/save/SaveResults.h"
#include "core/scan/AddFolder.h"
#include "core/scan/DirectoryListing.h"
#include "core/scan/DocumentPaths.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <unistd.h>
#include <cstdio>
#include <optional>

namespace {

const char kUsage[] =
    "usage: pictrove-cli list FILE...\n"
    "       pictrove-cli save --format bmp|jpg [--quality N] --out DIR FILE...\n"
    "       pictrove-cli scan FOLDER [--ext EXT]\n";

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
           "save extracts the pictures of the documents exactly as the program's window\n"
           "does and writes them into DIR as NAME_NUMBER.bmp or .jpg (NAME is the\n"
           "document's file name without its extension), JPEG at quality N (0 to 100,\n"
           "default 85). It ends with the window's message: 'Done.' and how many files\n"
           "were written where, 'Output folder not exists.' (exit status 1) or the error\n"
           "of a failed write (exit status 1).\n"
           "\n"
           "scan prints the documents that 'Add All Word Files In Folder' would add for\n"
           "FOLDER and the extension EXT (default doc), one per line and in the same\n"
           "order; a backslash, tab or line break in a path is written as \\\\, \\t or \\n.\n"
           "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n";
}

// Lists one document with the extraction's own sequence; false when it could not be
// opened.
bool listDocument(const QString& document, const pictrove::extract::EngineEnvironment& engine,
                  QTextStream& out, QTextStream& err) {
    using pictrove::extract::CopiedShape;
    const pictrove::extract::DocumentOutcome outcome = pictrove::extract::CopyDocumentShapes(
        document,
        [&out](const CopiedShape& step) {
            if (step.picture.isNull()) {
                return;
            }
            const QSize size = step.picture.size();
            out << step.document << '\t' << step.number << '\t'
                << (step.collection == CopiedShape::Collection::Inline ? "inline" : "floating")
                << '\t' << step.index << '\t'
                << pictrove::picture::formatName(step.picture.format()) << '\t' << size.width()
                << '\t' << size.height() << '\n';
        },
        engine);
    if (!outcome.opened) {
        out.flush();
        err << "pictrove-cli: " << document << ": " << outcome.reason << '\n';
        err.flush();
    }
    return outcome.opened;
}

// "scan FOLDER [--ext EXT]": the walk of the folder button, without the window.
int scanFolder(const QStringList& args, QTextStream& out, QTextStream& err) {
    using namespace pictrove;
    QString folder;
    QString extension = QStringLiteral("doc");
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--ext" && i + 1 < args.size() && !args[i + 1].isEmpty()) {
            extension = args[++i];
        } else if (folder.isEmpty() && !args[i].isEmpty() && !args[i].startsWith(u'-')) {
            folder = args[i];
        } else {
            err << kUsage;
            return 2;
        }
    }
    if (folder.isEmpty()) {
        err << kUsage;
        return 2;
    }
    if (!platform::isExistingFolder(folder)) {
        err << "pictrove-cli: " << folder << ": no such folder\n";
        return 1;
    }
    const std::optional<QStringList> paths =
        queue::FolderDocumentPaths(queue::ChosenFolderPath(folder), extension, [] { return true; });
    for (const QString& path : paths.value_or(QStringList())) {
        out << extract::EscapeField(path) << '\n';
    }
    return 0;
}

struct SaveArguments {
    pictrove::results::SaveOptions options;
    QStringList files;
};

// Parses the arguments after "save"; nullopt (with the reason in *why) when they are bad.
std::optional<SaveArguments> parseSave(const QStringList& args, QString* why) {
    SaveArguments parsed;
    bool haveFormat = false;
    bool haveOut = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString* out) {
            if (i + 1 >= args.size()) {
                *why = a + QStringLiteral(" needs a value");
                return false;
            }
            *out = args[++i];
            return true;
        };
        QString v;
        if (optionsEnded || !a.startsWith(u'-') || a == u"-") {
            parsed.files.append(a);
        } else if (a == u"--") {
            optionsEnded = true;
        } else if (a == u"--format") {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (v != u"bmp" && v != u"jpg") {
                *why = QStringLiteral("--format must be bmp or jpg");
                return std::nullopt;
            }
            parsed.options.format = v == u"jpg" ? pictrove::results::OutputFormat::Jpg
                                                : pictrove::results::OutputFormat::Bmp;
            haveFormat = true;
        } else if (a == u"--quality") {
            if (!value(&v)) {
                return std::nullopt;
            }
            bool ok = false;
            const int q = v.toInt(&ok);
            if (!ok || q < 0 || q > 100) {
                *why = QStringLiteral("--quality must be a whole number from 0 to 100");
                return std::nullopt;
            }
            parsed.options.quality = std::uint8_t(q);
        } else if (a == u"--out") {
            if (!value(&parsed.options.folder)) {
                return std::nullopt;
            }
            haveOut = true;
        } else {
            *why = QStringLiteral("unknown option ") + a;
            return std::nullopt;
        }
    }
    if (!haveFormat || !haveOut || parsed.files.isEmpty()) {
        *why = QStringLiteral("save needs --format, --out and at least one file");
        return std::nullopt;
    }
    return parsed;
}

// Extracts each document as the window's run does and saves its pictures with the
// window's save, a document at a time so that memory holds one document's pictures.
int saveDocuments(const SaveArguments& args, QTextStream& out, QTextStream& err) {
    using namespace pictrove;
    const bool showProgress = isatty(STDERR_FILENO) == 1;
    const extract::ResultStore nothing;
    results::SaveOutcome total = results::SaveResults(nothing, args.options);
    if (total.status == results::SaveStatus::FolderMissing) {
        err << "pictrove-cli: " << total.message() << '\n';
        return 1;
    }
    const QTemporaryDir temporary;
    extract::ExtractionEnvironment env = extract::defaultEnvironment(temporary.path());
    env.yield = nullptr;  // no window to keep alive
    results::SaveSession session;
    bool allOpened = true;
    for (qsizetype i = 0; i < args.files.size(); ++i) {
        const QString& file = args.files[i];
        if (showProgress) {
            err << "[" << (i + 1) << "/" << args.files.size() << "] " << file << '\n';
            err.flush();
        }
        extract::ResultStore store;
        int counter = 1;
        const extract::DocumentOutcome opened =
            extract::ExtractImagesFromDocument(file, counter, store, env);
        if (!opened.opened) {
            allOpened = false;
            err << "pictrove-cli: " << file << ": " << opened.reason << '\n';
            err.flush();
        }
        const results::SaveOutcome saved = results::SaveResults(store, args.options, {}, &session);
        total.written += saved.written;
        total.withoutPicture += saved.withoutPicture;
        if (saved.status != results::SaveStatus::Done) {
            err << "pictrove-cli: " << saved.message() << '\n';
            return 1;
        }
    }
    out << total.message() << '\n';
    return allOpened ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    pictrove::platform::tuneAllocatorForLargePictures();
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
    if (!args.isEmpty() && args[0] == u"scan") {
        return scanFolder(args.mid(1), out, err);
    }
    if (!args.isEmpty() && args[0] == u"save") {
        QString why;
        const std::optional<SaveArguments> parsed = parseSave(args.mid(1), &why);
        if (!parsed) {
            err << "pictrove-cli: " << why << '\n' << kUsage;
            return 2;
        }
        // Metafile pictures are played with fonts, which need a (windowless) GUI.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        // Without a session (a terminal over ssh, a cron job) Qt warns about the runtime
        // folder it would not use anyway; that is no news for the user of this tool.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type != QtDebugMsg && !msg.startsWith(QStringLiteral("QStandardPaths:"))) {
                std::fprintf(stderr, "%s\n", qPrintable(msg));
            }
        });
        QGuiApplication app(argc, argv);
        return saveDocuments(*parsed, out, err);
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
    const pictrove::extract::EngineEnvironment engine = pictrove::extract::realEngine();
    for (const QString& file : std::as_const(files))
        allOpened = listDocument(file, engine, out, err) && allOpened;
    out.flush();
    return allOpened ? 0 : 1;
}
