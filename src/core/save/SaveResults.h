#pragma once

#include "core/extract/Results.h"

#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>

namespace pictrove::results {

enum class OutputFormat { Bmp, Jpg };

struct SaveOptions {
    QString folder;  // the output folder as the user typed or chose it
    OutputFormat format = OutputFormat::Bmp;
    std::uint8_t quality = 85;  // JPEG only
};

enum class SaveStatus {
    Done,           // every row with a picture was written
    FolderMissing,  // the output folder does not exist: nothing was written
    Failed,         // a write failed; the rows before it are written, the rest are not
    Stopped,        // the progress callback asked to stop; the rows before it are written
};

struct SaveOutcome {
    SaveStatus status = SaveStatus::Done;
    int written = 0;         // files written
    int withoutPicture = 0;  // rows skipped because their holder holds no picture
    QString error;           // the failing write's description (Failed only)
    QStringList files;       // every file written, in row order
    QString folder;          // the output folder as given

    // The message the user is shown: "Output folder not exists.", the error, or "Done."
    // followed by how many files were written where, and how many rows had no picture.
    QString message() const;
};

// Told before each row r of n is saved; answers false to stop the save there.
using SaveProgress = std::function<bool(int row, int rows, const QString& document)>;

// The names one save has written so far. A save that writes its rows in several calls
// (a document at a time) hands the same session to each call.
struct SaveSession {
    QSet<QString> claimed;
};

// The file name a row's picture is saved under, without folder and extension: the
// document's file name up to its last "." (the whole name when it has none), "_" and
// the row's picture number.
QString OutputName(const QString& documentPath, const QString& pictureNumber);

// Writes the picture of every row into the output folder as NAME.bmp, or as NAME.jpg of
// the given quality (through a BMP intermediate at the same place, loaded back and
// removed). Files of the same names are replaced; a name that this save has already
// written gets " (2)", " (3)", ... before its extension, so no picture of the save is
// lost. `progress`, when given, is called before each row.
SaveOutcome SaveResults(const extract::ResultSource& results, const SaveOptions& options,
                        const SaveProgress& progress = {}, SaveSession* session = nullptr);

}  // namespace pictrove::results
