#pragma once

class QMimeData;

namespace pictrove::shell {
class Form1;
}

namespace pictrove::queue {

// "Add Word File(s)": the multi-select file dialog; each chosen file becomes a row.
void AddWordFiles(shell::Form1& form);

// "Add All Word Files In Folder": asks for an extension and a folder, then adds every
// matching file of the whole folder tree.
void AddAllWordFilesInFolder(shell::Form1& form);

// Whether dragged data carries a list of files (anything else is refused).
bool CanDropFiles(const QMimeData* data);

// Adds dropped files, and every file of dropped folders' trees.
void DropFiles(shell::Form1& form, const QMimeData* data);

}  // namespace pictrove::queue
