#pragma once

#include "core/scan/AddFolder.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace pictrove::queue {

// Replaces every two adjacent separators by one in a single left-to-right pass, so
// three in a row become two. Used where a root's own trailing separator meets the one
// that joins a name to it.
QString CollapseDoubledSeparators(const QString& path);

// The document paths of an open dialog's selection string: one full path, or a folder
// and bare names separated by NUL characters. A single path comes back unchanged; for
// several names, each is joined to the folder with a separator and collapsed.
QStringList SelectionPaths(const QString& selection);

enum class Collapse {
    DoubledSeparators,  // the folder button: a root's doubled separator is collapsed
    None,               // drops: folder, separator and name exactly as joined
};

// Every file of the tree below `folder` (the file-system root with its trailing
// separator, any other folder without) whose name matches `pattern` and does not begin
// with "~": the folder's own files first, then level by level as CollectSubfolders
// orders the folders, each folder's files in name order. `yield` is called during
// the walk and before listing each folder. nullopt when it asked to stop: nothing is to
// be added then.
std::optional<QStringList> TreeDocumentPaths(const QString& folder, const QString& pattern,
                                             Collapse collapse, const YieldPoint& yield);

// What "Add All Word Files In Folder" adds for `folder` (as SelectFolder gives it) and
// the extension as the user typed it: the tree's files matching "*." + extension, with
// doubled separators collapsed. The headless scan gives the same list.
std::optional<QStringList> FolderDocumentPaths(const QString& folder, const QString& extension,
                                               const YieldPoint& yield);

}  // namespace pictrove::queue
