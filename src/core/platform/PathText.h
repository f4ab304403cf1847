#pragma once

#include <QByteArray>
#include <QString>

namespace pictrove::platform {

// File names are bytes. A name as the file system holds it, in the program's strings:
// valid UTF-8 is decoded; every byte that is no part of valid UTF-8 becomes the unpaired
// low surrogate U+DC00 + byte, so that pathToNative() gives the very same bytes back.
QString pathFromNative(const QByteArray& bytes);
QByteArray pathToNative(const QString& path);

// The byte that position `i` of a name made by pathFromNative() stands for, when the
// name is no UTF-8 there; -1 where it is text.
int undecodedByteAt(const QString& path, qsizetype i);

}  // namespace pictrove::platform
