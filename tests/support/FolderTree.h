#pragma once

#include <QString>
#include <QStringList>

namespace pictrove::test {

// Creates entries below `root`: one ending in "/" is a folder, any other a small file;
// missing folders on the way are made. False when something could not be made.
bool makeTree(const QString& root, const QStringList& entries);

// The names directly in `folder`, in the order the file system lists them, as Qt's own
// unsorted listing sees them: the independent witness of "listing order".
QStringList listingOrder(const QString& folder, bool foldersOnly);

}  // namespace pictrove::test
