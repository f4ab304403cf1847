#include "core/extract/FieldEscape.h"

namespace pictrove::extract {

QString EscapeField(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\') {
            escaped += QStringLiteral("\\\\");
        } else if (c == u'\t') {
            escaped += QStringLiteral("\\t");
        } else if (c == u'\n') {
            escaped += QStringLiteral("\\n");
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace pictrove::extract
