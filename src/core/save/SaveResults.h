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
};

struct SaveOutcome {
    SaveStatus status = SaveStatus::Done;
    int written = 0;         // files written
    int withoutPicture = 0;  // rows skipped because their holder holds no picture
    QString error;           // the failing write's description (Failed only)
    QStringList files;       // every file written, in row order

    // The message the user is shown: "Done.", "Output folder not exists." or the error.
    QString message() const;
};

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
// lost. `progress`, when given, is told each row's document path before it is written.
SaveOutcome SaveResults(const extract::ResultSource& results, const SaveOptions& options,
                        const std::function<void(int row, const QString& document)>& progress = {},
                        SaveSession* session = nullptr);

}  // namespace pictrove::results
