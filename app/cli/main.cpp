// pictrove-cli: the headless way into the document engine.
//
//   pictrove-cli list [--jobs N] FILE...
//   pictrove-cli save --format bmp|jpg|original [--quality N] [--jobs N] --out DIR FILE...
//   pictrove-cli scan FOLDER [--ext EXT]
//
// For each document, in order, runs the extraction's own engine sequence and prints one
// row per picture that the extraction would record. Pictures stay in memory: no
// temporary picture files are written.

#include "core/extract/DocumentExtraction.h"
#include "core/extract/FieldEscape.h"
#include "core/platform/Allocator.h"
#include "core/platform/InOrder.h"
#include "core/platform/PathText.h"
#include "core/platform/TemporaryFiles.h"
#include "core/save/SaveResults.h"
#include "core/scan/AddFolder.h"
#include "core/scan/DirectoryListing.h"
#include "core/scan/DocumentPaths.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

#include <unistd.h>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace {

const char kUsage[] =
    "usage: pictrove-cli list [--jobs N] FILE...\n"
    "       pictrove-cli save --format bmp|jpg|original [--quality N] [--jobs N] --out DIR "
    "FILE...\n"
    "       pictrove-cli scan FOLDER [--ext EXT]\n";

void printHelp(QTextStream& out) {
    out << kUsage
        << "\n"
           "list prints the pictures that extracting from each document would record, one\n"
           "tab-separated row per picture after a header line:\n"
           "  document  number  kind  index  format  width  height\n"
           "number is the picture's number within its document (with gaps where a\n"
           "shape gives no picture), kind is inline or floating, index is the shape's\n"
           "1-based position in its collection, format is png, jpeg, gif, bmp, tiff, emf\n"
           "or wmf, and width and height are the picture's size in pixels as previewed,\n"
           "read from the picture's header (a group's from its own geometry): nothing\n"
           "is drawn. In the document column a tab is written as \\t, a line break as\n"
           "\\n, a carriage return as \\r, a backslash as \\\\ and a byte of the name that\n"
           "is no UTF-8 as \\xHH, so that one picture is always one line.\n"
           "\n"
           "save extracts the pictures of the documents exactly as the program's window\n"
           "does and writes them into DIR as NAME_NUMBER.bmp or .jpg (NAME is the\n"
           "document's file name without its extension), JPEG at quality N (0 to 100,\n"
           "default 85). --format original writes each picture as the document stores it\n"
           "(.png .jpg .gif .tif .bmp .emf .wmf), or as a PNG of what the window shows\n"
           "when it was changed on the way (cropped, a group composed, a bitmap stored\n"
           "without a file header). It ends with the window's message: 'Done.' and\n"
           "how many files were written where, 'Output folder not exists.' or the error\n"
           "of a failed write. Its temporary files go to a private folder in $TMPDIR\n"
           "(else /tmp); when none can be made, nothing is saved.\n"
           "\n"
           "--jobs N reads N documents (and save converts N pictures) at once; the\n"
           "default is the number of cores. The output is the same for every N.\n"
           "\n"
           "scan prints the documents that 'Add All Word Files In Folder' would add for\n"
           "FOLDER and the extension EXT (default doc), one per line and in the same\n"
           "order, each path escaped as in list's document column.\n"
           "\n"
           "Documents are opened only when they are regular files (a link counts as what\n"
           "it leads to); a device, a pipe or a folder is a document that cannot be read.\n"
           "File names are taken as the bytes they are.\n"
           "\n"
           "Problems go to standard error, one line each:\n"
           "  pictrove-cli: DOCUMENT: REASON            the document could not be read;\n"
           "                                            the others are still done\n"
           "  pictrove-cli: DOCUMENT: picture N: REASON the document's picture N is there\n"
           "                                            but could not be read (damaged, a\n"
           "                                            wrong checksum, over the limits);\n"
           "                                            it is left out, the rest goes on\n"
           "  pictrove-cli: DOCUMENT: picture N: not saved: REASON\n"
           "                                            save skipped that row (a damaged\n"
           "                                            picture, a name too long, a folder\n"
           "                                            in the way); the rest goes on\n"
           "DOCUMENT is escaped as in the document column.\n"
           "\n"
           "SIGINT, SIGTERM and SIGHUP end the tool at once: its temporary folder and a\n"
           "half-written output file are removed first. Temporary folders of earlier runs\n"
           "that were killed are removed at the next start; a half-written output file\n"
           "they left, by the next save into that folder.\n"
           "\n"
           "Exit status:\n"
           "  0        every document was read and every picture in it\n"
           "  1        a document could not be read, no private temporary folder could\n"
           "           be made, the save failed (output folder missing, a write that\n"
           "           failed), or scan's FOLDER is no folder\n"
           "  2        the command line is wrong (nothing was done)\n"
           "  3        every document was read, but a picture in one could not be read\n"
           "           or saved\n"
           "  128 + S  ended by signal S (130 for SIGINT, 143 for SIGTERM)\n"
           "When several apply: 2 ends the tool before anything is done; 1 wins over 3;\n"
           "a signal's status replaces all.\n"
           "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n";
}

