#include "core/platform/PathText.h"

namespace pictrove::platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscapedByte(const QString& s, qsizetype i) {
    const char16_t c = s[i].unicode();
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF &&
           (i == 0 || !s[i - 1].isHighSurrogate());
}

// The length of the valid UTF-8 sequence at b[i], or 0 when there is none.
qsizetype utf8SequenceLength(const QByteArray& b, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(b[k]); };
    const unsigned char c = at(i);
    if (c < 0x80)
        return 1;
    qsizetype n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        lo = c == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        hi = c == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        lo = c == 0xF0 ? 0x90 : 0x80;
        hi = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + n > b.size() || at(i + 1) < lo || at(i + 1) > hi)
        return 0;
    for (qsizetype k = 2; k < n; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    }
    return n;
}

}  // namespace

QString pathFromNative(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    qsizetype run = 0;  // start of the pending valid run
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype n = utf8SequenceLength(bytes, i);
        if (n > 0) {
            i += n;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + run, i - run);
        out += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
        run = ++i;
    }
    out += QString::fromUtf8(bytes.constData() + run, bytes.size() - run);
    return out;
}

QByteArray pathToNative(const QString& path) {
    QByteArray out;
    qsizetype run = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isEscapedByte(path, i))
            continue;
        out += QStringView(path).mid(run, i - run).toUtf8();
        out += char(path[i].unicode() - kEscapeBase);
        run = i + 1;
    }
    out += QStringView(path).mid(run).toUtf8();
    return out;
}

int undecodedByteAt(const QString& path, qsizetype i) {
    return isEscapedByte(path, i) ? path[i].unicode() - kEscapeBase : -1;
}

}  // namespace pictrove::platform
