#pragma once

// Fonts whose code points are pictures rather than letters: what a metafile draws in
// them is turned into the Unicode characters they show, to be drawn in fonts that
// have those characters.

#include <QString>
#include <QStringList>

namespace pictrove::metafile {

// Unmapped: a picture font whose code points are not known here; it draws nothing.
enum class SymbolFont { None, Symbol, MtExtra, Wingdings, Webdings, Unmapped };

// Which symbol font a LOGFONT names: by face, or by SYMBOL_CHARSET for other faces.
SymbolFont symbolFontOf(const QString& face, quint8 charset);

// Each code point (a byte, or U+F020..U+F0FF as fonts with a symbol cmap number them)
// as the Unicode character it shows, a space where there is none. One code gives one
// UTF-16 unit, or two: a surrogate pair, or a combining mark on a no-break space.
// Other characters are already Unicode.
QString symbolText(SymbolFont font, const QString& codes);

// Families to draw symbolText() with, best first.
QStringList symbolFamilies(SymbolFont font);

}  // namespace pictrove::metafile
