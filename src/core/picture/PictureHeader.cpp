#include "core/picture/PictureHeader.h"

#include "core/bytes/ByteReader.h"
#include "core/metafile/RecordTypes.h"

#include <QtEndian>

namespace pictrove::picture {

using bytes::ByteReader;

namespace {

std::optional<QSize> sized(qint64 w, qint64 h) {
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX)
        return std::nullopt;
    return QSize(int(w), int(h));
}

std::optional<QSize> pngSize(const ByteReader& r) {
    if (!r.has(8, 16) || r.u32be(12) != 0x49484452u)  // "IHDR"
        return std::nullopt;
    return sized(r.u32be(16), r.u32be(20));
}

std::optional<QSize> jpegSize(const ByteReader& r) {
    qsizetype i = 2;
    while (r.has(i, 2)) {
        if (r.u8(i) != 0xFF)
            return std::nullopt;
        quint8 marker = r.u8(i + 1);
        if (marker == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)  // end of image, start of scan: no frame
            return std::nullopt;
        if (!r.has(i + 2, 2))
            return std::nullopt;
        const quint16 length = r.u16be(i + 2);
        if (length < 2)
            return std::nullopt;
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            if (length < 7 || !r.has(i + 4, 5))
                return std::nullopt;
            return sized(r.u16be(i + 7), r.u16be(i + 5));
        }
        i += 2 + length;
    }
    return std::nullopt;
}

std::optional<QSize> gifSize(const ByteReader& r) {
    if (!r.has(6, 4))
        return std::nullopt;
    return sized(r.u16(6), r.u16(8));
}

// The size of a DIB header at `off`.
std::optional<QSize> dibSize(const ByteReader& r, qsizetype off) {
    const quint32 headerSize = r.u32(off);
    if (headerSize == 12) {
        if (!r.has(off, 12))
            return std::nullopt;
        return sized(r.u16(off + 4), r.u16(off + 6));
    }
    if (headerSize < 40 || !r.has(off, 16))
        return std::nullopt;
    const qint64 w = qint32(r.u32(off + 4));
    qint64 h = qint32(r.u32(off + 8));
    if (h < 0)
        h = -h;  // top-down
    return sized(w, h);
}

std::optional<QSize> tiffSize(const ByteReader& r) {
    const bool le = r.u8(0) == 'I';
    auto u16 = [&](qsizetype o) { return le ? r.u16(o) : r.u16be(o); };
    auto u32 = [&](qsizetype o) { return le ? r.u32(o) : r.u32be(o); };
    const qsizetype ifd = qsizetype(u32(4));
    if (!r.has(ifd, 2))
        return std::nullopt;
    const quint16 count = u16(ifd);
    // A directory cut short is damage: what it would have said is not known.
    if (!r.has(ifd + 2, qsizetype(count) * 12))
        return std::nullopt;
    qint64 w = 0, h = 0;
    for (quint16 e = 0; e < count; ++e) {
        const qsizetype at = ifd + 2 + qsizetype(e) * 12;
        const quint16 tag = u16(at), type = u16(at + 2);
        const quint32 value = type == 3 ? u16(at + 8) : type == 4 ? u32(at + 8) : 0;
        if (tag == 256)
            w = value;
        else if (tag == 257)
            h = value;
    }
    return sized(w, h);
}

}  // namespace

std::optional<QSize> rasterHeaderSize(QByteArrayView bytes, Format format) {
    const ByteReader r(bytes);
    switch (format) {
        case Format::Png:
            return pngSize(r);
        case Format::Jpeg:
            return jpegSize(r);
        case Format::Gif:
            return gifSize(r);
        case Format::Bmp:
            return r.has(0, 14) ? dibSize(r, 14) : std::nullopt;
        case Format::Tiff:
            return tiffSize(r);
        case Format::None:
        case Format::Emf:
        case Format::Wmf:
            break;
    }
    return std::nullopt;
}

namespace {

// Bytes between the DIB header and the pixels (colour table, bit masks); -1 when the
// header is implausible.
qint64 dibPaletteBytes(const ByteReader& r) {
    const quint32 headerSize = r.u32(0);
    if (headerSize == 12) {
        const quint16 planes = r.u16(8), bpp = r.u16(10);
        if (planes != 1 || !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24))
            return -1;
        return bpp <= 8 ? qint64(3) << bpp : 0;
    }
    if (!(headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 ||
          headerSize == 108 || headerSize == 124) ||
        !r.has(0, 40))
        return -1;
    const quint16 planes = r.u16(12), bpp = r.u16(14);
    const quint32 compression = r.u32(16), used = r.u32(32);
    if (planes != 1 || !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32) ||
        compression > 6 || used > 65536)
        return -1;
    qint64 palette = used ? qint64(used) * 4 : (bpp <= 8 ? qint64(4) << bpp : 0);
    if (headerSize == 40 && (compression == 3 || compression == 6))
        palette += compression == 3 ? 12 : 16;  // bit masks after the header
    return palette;
}

}  // namespace

bool looksLikeDib(QByteArrayView bytes) {
    const ByteReader r(bytes);
    const qint64 palette = dibPaletteBytes(r);
    return palette >= 0 && dibSize(r, 0) && qint64(r.u32(0)) + palette <= r.size();
}

QByteArray bmpFromDib(QByteArrayView dib) {
    if (!looksLikeDib(dib))
        return {};
    const ByteReader r(dib);
    const quint32 offBits = quint32(14 + r.u32(0) + quint32(dibPaletteBytes(r)));
    QByteArray out(14, '\0');
    out[0] = 'B';
    out[1] = 'M';
    qToLittleEndian<quint32>(quint32(std::min<qint64>(dib.size() + 14, UINT32_MAX)),
                             out.data() + 2);
    qToLittleEndian<quint32>(offBits, out.data() + 10);
    out.append(dib.data(), dib.size());
    return out;
}

QByteArray withPlaceableHeader(QByteArrayView bareWmf, const PlaceableFrame& frame) {
    constexpr qsizetype kHeaderSize = 22;
    QByteArray out;
    out.reserve(kHeaderSize + bareWmf.size());
    out.append(kHeaderSize, '\0');
    char* h = out.data();
    qToLittleEndian<quint32>(metafile::meta::PlaceableKey, h);
    qToLittleEndian<qint16>(frame.left, h + 6);  // after the handle, always 0
    qToLittleEndian<qint16>(frame.top, h + 8);
    qToLittleEndian<qint16>(frame.right, h + 10);
    qToLittleEndian<qint16>(frame.bottom, h + 12);
    qToLittleEndian<quint16>(frame.unitsPerInch, h + 14);
    quint16 checksum = 0;
    for (qsizetype i = 0; i < kHeaderSize - 2; i += 2)
        checksum ^= qFromLittleEndian<quint16>(h + i);
    qToLittleEndian<quint16>(checksum, h + kHeaderSize - 2);
    out.append(bareWmf.data(), bareWmf.size());
    return out;
}

}  // namespace pictrove::picture
