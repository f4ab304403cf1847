#include "core/save/SaveResults.h"

#include "core/platform/TemporaryFiles.h"
#include "core/save/BmpFile.h"
#include "core/save/SaveAsJPG.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    if (withoutPicture == 1) {
        text += QStringLiteral("\n\n1 row had no picture and was not saved.");
    } else if (withoutPicture > 1) {
        text +=
            QStringLiteral("\n\n%1 rows had no picture and were not saved.").arg(withoutPicture);
    }
    return text;
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
    const QString folder = options.folder.isEmpty() || isSeparator(options.folder.back())
                               ? options.folder
                               : options.folder + QDir::separator();
    SaveSession own;
    QSet<QString>& claimed = (session ? *session : own).claimed;
    if (claimed.isEmpty()) {  // once per save: what an interrupted save left
        platform::removeStalePartFiles(options.folder);
    }
    const int n = results.rowCount();
    for (int i = 1; i <= n; ++i) {
        const QString document = results.rowText(i);
        if (progress && !progress(i, n, document)) {
            outcome.status = SaveStatus::Stopped;
            return outcome;
        }
        const picture::Picture picture = results.holder(i - 1);
        if (picture.isNull()) {
            ++outcome.withoutPicture;  // its picture did not load back during the run
            continue;
        }
        const QString stem = folder + OutputName(document, results.rowNumber(i));
        const bool jpg = options.format == OutputFormat::Jpg;
        const QString finalPath =
            unclaimedPath(stem, jpg ? QStringLiteral(".jpg") : QStringLiteral(".bmp"), claimed);
        const QString bmpPath = jpg ? finalPath.chopped(4) + QStringLiteral(".bmp") : finalPath;

        QString why;
        const QImage image = picture.toImage(&why);
        if (image.isNull()) {
            outcome.status = SaveStatus::Failed;
            outcome.error = QStringLiteral("Cannot save %1: %2").arg(bmpPath, why);
            return outcome;
        }
        const BmpWriteResult written = writeBmp(image, bmpPath);
        if (!written.ok()) {
            outcome.status = SaveStatus::Failed;
            outcome.error = written.message;
            return outcome;
        }
        if (jpg) {
            // The JPEG is encoded from the bitmap read back from the intermediate file.
            const BmpReadResult creator = readBmp(bmpPath);
            QFile::remove(bmpPath);
            if (!creator.ok()) {
                outcome.status = SaveStatus::Failed;
                outcome.error = creator.message;
                return outcome;
            }
            if (const std::optional<SaveError> error =
                    SaveJPGFile(creator.image, finalPath, options.quality)) {
                outcome.status = SaveStatus::Failed;
                outcome.error = error->description;
                return outcome;
            }
        }
        outcome.files << finalPath;
        ++outcome.written;
    }
    return outcome;
}

}  // namespace pictrove::results
