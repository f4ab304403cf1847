#pragma once

#include <QByteArray>
#include <QString>

namespace pictrove::platform {

// File names are bytes. A name as the file system holds it, in the program's strings:
// valid UTF-8 is decoded; every byte that is no part of valid UTF-8 becomes the unpaired
// low surrogate U+DC00 + byte, so that pathToNative() gives the very same bytes back.
QString pathFromNative(const QByteArray& bytes);
QByteArray pathToNative(const QString& path);

// A text as one field of a tab-separated row: a tab, a line break and a backslash are
// written as \t, \n (\r as \r) and \\, and a byte of a name that is no valid UTF-8 (see
// pathFromNative()) as \xHH, so that one row is always one line of fields.
QString escapeField(const QString& text);

}  // namespace pictrove::platform
