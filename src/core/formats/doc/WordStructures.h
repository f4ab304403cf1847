#pragma once

#include "core/model/DocumentModel.h"

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

// Readers for the text structures of a binary Word document (Word 97 and later): the
// file information block, the piece table, the character property pages and the
// property modifiers they hold. Each works on byte views of the streams and checks
// every offset and count against the bytes that are present.
namespace pictrove::doc {

// A reader's outcome: Ok, or why not (Damaged, TooOld, Encrypted, NotAWordDocument)
// with a sentence for people, and the value when Ok.
template <typename T>
struct Parsed {
    word::OpenStatus status = word::OpenStatus::Ok;
    QString reason;
    T value{};

    bool ok() const { return status == word::OpenStatus::Ok; }
    // NOLINTNEXTLINE(performance-unnecessary-value-param): moved; clang-tidy 14 misses it here
    static Parsed fail(word::OpenStatus s, QString why) {
        Parsed p;
        p.status = s;
        p.reason = std::move(why);
        return p;
    }
    static Parsed damaged(QString why) { return fail(word::OpenStatus::Damaged, std::move(why)); }
};

// A number as the readers' messages write it: "0x" and upper-case hex digits ("0xF00A").
QString hex(quint32 v);

// An offset and length pair of the FIB, both into the table stream unless noted.
struct FcLcb {
    quint32 fc = 0;
    quint32 lcb = 0;
};

// The parts of the file information block this program uses.
struct Fib {
    quint16 nFib = 0;
    bool isTemplate = false;
    bool useTable1 = false;  // the table stream is "1Table", not "0Table"
    quint32 ccpText = 0;     // characters of the main document text
    FcLcb clx;               // piece table
    FcLcb plcfBteChpx;       // bin table of the character property pages
    FcLcb plcSpaMom;         // shape anchors of the main text
    FcLcb dggInfo;           // OfficeArt drawing group and drawings
};

// Reads the FIB at the start of the WordDocument stream. Word 6/95 and older files
// give TooOld, password-protected or obfuscated ones Encrypted.
Parsed<Fib> parseFib(QByteArrayView wordDocument);

// A run of characters with one source in the WordDocument stream.
struct Piece {
    quint32 cpStart = 0;
    quint32 cpEnd = 0;        // exclusive
    quint32 offset = 0;       // byte offset of the first character in the WordDocument stream
    bool compressed = false;  // one byte per character (cp1252) instead of UTF-16
    quint16 prm = 0;          // property modifier of the piece
};

struct PieceTable {
    std::vector<Piece> pieces;              // in CP order
    std::vector<QByteArrayView> modifiers;  // the grpprls a complex prm indexes
};

// Reads the CLX (property modifier list, then the piece descriptors).
Parsed<PieceTable> parsePieceTable(QByteArrayView clx);

// A object character of the main text: 0x01 (picture or embedded object) or 0x08
// (anchor of a drawn object).
struct ObjectChar {
    quint32 cp = 0;
    quint32 fc = 0;  // byte offset in the WordDocument stream, as the property pages key it
    quint16 ch = 0;
    quint16 prm = 0;
};

// The object characters among the first ccpText characters, in CP order. Every
// piece that takes part must lie inside the stream.
Parsed<std::vector<ObjectChar>> findObjectChars(const PieceTable& table,
                                                QByteArrayView wordDocument, quint32 ccpText);

// One run of a character property page: the characters [fcStart, fcEnd) of the
// WordDocument stream share the property modifiers in grpprl (empty: none).
struct ChpxRun {
    quint32 fcStart = 0;
    quint32 fcEnd = 0;
    QByteArrayView grpprl;
};

// Reads the bin table of the character property pages and every page it names
// (512-byte pages of the WordDocument stream). The runs come back sorted by fcStart.
Parsed<std::vector<ChpxRun>> parseChpxRuns(QByteArrayView plcfBteChpx, QByteArrayView wordDocument);

// The property modifiers of the run holding stream offset fc; empty when none holds it.
QByteArrayView grpprlAt(const std::vector<ChpxRun>& runs, quint32 fc);

// What the character properties say about a object character.
struct CharProps {
    bool objectChar = false;  // the character stands for an object
    bool data = false;        // sprmCFData: the location holds form-field data, not a picture
    bool object = false;      // sprmCFObj: an embedded object
    bool ole2 = false;        // sprmCFOle2: an embedded OLE 2 object
    std::optional<quint32> pictureLocation;  // sprmCPicLocation: offset in the Data stream
};

// Applies a list of property modifiers (later ones win). Unknown modifiers are
// skipped by their size; a truncated one ends the list.
void applyCharSprms(QByteArrayView grpprl, CharProps& props);

// Character properties of a object character: its page run, then its piece's
// property modifier.
CharProps charPropsOf(const ObjectChar& c, const std::vector<ChpxRun>& runs,
                      const PieceTable& table);

}  // namespace pictrove::doc
