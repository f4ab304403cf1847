#pragma once

#include <QStringList>

class QMimeData;

namespace pictrove::shell {
class Form1;
}

namespace pictrove::queue {

// The three ways of adding documents append rows at the end of the document list and
// never look at the rows already there. While one of them walks a folder tree (and
// yields to the event loop), the window's controls are disabled and every other add,
// drag or drop is refused: the walk's rows are appended when it has finished.

// "Add Word File(s)": the multi-select open dialog; each chosen file becomes a row.
// A selection too long for the dialog's buffer is reported and adds nothing.
void AddWordFiles(shell::Form1& form);

// "Add All Word Files In Folder": asks for an extension (used exactly as typed) and a
// folder, then adds every file of the folder's whole tree matching "*." + extension,
// except names beginning with "~". The window shows the hourglass meanwhile. A tree
// with no such file is reported in a message box.
void AddAllWordFilesInFolder(shell::Form1& form);

// Whether dragged data may be dropped on the list: it must carry a list of local files
// (and no folder walk may be going on).
bool CanDropFiles(const QMimeData* data);

// Adds each dropped file as it is, and every file of each dropped folder's tree except
// names beginning with "~", in the order of the dropped items (AddDocumentPaths).
void DropFiles(shell::Form1& form, const QMimeData* data);

// What a drop of these paths adds, in their order: a path that is no folder as it is
// (existing or not), a folder's whole tree except names beginning with "~". The
// documents named on the command line come this way too. Adds nothing while a folder
// walk is going on.
void AddDocumentPaths(shell::Form1& form, const QStringList& paths);

}  // namespace pictrove::queue
