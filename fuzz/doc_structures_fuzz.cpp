// FIB, piece table, character property pages and property modifiers. The input is a
// 4-byte split point, then a WordDocument stream and a table stream.
#include "core/formats/doc/WordStructures.h"

#include <QtEndian>

#include <cstddef>
#include <cstdint>

using namespace pictrove::doc;

namespace {

QByteArrayView part(QByteArrayView b, quint32 fc, quint32 lcb) {
    if (fc > quint64(b.size()) || lcb > quint64(b.size()) - fc)
        return {};
    return b.sliced(qsizetype(fc), qsizetype(lcb));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const QByteArrayView all(reinterpret_cast<const char*>(data), qsizetype(size));
    const quint32 split = qFromLittleEndian<quint32>(data) % quint32(size - 3);
    const QByteArrayView wd = all.sliced(4, split);
    const QByteArrayView table = all.sliced(4 + split);

    // Each reader on its own, on raw bytes.
    const auto pieces = parsePieceTable(table);
    (void)parseChpxRuns(table, wd);
    CharProps props;
    applyCharSprms(table, props);

    // And chained as the document reader chains them.
    const auto fib = parseFib(wd);
    if (!fib.ok())
        return 0;
    const auto clx = parsePieceTable(part(table, fib.value.clx.fc, fib.value.clx.lcb));
    const PieceTable& pt = clx.ok() ? clx.value : pieces.value;
    const auto chars = findObjectChars(pt, wd, fib.value.ccpText);
    const auto runs =
        parseChpxRuns(part(table, fib.value.plcfBteChpx.fc, fib.value.plcfBteChpx.lcb), wd);
    for (const ObjectChar& c : chars.value)
        (void)charPropsOf(c, runs.value, pt);
    return 0;
}
