#pragma once

#include <QString>

namespace pictrove::extract {

// A path as one field of a line of text output: a backslash becomes "\\", a tab "\t"
// and a line break "\n", so that every field stays on its line and in its column, and
// the original can be read back.
QString EscapeField(const QString& text);

}  // namespace pictrove::extract
