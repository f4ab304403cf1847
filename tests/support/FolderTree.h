#pragma once

#include <QString>
#include <QStringList>

namespace pictrove::test {

// Creates entries below `root`: one ending in "/" is a folder, any other a small file;
// missing folders on the way are made. False when something could not be made.
bool makeTree(const QString& root, const QStringList& entries);

}  // namespace pictrove::test
