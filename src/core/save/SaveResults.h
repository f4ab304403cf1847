#pragma once

#include "core/extract/Results.h"

#include <QList>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>

namespace pictrove::results {

enum class OutputFormat {
    Bmp,
    Jpg,
    // The picture's stored bytes as they are (.png .jpg .gif .tif .bmp .emf .wmf) when the
    // window shows exactly them; a PNG of what it shows when the picture was cropped.
    Original,
};

struct SaveOptions {
    QString folder;  // the output folder as the user typed or chose it
    OutputFormat format = OutputFormat::Bmp;
    std::uint8_t quality = 85;  // JPEG only
    int jobs = 0;               // pictures converted at once; 0: one per core
};

enum class SaveStatus {
    Done,           // every row was written or skipped for a reason of its own
    FolderMissing,  // the output folder does not exist: nothing was written
    Failed,         // a write failed; the rows before it are written, the rest are not
    Stopped,        // the progress callback asked to stop; the rows before it are written
};

// Why a row with a picture was not saved. Each costs only its row; the save goes on.
enum class RowProblem {
    Undecodable,     // the picture's data cannot be decoded (cut short, damaged)
    TooLarge,        // too large for the file format (JPEG: over 65,500 pixels a side)
    NameTooLong,     // the output name is longer than the file system takes
    FolderInTheWay,  // a folder has the output file's name
};

struct RowFailure {
    int row = 0;  // 1-based
    QString document;
    QString number;  // the picture's number in its document
    RowProblem problem = RowProblem::Undecodable;
    QString reason;  // for people: "a folder named report_1.jpg is in the way"
};

struct SaveOutcome {
    SaveStatus status = SaveStatus::Done;
    int written = 0;             // files written
    int withoutPicture = 0;      // rows skipped because their holder holds no picture
    QList<RowFailure> notSaved;  // rows with a picture that were skipped, in row order
    QString error;               // the failing write's description (Failed only)
    QStringList files;           // every file written, in row order
    QString folder;              // the output folder as given

    // The message the user is shown: "Output folder not exists.", the error, or "Done."
    // followed by how many files were written where, and a line for each kind of row
    // that was not saved.
    QString message() const;
    // Adds the counts and lists of a later part of the same save.
    void add(const SaveOutcome& later);
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

// Writes the picture of every row into the output folder as NAME.bmp, NAME.jpg of the
// given quality, or in its original form. Only the files reported in `files` are
// created or replaced: nothing else is written into the folder, not even for a moment.
// A name that this save has already written gets " (2)", " (3)", ... before its
// extension, so no picture of the save is lost.
//
// Names are decided in row order first; the pictures are then converted on up to
// `options.jobs` threads with at most two per thread waiting in memory, and written in
// row order, each under a hidden name and renamed when complete. Files, names, messages
// and where a failed write stops are the same for any number of jobs. A row whose
// picture cannot be saved for a reason of its own is skipped (`notSaved`); a write that
// fails for the folder's sake (the disk is full, no permission) ends the save there.
//
// `results` is read on the calling thread only; `progress`, when given, is called on the
// calling thread before each row, in row order.
SaveOutcome SaveResults(const extract::ResultSource& results, const SaveOptions& options,
                        const SaveProgress& progress = {}, SaveSession* session = nullptr);

}  // namespace pictrove::results