// How a document's problems end the tool; the worse one counts.
enum ExitStatus { kAllRead = 0, kFailed = 1, kBadCommandLine = 2, kPictureUnreadable = 3 };

int worse(int a, int b) {
    auto rank = [](int s) { return s == kFailed ? 2 : s == kPictureUnreadable ? 1 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

// Reports a document's problems on standard error; its exit status.
int reportProblems(const QString& document, const pictrove::extract::DocumentOutcome& outcome,
                   QTextStream& out, QTextStream& err) {
    out.flush();
    int status = kAllRead;
    if (!outcome.opened) {
        err << "pictrove-cli: " << pictrove::extract::EscapeField(document) << ": "
            << outcome.reason << '\n';
        status = kFailed;
    }
    for (const pictrove::extract::UnreadablePicture& p : outcome.unreadable) {
        err << "pictrove-cli: " << pictrove::extract::EscapeField(document) << ": picture "
            << p.number << ": " << p.reason << '\n';
        status = worse(status, kPictureUnreadable);
    }
    err.flush();
    return status;
}

// Lists one document with the extraction's own sequence; its exit status.
int listDocument(const QString& document, const pictrove::extract::EngineEnvironment& engine,
                 QTextStream& out, QTextStream& err) {
    using pictrove::extract::CopiedShape;
    const QString shown = pictrove::extract::EscapeField(document);
    const pictrove::extract::DocumentOutcome outcome = pictrove::extract::CopyDocumentShapes(
        document,
        [&out, &shown](const CopiedShape& step) {
            if (step.picture.isNull()) {
                return;
            }
            const QSize size = step.picture.size();
            out << shown << '\t' << step.number << '\t'
                << (step.collection == CopiedShape::Collection::Inline ? "inline" : "floating")
                << '\t' << step.index << '\t'
                << pictrove::picture::formatName(step.picture.format()) << '\t' << size.width()
                << '\t' << size.height() << '\n';
        },
        engine);
    return reportProblems(document, outcome, out, err);
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
            return kBadCommandLine;
        }
    }
    if (folder.isEmpty()) {
        err << kUsage;
        return kBadCommandLine;
    }
    if (!platform::isExistingFolder(folder)) {
        err << "pictrove-cli: " << extract::EscapeField(folder) << ": no such folder\n";
        return kFailed;
    }
    const std::optional<QStringList> paths =
        queue::FolderDocumentPaths(queue::ChosenFolderPath(folder), extension, [] { return true; });
    for (const QString& path : paths.value_or(QStringList())) {
        out << extract::EscapeField(path) << '\n';
    }
    return kAllRead;
}

