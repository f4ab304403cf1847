#include "core/formats/doc/WordStructures.h"

#include "core/bytes/ByteReader.h"

#include <algorithm>

namespace pictrove::doc {

using bytes::ByteCursor;
using bytes::ByteReader;
using bytes::fits;

using word::OpenStatus;

namespace {

constexpr quint16 kWordIdent = 0xA5EC;
constexpr quint16 kWord6MacIdent = 0xA5DC;
constexpr quint16 kWord2Ident = 0xA5DB;
constexpr quint16 kFirstWord97Fib = 0x00C0;  // Word 97 writes 0xC1; beta files 0xC0
constexpr quint16 kFirstWord6Fib = 0x0065;

// FibBase flags.
constexpr quint16 kFibDot = 0x0001;  // the document is a template
constexpr quint16 kFibEncrypted = 0x0100;
constexpr quint16 kFibWhichTblStm = 0x0200;  // the table stream is 1Table, not 0Table
constexpr quint16 kFibObfuscated = 0x8000;   // XOR obfuscation (with kFibEncrypted)

// A piece descriptor's fc: bit 30 marks 8-bit text, whose offset is stored doubled.
constexpr quint32 kFcCompressed = 0x40000000u;
constexpr quint32 kFcOffsetMask = 0x3FFFFFFFu;
constexpr quint32 kPnMask = 0x3FFFFF;  // the page number bits of a bin table entry

// Indices of the fc/lcb pairs in FibRgFcLcb97.
constexpr int kIndexPlcfBteChpx = 12;
constexpr int kIndexClx = 33;
constexpr int kIndexPlcSpaMom = 40;
constexpr int kIndexDggInfo = 50;

constexpr qsizetype kFkpSize = 512;
constexpr int kMaxFkpRuns = 0x65;

}  // namespace

QString hex(quint32 v) {
    return QStringLiteral("0x") + QString::number(v, 16).toUpper();
}

Parsed<Fib> parseFib(QByteArrayView wd) {
    using P = Parsed<Fib>;
    if (wd.size() < 32)
        return P::damaged(QStringLiteral("WordDocument stream is too short for a FIB"));
    const ByteReader in(wd);
    const quint16 ident = in.u16(0);
    const quint16 nFib = in.u16(2);
    if (ident == kWord2Ident)
        return P::fail(OpenStatus::TooOld, QStringLiteral("Word 2 or earlier document"));
    if (ident != kWordIdent && ident != kWord6MacIdent)
        return P::fail(OpenStatus::NotAWordDocument,
                       QStringLiteral("WordDocument stream has no Word signature"));
    if (ident == kWord6MacIdent || nFib < kFirstWord97Fib) {
        return P::fail(OpenStatus::TooOld, nFib >= kFirstWord6Fib || ident == kWord6MacIdent
                                               ? QStringLiteral("Word 6/95 document")
                                               : QStringLiteral("Word 2 or earlier document"));
    }
    const quint16 flags = in.u16(0x0A);
    if (flags & kFibEncrypted) {
        return P::fail(OpenStatus::Encrypted,
                       (flags & kFibObfuscated)
                           ? QStringLiteral("document is obfuscated (password protected)")
                           : QStringLiteral("document is encrypted (password protected)"));
    }
    P result;
    Fib& fib = result.value;
    fib.nFib = nFib;
    fib.isTemplate = flags & kFibDot;
    fib.useTable1 = flags & kFibWhichTblStm;

    ByteCursor c(wd, 32);
    const quint16 csw = c.u16();
    c.skip(qint64(csw) * 2);
    const quint16 cslw = c.u16();
    const qsizetype lwStart = c.pos();
    c.skip(qint64(cslw) * 4);
    const quint16 cbRgFcLcb = c.u16();
    const qsizetype fcLcbStart = c.pos();
    c.skip(qint64(cbRgFcLcb) * 8);
    if (!c.ok())
        return P::damaged(QStringLiteral("FIB is longer than the WordDocument stream"));
    if (cslw < 4)
        return P::damaged(QStringLiteral("FIB has no text lengths (cslw %1)").arg(cslw));
    if (cbRgFcLcb <= kIndexClx)
        return P::damaged(
            QStringLiteral("FIB has no piece table entry (cbRgFcLcb %1)").arg(cbRgFcLcb));
    fib.ccpText = in.u32(lwStart + 3 * 4);
    auto pair = [&](int index) {
        FcLcb v;
        if (index < cbRgFcLcb) {
            v.fc = in.u32(fcLcbStart + index * 8);
            v.lcb = in.u32(fcLcbStart + index * 8 + 4);
        }
        return v;
    };
    fib.clx = pair(kIndexClx);
    fib.plcfBteChpx = pair(kIndexPlcfBteChpx);
    fib.plcSpaMom = pair(kIndexPlcSpaMom);
    fib.dggInfo = pair(kIndexDggInfo);
    return result;
}

Parsed<PieceTable> parsePieceTable(QByteArrayView clx) {
    using P = Parsed<PieceTable>;
    P result;
    ByteCursor c(clx);
    while (true) {
        if (c.atEnd())
            return P::damaged(QStringLiteral("piece table has no piece descriptors"));
        const qsizetype at = c.pos();
        const quint8 clxt = c.u8();
        if (clxt == 1) {
            const qint16 cb = c.i16();
            const QByteArrayView grpprl = c.bytes(cb);
            if (!c.ok() || cb < 0)
                return P::damaged(
                    QStringLiteral("piece table modifier at offset %1 runs past its end").arg(at));
            result.value.modifiers.push_back(grpprl);
            continue;
        }
        if (clxt != 2)
            return P::damaged(QStringLiteral("piece table has an unknown entry %1 at offset %2")
                                  .arg(hex(clxt))
                                  .arg(at));
        const quint32 lcb = c.u32();
        const QByteArrayView plc = c.bytes(lcb);
        if (!c.ok())
            return P::damaged(QStringLiteral("piece descriptors run past the piece table"));
        if (lcb < 16 || (lcb - 4) % 12 != 0)
            return P::damaged(QStringLiteral("piece descriptor list has a bad size (%1)").arg(lcb));
        const qsizetype n = (lcb - 4) / 12;
        auto& pieces = result.value.pieces;
        pieces.reserve(size_t(n));
        const ByteReader in(plc);
        for (qsizetype i = 0; i < n; ++i) {
            const quint32 cpStart = in.u32(i * 4);
            const quint32 cpEnd = in.u32((i + 1) * 4);
            if (cpEnd < cpStart || (i == 0 && cpStart != 0))
                return P::damaged(QStringLiteral("piece %1 has CPs out of order").arg(i));
            const qsizetype pcd = (n + 1) * 4 + i * 8;
            const quint32 fcRaw = in.u32(pcd + 2);
            Piece p;
            p.cpStart = cpStart;
            p.cpEnd = cpEnd;
            p.compressed = fcRaw & kFcCompressed;
            p.offset = p.compressed ? (fcRaw & kFcOffsetMask) / 2 : (fcRaw & kFcOffsetMask);
            p.prm = in.u16(pcd + 6);
            if (cpEnd > cpStart)
                pieces.push_back(p);
        }
        return result;
    }
}

Parsed<std::vector<ObjectChar>> findObjectChars(const PieceTable& table, QByteArrayView wd,
                                                quint32 ccpText) {
    using P = Parsed<std::vector<ObjectChar>>;
    // Every character occupies at least one byte of the stream; a longer text is a lie
    // that would otherwise make us scan the same bytes many times over.
    if (ccpText > quint64(wd.size()))
        return P::damaged(QStringLiteral("main text (%1 characters) is longer than the "
                                         "WordDocument stream")
                              .arg(ccpText));
    P result;
    for (size_t i = 0; i < table.pieces.size(); ++i) {
        const Piece& p = table.pieces[i];
        if (p.cpStart >= ccpText)
            break;
        const quint32 count = std::min(p.cpEnd, ccpText) - p.cpStart;
        const qint64 width = p.compressed ? 1 : 2;
        if (!fits(wd, p.offset, qint64(count) * width))
            return P::damaged(QStringLiteral("piece %1 (CP %2 to %3) lies past the end of the "
                                             "WordDocument stream")
                                  .arg(i)
                                  .arg(p.cpStart)
                                  .arg(p.cpEnd));
        const ByteReader text(wd.sliced(qsizetype(p.offset), qsizetype(count * width)));
        for (quint32 k = 0; k < count; ++k) {
            const quint16 ch = p.compressed ? text.u8(k) : text.u16(qint64(k) * 2);
            if (ch == 0x01 || ch == 0x08)
                result.value.push_back({p.cpStart + k, quint32(p.offset + k * width), ch, p.prm});
        }
    }
    return result;
}

Parsed<std::vector<ChpxRun>> parseChpxRuns(QByteArrayView plc, QByteArrayView wd) {
    using P = Parsed<std::vector<ChpxRun>>;
    if (plc.size() < 4 || (plc.size() - 4) % 8 != 0)
        return P::damaged(
            QStringLiteral("character property bin table has a bad size (%1)").arg(plc.size()));
    const qsizetype n = (plc.size() - 4) / 8;
    P result;
    auto& runs = result.value;
    const ByteReader bins(plc);
    for (qsizetype i = 0; i < n; ++i) {
        const quint32 pn = bins.u32((n + 1) * 4 + i * 4) & kPnMask;
        const qint64 pageOffset = qint64(pn) * kFkpSize;
        if (!fits(wd, pageOffset, kFkpSize))
            return P::damaged(
                QStringLiteral("character property page %1 lies past the WordDocument stream")
                    .arg(pn));
        const ByteReader page(wd.sliced(qsizetype(pageOffset), kFkpSize));
        const int crun = page.u8(kFkpSize - 1);
        if (crun < 1 || crun > kMaxFkpRuns)
            return P::damaged(
                QStringLiteral("character property page %1 claims %2 runs").arg(pn).arg(crun));
        const qsizetype rgb = qsizetype(crun + 1) * 4;
        for (int r = 0; r < crun; ++r) {
            ChpxRun run;
            run.fcStart = page.u32(r * 4);
            run.fcEnd = page.u32((r + 1) * 4);
            const int wordOffset = page.u8(rgb + r);
            if (wordOffset != 0) {
                const qsizetype at = qsizetype(wordOffset) * 2;
                const int cb = page.u8(at);  // at <= 510: inside the page
                if (at + 1 + cb > kFkpSize - 1)
                    return P::damaged(QStringLiteral("character properties at offset %1 of page "
                                                     "%2 run past the page")
                                          .arg(at)
                                          .arg(pn));
                run.grpprl = page.sub(at + 1, cb);
            }
            if (run.fcEnd > run.fcStart)
                runs.push_back(run);
        }
    }
    std::stable_sort(runs.begin(), runs.end(),
                     [](const ChpxRun& a, const ChpxRun& b) { return a.fcStart < b.fcStart; });
    return result;
}

QByteArrayView grpprlAt(const std::vector<ChpxRun>& runs, quint32 fc) {
    auto it = std::upper_bound(runs.begin(), runs.end(), fc,
                               [](quint32 v, const ChpxRun& r) { return v < r.fcStart; });
    if (it == runs.begin())
        return {};
    --it;
    return fc < it->fcEnd ? it->grpprl : QByteArrayView();
}

namespace {

constexpr quint16 kSprmCFData = 0x0806;
constexpr quint16 kSprmCFOle2 = 0x080A;
constexpr quint16 kSprmCFObjectChar = 0x0855;
constexpr quint16 kSprmCFObj = 0x0856;
constexpr quint16 kSprmCPicLocation = 0x6A03;
constexpr quint16 kSprmTDefTable = 0xD608;

// Operand size of the modifier at grpprl[pos] (pos points after the 2-byte sprm);
// -1 when the size itself cannot be read.
qint64 operandSize(quint16 sprm, QByteArrayView g, qsizetype pos) {
    switch (sprm >> 13) {
        case 0:
        case 1:
            return 1;
        case 2:
        case 4:
        case 5:
            return 2;
        case 3:
            return 4;
        case 7:
            return 3;
        default:
            break;
    }
    if (sprm == kSprmTDefTable) {
        if (!fits(g, pos, 2))
            return -1;
        return qint64(ByteReader(g).u16(pos)) + 1;
    }
    if (!fits(g, pos, 1))
        return -1;
    return qint64(ByteReader(g).u8(pos)) + 1;
}

}  // namespace

void applyCharSprms(QByteArrayView g, CharProps& props) {
    const ByteReader in(g);
    qsizetype pos = 0;
    while (in.has(pos, 2)) {
        const quint16 sprm = in.u16(pos);
        pos += 2;
        const qint64 size = operandSize(sprm, g, pos);
        if (size < 0 || !fits(g, pos, size))
            return;
        switch (sprm) {
            case kSprmCFObjectChar:
                props.objectChar = in.u8(pos) != 0;
                break;
            case kSprmCFData:
                props.data = in.u8(pos) != 0;
                break;
            case kSprmCFObj:
                props.object = in.u8(pos) != 0;
                break;
            case kSprmCFOle2:
                props.ole2 = in.u8(pos) != 0;
                break;
            case kSprmCPicLocation:
                props.pictureLocation = in.u32(pos);
                break;
            default:
                break;
        }
        pos += qsizetype(size);
    }
}

CharProps charPropsOf(const ObjectChar& c, const std::vector<ChpxRun>& runs,
                      const PieceTable& table) {
    CharProps props;
    applyCharSprms(grpprlAt(runs, c.fc), props);
    // A complex prm points at a modifier list of the piece table; it applies on top of
    // the page's properties. A simple prm holds a single paragraph or character
    // toggle that never concerns pictures.
    if (c.prm & 1) {
        const size_t index = c.prm >> 1;
        if (index < table.modifiers.size())
            applyCharSprms(table.modifiers[index], props);
    }
    return props;
}

}  // namespace pictrove::doc
