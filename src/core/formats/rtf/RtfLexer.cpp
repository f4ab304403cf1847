#include "core/formats/rtf/RtfLexer.h"

#include "core/bytes/Hex.h"

#include <limits>

namespace pictrove::word::rtf {

namespace {

using bytes::hexValue;

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

Token Lexer::next() {
    Token t;
    const qsizetype n = bytes_.size();
    t.offset = pos_;
    if (pos_ >= n)
        return t;

    const char c = bytes_[pos_];
    if (c == '{') {
        ++pos_;
        t.type = Token::Type::GroupOpen;
        return t;
    }
    if (c == '}') {
        ++pos_;
        t.type = Token::Type::GroupClose;
        return t;
    }
    if (c != '\\') {
        const qsizetype start = pos_;
        while (pos_ < n && bytes_[pos_] != '\\' && bytes_[pos_] != '{' && bytes_[pos_] != '}')
            ++pos_;
        t.type = Token::Type::Text;
        t.text = bytes_.sliced(start, pos_ - start);
        return t;
    }

    // A backslash: control word or control symbol. A lone backslash at the very end
    // is the end of the data.
    ++pos_;
    if (pos_ >= n) {
        t.type = Token::Type::End;
        return t;
    }
    if (!isLetter(bytes_[pos_])) {
        t.type = Token::Type::Symbol;
        t.symbol = bytes_[pos_++];
        if (t.symbol == '\'') {
            // \'hh: a byte in hex. Missing or bad digits give -1 and consume nothing more.
            t.param = -1;
            if (pos_ + 1 < n) {
                const int hi = hexValue(bytes_[pos_]), lo = hexValue(bytes_[pos_ + 1]);
                if (hi >= 0 && lo >= 0) {
                    t.param = hi * 16 + lo;
                    pos_ += 2;
                }
            }
        }
        return t;
    }

    const qsizetype nameStart = pos_;
    while (pos_ < n && isLetter(bytes_[pos_]))
        ++pos_;
    t.type = Token::Type::Word;
    t.text = bytes_.sliced(nameStart, pos_ - nameStart);

    bool negative = false;
    if (pos_ < n && bytes_[pos_] == '-' && pos_ + 1 < n && isDigit(bytes_[pos_ + 1])) {
        negative = true;
        ++pos_;
    }
    if (pos_ < n && isDigit(bytes_[pos_])) {
        // The value saturates: a parameter is 32 bits at most, extra digits only clamp.
        constexpr qint64 kLimit = std::numeric_limits<qint32>::max();
        qint64 value = 0;
        while (pos_ < n && isDigit(bytes_[pos_])) {
            value = qMin<qint64>(kLimit + 1, value * 10 + (bytes_[pos_] - '0'));
            ++pos_;
        }
        t.hasParam = true;
        t.param = negative ? -value : qMin(value, kLimit);
    }
    // One space delimits the word and belongs to it.
    if (pos_ < n && bytes_[pos_] == ' ')
        ++pos_;

    if (t.text == "bin") {
        const qint64 length = t.hasParam ? qMax<qint64>(0, t.param) : 0;
        if (length > n - pos_) {
            t.type = Token::Type::BinaryTooLong;
            t.param = length;
            pos_ = n;
            return t;
        }
        t.type = Token::Type::Binary;
        t.text = bytes_.sliced(pos_, qsizetype(length));
        pos_ += qsizetype(length);
    }
    return t;
}

}  // namespace pictrove::word::rtf
