#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace pictrove::platform {

// The open-file dialog control of a window: set its properties, call ShowOpen, read
// FileName. Implementations supply only the dialog itself (pickFiles); the selection
// string and its buffer are handled here, the same for every implementation.
class FileDialog {
  public:
    // Bits of Flags.
    enum : qint32 {
        ReadOnlyTicked = 0x1,      // the read-only check box starts ticked
        AllowMultiSelect = 0x200,  // several files may be chosen
        ExplorerStyle = 0x80000,   // the desktop's own dialog look
        LongNames = 0x200000,      // long file names
    };

    enum class Outcome {
        Chosen,          // FileName holds the selection string
        Cancelled,       // FileName is left as it was
        BufferTooSmall,  // the selection did not fit MaxFileSize; FileName is left as it was
    };

    // One entry of the filter list: the text shown and the pattern(s), ";"-separated.
    struct NameFilter {
        QString description;
        QString patterns;
        friend bool operator==(const NameFilter&, const NameFilter&) = default;
    };

    // What the dialog is asked to show.
    struct Request {
        QString title;
        QList<NameFilter> filters;
        int filterIndex = 0;  // 0-based index into filters of the one in force
        bool multiSelect = false;
    };

    virtual ~FileDialog() = default;

    // In: a name to offer ("" for none). Out, after a choice: the selection string, one
    // full path, or, for several files, the folder (the root with its trailing
    // separator, any other folder without) and the bare names, all separated by NUL.
    QString FileName;
    qint32 Flags = 0;
    QString DialogTitle;
    // "Description|pattern|Description|pattern...", the first pair being filter 1.
    QString Filter;
    int FilterIndex = 1;
    // Room for the selection string in characters, its terminating NUL included.
    int MaxFileSize = 260;

    // Shows the open dialog, modal over `owner`, and stores the selection in FileName.
    Outcome ShowOpen(QWidget* owner);

    // The filter list of a Filter property value.
    static QList<NameFilter> parseFilter(const QString& filter);

    // The selection string for chosen full paths (all in one folder, native separators).
    static QString selectionString(const QStringList& paths);

  protected:
    // Shows the dialog and returns the chosen files' full paths, in the dialog's order;
    // nullopt when the user cancels.
    virtual std::optional<QStringList> pickFiles(QWidget* owner, const Request& request) = 0;
};

}  // namespace pictrove::platform
