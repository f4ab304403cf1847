#include "core/extract/FieldEscape.h"

#include "core/platform/PathText.h"

namespace pictrove::extract {

QString EscapeField(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\') {
            escaped += QStringLiteral("\\\\");
        } else if (c == u'\t') {
            escaped += QStringLiteral("\\t");
        } else if (c == u'\n') {
            escaped += QStringLiteral("\\n");
        } else if (c == u'\r') {
            escaped += QStringLiteral("\\r");
        } else if (const int byte = platform::undecodedByteAt(text, i); byte >= 0) {
            escaped += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace pictrove::extract
