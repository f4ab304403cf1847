#include "gui/main/AddDocuments.h"

#include "core/platform/FileDialog.h"
#include "core/platform/Prompts.h"
#include "core/platform/Services.h"
#include "core/scan/AddFolder.h"
#include "core/scan/DirectoryListing.h"
#include "core/scan/DocumentPaths.h"
#include "gui/main/Form1.h"

#include <QDir>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

namespace pictrove::queue {

namespace {

// Room of the main window's open dialog for the selection string, in characters.
constexpr int kSelectionBuffer = 30000;

// The dialog's filter entry for every format the engine reads.
const QString kSupportedDocuments = QStringLiteral(
    "All supported documents (*.doc;*.dot;*.docx;*.docm;*.dotx;*.dotm;*.rtf;*.odt;*.xml)|"
    "*.doc;*.dot;*.docx;*.docm;*.dotx;*.dotm;*.rtf;*.odt;*.xml");

// True while a folder walk of this module yields to the event loop. The walk keeps
// its own listings, but two adds interleaving their rows would be a mess the user
// never asked for.
bool g_walking = false;

// Holds the window busy for one folder add or drop: other adds and drops are refused,
// the controls look disabled, and for the folder button the pointer is the hourglass.
class BusyWindow {
  public:
    BusyWindow(shell::Form1& form, bool hourglass) : form_(&form), hourglass_(hourglass) {
        g_walking = true;
        form.setControlsEnabled(false);
        if (hourglass_) {
            form.MousePointer.setKind(shell::kPointerHourglass);
        }
    }
    ~BusyWindow() {
        g_walking = false;
        if (form_) {
            form_->setControlsEnabled(true);
            if (hourglass_) {
                form_->MousePointer.setKind(shell::kPointerDefault);
            }
        }
    }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

  private:
    QPointer<shell::Form1> form_;
    bool hourglass_;
};

void appendRows(shell::Form1& form, const QStringList& paths) {
    for (const QString& path : paths) {
        form.ListView1->appendRow(path);
    }
}

}  // namespace

void AddWordFiles(shell::Form1& form) {
    platform::FileDialog* dialog = platform::services().fileDialog;
    if (g_walking || !dialog) {
        return;
    }
    dialog->FileName = QString();
    dialog->Flags = platform::FileDialog::ReadOnlyTicked | platform::FileDialog::AllowMultiSelect |
                    platform::FileDialog::ExplorerStyle | platform::FileDialog::LongNames;
    dialog->DialogTitle = QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files");
    dialog->Filter = QStringLiteral("Word Documents (*.do*)|*.do*|") + kSupportedDocuments +
                     QStringLiteral("|All Files (*.*)|*.*");
    dialog->FilterIndex = 1;
    dialog->MaxFileSize = kSelectionBuffer;

    if (dialog->ShowOpen(&form) == platform::FileDialog::Outcome::BufferTooSmall) {
        if (platform::Prompts* prompts = platform::services().prompts) {
            prompts->message(QStringLiteral("Too many files were selected at once. Please add "
                                            "them in smaller groups."),
                             platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
        }
        return;
    }
    if (dialog->FileName.isEmpty()) {
        return;
    }
    appendRows(form, SelectionPaths(dialog->FileName));
}

void AddAllWordFilesInFolder(shell::Form1& form) {
    platform::Prompts* prompts = platform::services().prompts;
    if (g_walking || !prompts) {
        return;
    }
    const QString extension =
        prompts->input(QStringLiteral("Enter file extension to load:"), QStringLiteral("doc"));
    if (extension.isEmpty()) {
        return;
    }
    const QString folder = SelectFolder(&form, QStringLiteral("Please select folder to add:"));
    if (folder.isEmpty() || g_walking) {
        return;
    }
    QPointer<shell::Form1> alive(&form);
    {
        BusyWindow busy(form, true);
        const std::optional<QStringList> paths =
            FolderDocumentPaths(folder, extension, eventLoopYield());
        if (!paths || !alive) {
            return;  // the program is ending
        }
        if (!paths->isEmpty()) {
            appendRows(form, *paths);
            return;
        }
    }
    prompts->message(
        QStringLiteral("No documents matching *.%1 were found in %2.").arg(extension, folder),
        platform::MsgButtons::Ok, platform::MsgIcon::Information);
}

bool CanDropFiles(const QMimeData* data) {
    if (g_walking || !data || !data->hasUrls()) {
        return false;
    }
    const QList<QUrl> urls = data->urls();
    return !urls.isEmpty() &&
           std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

void DropFiles(shell::Form1& form, const QMimeData* data) {
    if (!CanDropFiles(data)) {
        return;
    }
    // Taken in full before the first walk: the drag's data need not outlive a yield.
    QStringList dropped;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        dropped.append(QDir::toNativeSeparators(url.toLocalFile()));
    }
    AddDocumentPaths(form, dropped);
}

void AddDocumentPaths(shell::Form1& form, const QStringList& paths) {
    if (g_walking) {
        return;
    }
    QPointer<shell::Form1> alive(&form);
    for (const QString& path : paths) {
        if (!alive) {
            return;
        }
        if (!platform::isExistingFolder(path)) {
            form.ListView1->appendRow(path);
            continue;
        }
        std::optional<QStringList> tree;
        {
            BusyWindow busy(form, false);
            tree = TreeDocumentPaths(path, QStringLiteral("*.*"), Collapse::None, eventLoopYield());
        }
        if (!tree || !alive) {
            return;  // the program is ending
        }
        appendRows(form, *tree);
    }
}

}  // namespace pictrove::queue