// Parses the value of --jobs; nullopt (with the reason in *why) when it is no count.
std::optional<int> parseJobs(const QString& value, QString* why) {
    bool ok = false;
    const int jobs = value.toInt(&ok);
    if (!ok || jobs < 1 || jobs > 1024) {
        *why = QStringLiteral("--jobs must be a whole number from 1 to 1024");
        return std::nullopt;
    }
    return jobs;
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
            using pictrove::results::OutputFormat;
            if (v == u"bmp") {
                parsed.options.format = OutputFormat::Bmp;
            } else if (v == u"jpg") {
                parsed.options.format = OutputFormat::Jpg;
            } else if (v == u"original") {
                parsed.options.format = OutputFormat::Original;
            } else {
                *why = QStringLiteral("--format must be bmp, jpg or original");
                return std::nullopt;
            }
            haveFormat = true;
        } else if (a == u"--jobs") {
            if (!value(&v)) {
                return std::nullopt;
            }
            const std::optional<int> jobs = parseJobs(v, why);
            if (!jobs) {
                return std::nullopt;
            }
            parsed.options.jobs = *jobs;
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
        return kFailed;
    }
    const platform::PrivateFolder temporary;
    if (!temporary.isValid()) {
        err << "pictrove-cli: " << platform::noTemporaryFolderMessage(temporary) << '\n';
        return kFailed;
    }
    // Documents are read ahead on the other threads and saved in the order given, so
    // that memory holds the pictures of about as many documents as there are jobs.
    struct Extracted {
        extract::ResultStore store;
        extract::DocumentOutcome outcome;
    };
    const int threads = platform::threadsFor(args.options.jobs);
    std::vector<std::unique_ptr<Extracted>> extracted(std::size_t(args.files.size()));
    results::SaveSession session;
    int status = kAllRead;
    platform::inOrder(
        extracted.size(), threads, std::size_t(threads),
        [&](std::size_t i) {
            // Each document gets its own temporary folder and picture store (a store is
            // for one thread).
            const QString folder = QDir(temporary.path()).filePath(QString::number(i));
            QDir().mkdir(folder);
            extract::ExtractionEnvironment env = extract::defaultEnvironment(folder);
            env.yield = nullptr;  // no window to keep alive
            auto result = std::make_unique<Extracted>();
            int counter = 1;
            result->outcome = extract::ExtractImagesFromDocument(args.files[qsizetype(i)], counter,
                                                                 result->store, env);
            QDir(folder).removeRecursively();
            extracted[i] = std::move(result);
        },
        [&](std::size_t i) {
            const QString& file = args.files[qsizetype(i)];
            const std::unique_ptr<Extracted> document = std::move(extracted[i]);
            if (showProgress) {
                err << "[" << (i + 1) << "/" << args.files.size() << "] "
                    << extract::EscapeField(file) << '\n';
                err.flush();
            }
            status = worse(status, reportProblems(file, document->outcome, out, err));
            const results::SaveOutcome saved =
                results::SaveResults(document->store, args.options, {}, &session);
            for (const results::RowFailure& row : saved.notSaved) {
                err << "pictrove-cli: " << extract::EscapeField(row.document) << ": picture "
                    << row.number << ": not saved: " << row.reason << '\n';
                status = worse(status, kPictureUnreadable);
            }
            err.flush();
            total.add(saved);
            return saved.status == results::SaveStatus::Done;
        });
    if (total.status != results::SaveStatus::Done) {
        err << "pictrove-cli: " << total.message() << '\n';
        return kFailed;
    }
    out << total.message() << '\n';
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    pictrove::platform::endCleanlyOnInterrupt();
    pictrove::platform::tuneAllocatorForLargePictures();
    QCoreApplication::setApplicationName(QStringLiteral("pictrove-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PICTROVE_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(pictrove::platform::pathFromNative(argv[i]));

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
            return kBadCommandLine;
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
        pictrove::platform::removeStaleTemporaryFolders();
        return saveDocuments(*parsed, out, err);
    }
    QStringList files;
    int jobs = 0;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (!optionsEnded && args[i] == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && args[i] == u"--jobs") {
            QString why = QStringLiteral("--jobs needs a value");
            const std::optional<int> parsed =
                i + 1 < args.size() ? parseJobs(args[++i], &why) : std::nullopt;
            if (!parsed) {
                err << "pictrove-cli: " << why << '\n' << kUsage;
                return kBadCommandLine;
            }
            jobs = *parsed;
        } else if (!optionsEnded && args[i].startsWith(u'-') && args[i] != u"-") {
            err << "pictrove-cli: unknown option " << args[i] << '\n' << kUsage;
            return kBadCommandLine;
        } else {
            files.append(args[i]);
        }
    }
    if (args.isEmpty() || args[0] != u"list" || files.isEmpty()) {
        err << kUsage;
        return kBadCommandLine;
    }

    // Sizes come from headers: nothing is drawn and no window system is needed.
    QCoreApplication app(argc, argv);
    out << "document\tnumber\tkind\tindex\tformat\twidth\theight\n";
    int status = kAllRead;
    const pictrove::extract::EngineEnvironment engine = pictrove::extract::realEngine();
    // Documents are read on several threads; what each prints waits for the ones before.
    struct Listing {
        QString rows, errors;
        int status = kAllRead;
    };
    const int threads = pictrove::platform::threadsFor(jobs);
    std::vector<Listing> listings(std::size_t(files.size()));
    pictrove::platform::inOrder(
        listings.size(), threads, std::size_t(2 * threads),
        [&](std::size_t i) {
            Listing& listing = listings[i];
            QTextStream rows(&listing.rows), errors(&listing.errors);
            listing.status = listDocument(files[qsizetype(i)], engine, rows, errors);
        },
        [&](std::size_t i) {
            const Listing listing = std::move(listings[i]);
            out << listing.rows;
            out.flush();
            err << listing.errors;
            err.flush();
            status = worse(status, listing.status);
            return true;
        });
    out.flush();
    return status;
}
