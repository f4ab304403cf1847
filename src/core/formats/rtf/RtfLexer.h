#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace pictrove::word::rtf {

// One lexical unit of RTF.
struct Token {
    enum class Type {
        End,            // no bytes left
        GroupOpen,      // {
        GroupClose,     // }
        Word,           // \name with an optional numeric parameter
        Symbol,         // \ followed by one non-letter (\*, \~, \'hh, ...)
        Text,           // a run of plain bytes; CR and LF in it carry no meaning in RTF
        Binary,         // the raw bytes announced by \binN
        BinaryTooLong,  // \binN asks for more bytes than are left; `param` holds N
    };
    Type type = Type::End;
    QByteArrayView text;  // Word: the name; Text: the run; Binary: the data
    bool hasParam = false;
    qint64 param = 0;      // Word: the parameter, clamped to 32 bits; Symbol '\'': the byte or -1
    char symbol = 0;       // Symbol only
    qsizetype offset = 0;  // where the token starts in the input
};

// Splits RTF bytes into tokens. Never reads past the view; \binN is checked against the
// bytes that are left before anything is handed out. The lexer keeps no group state:
// nesting is the reader's business.
class Lexer {
  public:
    explicit Lexer(QByteArrayView bytes) : bytes_(bytes) {}

    Token next();
    qsizetype position() const { return pos_; }

  private:
    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

}  // namespace pictrove::word::rtf
