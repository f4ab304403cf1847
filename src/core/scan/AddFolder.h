#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

class QWidget;

namespace pictrove::queue {

// Called at each yield point of a folder walk; answers false when the walk must stop.
using YieldPoint = std::function<bool()>;

// The yield of the program's walks: lets pending events run at the first yield point
// and then whenever `slice` has passed since the last time, and stops the walk once the
// program is ending. Running the event loop at every single entry would cost more than
// the walk itself; a slice well under the time a person notices keeps the windows live.
YieldPoint eventLoopYield(std::chrono::milliseconds slice = std::chrono::milliseconds(10));

enum class WalkOutcome {
    Complete,  // every folder of the tree was collected
    Stopped,   // the yield asked to stop (the program is ending); the list is partial
};

// A folder path as SelectFolder gives it: absolute, with native separators, the
// file-system root with its trailing separator and every other folder without one.
QString ChosenFolderPath(const QString& path);

// Lets the user pick a folder in the folder browser (modal over `owner`, showing
// `text`). Returns its path with native separators, the file-system root with its
// trailing separator and every other folder without one; "" when the user cancels or
// no browser is installed.
QString SelectFolder(QWidget* owner, const QString& text);

// Extends `folders` (entries ending in a separator) breadth-first, level by level: first
// every folder one level below its entries (grouped by parent, in the parents' order,
// each parent's folders in name order, see NameLess), then, when `wholeTree` is set,
// every folder two levels below, and so on. Entries already in the list are neither removed nor
// moved. Folders whose names begin with a dot are entered like any other.
//
// A folder reached a second time in the same walk (through a link back into the tree,
// or two links to one place) is not collected again, so looping links cannot make the
// walk endless. A folder that vanishes or cannot be read is passed over. The walk owns
// its listing state, so another walk started from a yield cannot disturb it.
//
// `yield` is called after opening each folder's listing, before looking at each name
// and before appending each collected folder.
WalkOutcome CollectSubfolders(QStringList& folders, bool wholeTree, const YieldPoint& yield);

// The names of the regular files (links to them included) directly in `folder`, which
// may end in a separator or not, that match the wildcard `pattern` (see
// WildcardPattern), in name order (see NameLess). Folders are never listed; names
// beginning with a dot are. A folder that cannot be read gives what could be read of
// it, possibly nothing. Does not yield.
QStringList ListFiles(const QString& folder, const QString& pattern);

}  // namespace pictrove::queue
