#include "core/save/SaveResults.h"

#include "core/platform/InOrder.h"
#include "core/platform/ReplaceFile.h"
#include "core/platform/TemporaryFiles.h"
#include "core/save/BmpFile.h"
#include "core/save/Gdiplus.h"
#include "core/save/SaveAsJPG.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <unistd.h>
#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

namespace pictrove::results {

namespace {

bool isSeparator(QChar c) {
    return c == QLatin1Char('/') || c == QDir::separator();
}

// The path without clashing with a name this save has written already.
QString unclaimedPath(const QString& stem, const QString& extension, QSet<QString>& claimed) {
    QString path = stem + extension;
    for (int n = 2; claimed.contains(path); ++n) {
        path = stem + QStringLiteral(" (%1)").arg(n) + extension;
    }
    claimed.insert(path);
    return path;
}

// Whether the picture goes out as its stored bytes in the Original format: the window
// shows exactly them, decoded, and their file form is the document's. A bitmap that
// was stored without a file header goes out as a PNG, not as a BMP file of our making.
bool keepsStoredBytes(const picture::Picture& picture) {
    return picture.crop().isNull() && picture.fileForm() == picture::FileForm::Given;
}

QString extensionFor(OutputFormat format, const picture::Picture& picture) {
    using picture::Format;
    switch (format) {
        case OutputFormat::Bmp:
            return QStringLiteral(".bmp");
        case OutputFormat::Jpg:
            return QStringLiteral(".jpg");
        case OutputFormat::Original:
            break;
    }
    if (!keepsStoredBytes(picture)) {
        return QStringLiteral(".png");
    }
    switch (picture.format()) {
        case Format::Jpeg:
            return QStringLiteral(".jpg");
        case Format::Gif:
            return QStringLiteral(".gif");
        case Format::Bmp:
            return QStringLiteral(".bmp");
        case Format::Tiff:
            return QStringLiteral(".tif");
        case Format::Emf:
            return QStringLiteral(".emf");
        case Format::Wmf:
            return QStringLiteral(".wmf");
        case Format::None:
        case Format::Png:
            break;
    }
    return QStringLiteral(".png");
}

// The longest file name the folder takes, in bytes of the local encoding.
qsizetype nameLimit(const QString& folder) {
    const long limit = pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return limit > 0 ? qsizetype(limit) : 255;
}

// One row with a picture, from its name to its file's bytes.
struct Job {
    int row = 0;
    QString document;
    QString number;
    picture::Picture picture;  // kept alive by the calling thread for the whole save
    QString path;
    std::optional<RowFailure> skip;  // decided before conversion or by it
    QByteArray bytes;                // the file's content, once converted
    QString fatal;                   // a failure that ends the save (an encoder failure)
};

void skipRow(Job& job, RowProblem problem, QString reason) {
    job.skip = RowFailure{job.row, job.document, job.number, problem, std::move(reason)};
}

// Turns the job's picture into its file's bytes (or a skip, or a fatal error). Runs on
// any thread: it reads the picture and writes only its own job.
void convert(Job& job, const SaveOptions& options) {
    if (job.skip || job.picture.isNull()) {
        return;
    }
    if (options.format == OutputFormat::Original && keepsStoredBytes(job.picture)) {
        job.bytes = job.picture.encoded();
        if (job.bytes.isEmpty()) {
            skipRow(job, RowProblem::Undecodable,
                    QStringLiteral("its picture cannot be read back from memory"));
        }
        return;
    }
    QString why;
    const QImage image = job.picture.toImage(&why);
    if (image.isNull()) {
        skipRow(job, RowProblem::Undecodable,
                QStringLiteral("its picture cannot be decoded (%1)").arg(why));
        return;
    }
    switch (options.format) {
        case OutputFormat::Bmp: {
            const BmpWriteResult r = encodeBmp(image, job.bytes);
            if (!r.ok()) {
                skipRow(job, RowProblem::TooLarge, r.message);
            }
            return;
        }
        case OutputFormat::Jpg:
            // The same opaque bitmap that a BMP file of the row would hold reaches the
            // encoder: the window's picture composed onto white, pixel for pixel.
            if (const std::optional<SaveError> error =
                    EncodeJPG(image, options.quality, job.bytes)) {
                job.fatal = error->description;
            }
            return;
        case OutputFormat::Original: {
            QBuffer buffer(&job.bytes);
            buffer.open(QIODevice::WriteOnly);
            if (!image.save(&buffer, "PNG")) {
                job.fatal = QStringLiteral("Cannot save the image as PNG.");
            }
            return;
        }
    }
}

// Why the write of `size` bytes to `path` failed, in words for people.
QString writeFailure(const QString& path, qint64 size, const QString& reason) {
    const QFileInfo target(path);
    if (target.isDir() && !target.isSymLink()) {
        return QStringLiteral("a folder named %1 is in the way").arg(target.fileName());
    }
    QStorageInfo storage(target.absolutePath());
    storage.refresh();
    // A write that failed while the disk has no room for it failed for that.
    if (storage.isValid() && storage.bytesAvailable() < size + 65536) {
        return QStringLiteral("the disk is full");
    }
    return reason.isEmpty() ? QStringLiteral("the file cannot be written") : reason;
}

QString countLine(int n, const char* one, const char* many) {
    return n == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(n);
}

}  // namespace

QString SaveOutcome::message() const {
    switch (status) {
        case SaveStatus::FolderMissing:
            return QStringLiteral("Output folder not exists.");
        case SaveStatus::Failed:
            return error;
        case SaveStatus::Stopped:
            return QStringLiteral("The save was stopped.");
        case SaveStatus::Done:
            break;
    }
    QString text = QStringLiteral("Done.\n\n");
    if (written == 0) {
        text += QStringLiteral("No file was written.");
    } else {
        text += (written == 1 ? QStringLiteral("1 file was written to:")
                              : QStringLiteral("%1 files were written to:").arg(written)) +
                u'\n' + QDir::toNativeSeparators(folder);
    }
    QStringList lines;
    if (withoutPicture > 0) {
        lines << countLine(withoutPicture, "1 row had no picture and was not saved.",
                           "%1 rows had no picture and were not saved.");
    }
    auto count = [this](RowProblem problem) {
        return int(std::count_if(notSaved.begin(), notSaved.end(),
                                 [&](const RowFailure& f) { return f.problem == problem; }));
    };
    if (const int n = count(RowProblem::Undecodable)) {
        lines << countLine(n, "1 row had a damaged picture and was not saved.",
                           "%1 rows had a damaged picture and were not saved.");
    }
    if (const int n = count(RowProblem::TooLarge)) {
        lines << countLine(n,
                           "1 row had a picture too large for its file format and was not saved.",
                           "%1 rows had a picture too large for their file format and were not "
                           "saved.");
    }
    if (const int n = count(RowProblem::NameTooLong)) {
        lines << countLine(
            n, "1 row had a file name too long for the output folder and was not saved.",
            "%1 rows had a file name too long for the output folder and were not "
            "saved.");
    }
    for (const RowFailure& f : notSaved) {
        if (f.problem == RowProblem::FolderInTheWay) {
            lines << QStringLiteral("1 row was not saved: %1.").arg(f.reason);
        }
    }
    if (!lines.isEmpty()) {
        text += QStringLiteral("\n\n") + lines.join(u'\n');
    }
    return text;
}

void SaveOutcome::add(const SaveOutcome& later) {
    written += later.written;
    withoutPicture += later.withoutPicture;
    notSaved += later.notSaved;
    files += later.files;
    if (later.status != SaveStatus::Done) {
        status = later.status;
        error = later.error;
    }
}

QString OutputName(const QString& documentPath, const QString& pictureNumber) {
    qsizetype cut = documentPath.size();
    while (cut > 0 && !isSeparator(documentPath[cut - 1])) {
        --cut;
    }
    const QString fileName = documentPath.mid(cut);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? fileName : fileName.left(dot);
    return base + QLatin1Char('_') + pictureNumber;
}

SaveOutcome SaveResults(const extract::ResultSource& results, const SaveOptions& options,
                        const SaveProgress& progress, SaveSession* session) {
    SaveOutcome outcome;
    outcome.folder = options.folder;
    if (options.folder.isEmpty() || !QFileInfo(options.folder).isDir()) {
        outcome.status = SaveStatus::FolderMissing;
        return outcome;
    }
    const QString folder =
        isSeparator(options.folder.back()) ? options.folder : options.folder + QDir::separator();
    const qsizetype longestName = nameLimit(folder);
    SaveSession own;
    QSet<QString>& claimed = (session ? *session : own).claimed;
    if (claimed.isEmpty()) {  // once per save: what an interrupted save left
        platform::removeStalePartFiles(options.folder);
    }

    // Names first, in row order, so that they do not depend on which conversion ends first.
    std::vector<Job> jobs;
    jobs.reserve(std::size_t(qMax(0, results.rowCount())));
    const int n = results.rowCount();
    for (int i = 1; i <= n; ++i) {
        Job job;
        job.row = i;
        job.document = results.rowText(i);
        job.picture = results.holder(i - 1);
        if (job.picture.isNull()) {
            jobs.push_back(std::move(job));  // its picture did not load back during the run
            continue;
        }
        job.number = results.rowNumber(i);
        job.path = unclaimedPath(folder + OutputName(job.document, job.number),
                                 extensionFor(options.format, job.picture), claimed);
        const QFileInfo target(job.path);
        const QSize size = job.picture.size();
        if (QFile::encodeName(target.fileName()).size() > longestName ||
            QFile::encodeName(job.path).size() >= PATH_MAX) {
            skipRow(job, RowProblem::NameTooLong,
                    QStringLiteral("its file name is too long for the output folder"));
        } else if (target.isDir() && !target.isSymLink()) {
            skipRow(job, RowProblem::FolderInTheWay,
                    QStringLiteral("a folder named %1 is in the way").arg(target.fileName()));
        } else if (options.format == OutputFormat::Jpg && (size.width() > gdiplus::kMaxJpegSide ||
                                                           size.height() > gdiplus::kMaxJpegSide)) {
            skipRow(job, RowProblem::TooLarge,
                    QStringLiteral("its picture of %1 x %2 pixels is too large for JPEG (at most "
                                   "65,500 pixels a side)")
                        .arg(size.width())
                        .arg(size.height()));
        }
        jobs.push_back(std::move(job));
    }

    // Converted on every thread, written in row order, so that a failed write stops
    // where a one-thread save stops.
    const int threads = platform::threadsFor(options.jobs);
    platform::inOrder(
        jobs.size(), threads, std::size_t(2 * threads),
        [&](std::size_t i) { convert(jobs[i], options); },
        [&](std::size_t i) {
            Job& job = jobs[i];
            if (progress && !progress(job.row, n, job.document)) {
                outcome.status = SaveStatus::Stopped;
                return false;
            }
            if (job.picture.isNull()) {
                ++outcome.withoutPicture;
                return true;
            }
            if (job.skip) {
                outcome.notSaved << *job.skip;
                return true;
            }
            if (!job.fatal.isEmpty()) {
                outcome.status = SaveStatus::Failed;
                outcome.error = job.fatal;
                return false;
            }
            QString reason;
            if (!platform::replaceFile(job.path, {job.bytes}, &reason)) {
                outcome.status = SaveStatus::Failed;
                outcome.error =
                    QStringLiteral("Cannot write %1: %2.")
                        .arg(job.path, writeFailure(job.path, job.bytes.size(), reason));
                return false;
            }
            job.bytes = QByteArray();
            outcome.files << job.path;
            ++outcome.written;
            return true;
        });
    return outcome;
}

}  // namespace pictrove::results
