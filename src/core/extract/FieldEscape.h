#pragma once

#include <QString>

namespace pictrove::extract {

// A path as one field of a line of text output: a backslash becomes "\\", a tab "\t", a
// line break "\n", a carriage return "\r", and a byte of a name that is no UTF-8 (see
// platform::pathFromNative()) "\xHH", so that every field stays on its line and in its
// column, and the original can be read back.
QString EscapeField(const QString& text);

}  // namespace pictrove::extract
