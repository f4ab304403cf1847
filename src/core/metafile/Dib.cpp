#include "core/metafile/Dib.h"

#include "core/bytes/ByteReader.h"

#include <array>
#include <bit>
#include <vector>

namespace pictrove::metafile {

using bytes::ByteReader;

namespace {

enum Compression : quint32 {
    BiRgb = 0,
    BiRle8 = 1,
    BiRle4 = 2,
    BiBitfields = 3,
    BiJpeg = 4,
    BiPng = 5,
    BiAlphaBitfields = 6,
};

struct Header {
    qint64 width = 0;
    qint64 height = 0;  // always positive; topDown says which way rows run
    bool topDown = false;
    int bpp = 0;
    quint32 compression = BiRgb;
    quint32 masks[4] = {0, 0, 0, 0};  // r, g, b, a
    std::vector<QRgb> palette;
    qint64 infoSize = 0;  // header + masks + colour table, as laid out in a packed DIB
};

// One channel of a BI_BITFIELDS pixel, scaled to 0..255.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    quint32 max = 0;
    explicit Channel(quint32 m) : mask(m) {
        if (m == 0)
            return;
        shift = std::countr_zero(m);
        max = m >> shift;
    }
    int get(quint32 px) const {
        if (mask == 0)
            return 0;
        return int(((px & mask) >> shift) * 255u / max);
    }
};

bool readHeader(const ByteReader& r, const DibOptions& opt, Header& h) {
    const quint32 size = r.u32(0);
    if (size == 12 && r.has(0, 12)) {
        h.width = r.u16(4);
        h.height = r.u16(6);
        h.bpp = r.u16(10);
    } else if (size >= 40 && r.has(0, size)) {
        h.width = r.i32(4);
        const qint32 height = r.i32(8);
        h.topDown = height < 0;
        h.height = h.topDown ? -qint64(height) : qint64(height);
        h.bpp = r.u16(14);
        h.compression = r.u32(16);
    } else {
        return false;
    }
    if (h.width <= 0 || h.height <= 0 || h.width > 0x7fff'ffff || h.height > 0x7fff'ffff)
        return false;
    if (h.width * h.height > opt.maxDecodedBytes / 4)
        return false;
    qint64 off = size;
    if (h.compression == BiBitfields || h.compression == BiAlphaBitfields) {
        const int n = h.compression == BiAlphaBitfields ? 4 : 3;
        if (size >= 52) {
            for (int i = 0; i < 4 && i * 4 + 40 + 4 <= qint64(size); ++i)
                h.masks[i] = r.u32(40 + i * 4);
        } else {
            if (!r.has(off, n * 4))
                return false;
            for (int i = 0; i < n; ++i)
                h.masks[i] = r.u32(off + i * 4);
            off += n * 4;
        }
        if (size < 56 && h.compression != BiAlphaBitfields)
            h.masks[3] = 0;
    }
    const quint32 clrUsed = size >= 40 ? r.u32(32) : 0;
    if (h.bpp <= 8) {
        const qint64 full = qint64(1) << h.bpp;
        const qint64 n = clrUsed != 0 && clrUsed < full ? clrUsed : full;
        const int entry = size == 12 ? 3 : (opt.paletteIndices ? 2 : 4);
        if (!r.has(off, n * entry)) {
            // Some writers store fewer entries than they promise; take what is there.
            if (h.compression == BiJpeg || h.compression == BiPng)
                return true;
        }
        h.palette.assign(size_t(full), qRgb(0, 0, 0));
        for (qint64 i = 0; i < n && r.has(off + i * entry, entry); ++i) {
            const qint64 p = off + i * entry;
            if (opt.paletteIndices) {
                const quint16 idx = r.u16(p);
                h.palette[size_t(i)] = idx < opt.logicalPalette.size()
                                           ? opt.logicalPalette[idx]
                                           : qRgb(idx & 0xff, idx & 0xff, idx & 0xff);
            } else {
                h.palette[size_t(i)] = qRgb(r.u8(p + 2), r.u8(p + 1), r.u8(p));
            }
        }
        off += n * entry;
    } else if (clrUsed != 0 && size != 12) {
        // A colour table beside true-colour pixels is only an optimisation hint.
        if (clrUsed > 0x10000)
            return false;
        off += qint64(clrUsed) * 4;
    }
    h.infoSize = off;
    return true;
}

QImage decodeRle(const Header& h, const ByteReader& bits) {
    QImage img(int(h.width), int(h.height), QImage::Format_RGB32);
    if (img.isNull())
        return {};
    img.fill(h.palette.empty() ? qRgb(0, 0, 0) : h.palette[0]);
    const bool four = h.compression == BiRle4;
    qint64 x = 0, y = 0;  // y counts rows from the bottom
    qint64 p = 0;
    auto put = [&](int index) {
        if (x < h.width && y < h.height && index < int(h.palette.size())) {
            const int row = int(h.topDown ? y : h.height - 1 - y);
            reinterpret_cast<QRgb*>(img.scanLine(row))[x] = h.palette[size_t(index)];
        }
        ++x;
    };
    while (bits.has(p, 2) && y < h.height) {
        const int count = bits.u8(p), value = bits.u8(p + 1);
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? ((i & 1) ? value & 0x0f : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (!bits.has(p, 2))
                break;
            x += bits.u8(p);
            y += bits.u8(p + 1);
            p += 2;
        } else {
            const int n = value;
            const qint64 bytes = four ? (n + 1) / 2 : n;
            if (!bits.has(p, bytes))
                break;
            for (int i = 0; i < n; ++i) {
                const int b = bits.u8(p + (four ? i / 2 : i));
                put(four ? ((i & 1) ? b & 0x0f : b >> 4) : b);
            }
            p += (bytes + 1) & ~qint64(1);
        }
    }
    return img;
}

QImage decodeWith(const Header& h, QByteArrayView bitsView, const DibOptions& opt) {
    if (h.compression == BiJpeg || h.compression == BiPng) {
        if (!opt.decodeCompressed)
            return {};
        QImage img = QImage::fromData(bitsView);
        if (img.isNull() || qint64(img.width()) * img.height() > opt.maxDecodedBytes / 4)
            return {};
        return img.convertToFormat(opt.keepAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }
    const ByteReader bits(bitsView);
    if (h.compression == BiRle8 || h.compression == BiRle4) {
        if ((h.compression == BiRle8) != (h.bpp == 8) || (h.compression == BiRle4) != (h.bpp == 4))
            return {};
        // Run lengths reach 255 pixels per two bytes; a bitmap far larger than its runs
        // could paint is a lie about its size.
        if (h.width * h.height > (bitsView.size() + 2) * 1024)
            return {};
        return decodeRle(h, bits);
    }
    const bool fields = h.compression == BiBitfields || h.compression == BiAlphaBitfields;
    if (!(h.compression == BiRgb || (fields && (h.bpp == 16 || h.bpp == 32))))
        return {};
    if (h.bpp != 1 && h.bpp != 4 && h.bpp != 8 && h.bpp != 16 && h.bpp != 24 && h.bpp != 32)
        return {};
    const qint64 stride = ((h.width * h.bpp + 31) / 32) * 4;
    // Rows that are missing at the end of the bits are left black rather than
    // rejecting the whole bitmap; but a bitmap with no complete row is no bitmap.
    const qint64 rows = std::min<qint64>(h.height, bitsView.size() / stride);
    if (rows <= 0)
        return {};
    const bool alpha = opt.keepAlpha && h.bpp == 32;
    QImage img(int(h.width), int(h.height), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (img.isNull())
        return {};
    img.fill(alpha ? qRgba(0, 0, 0, 0) : qRgb(0, 0, 0));

    quint32 masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
    if (!fields) {
        if (h.bpp == 16) {
            masks[0] = 0x7c00, masks[1] = 0x03e0, masks[2] = 0x001f, masks[3] = 0;
        } else {
            masks[0] = 0xff0000, masks[1] = 0x00ff00, masks[2] = 0x0000ff;
            masks[3] = alpha ? 0xff000000u : 0;
        }
    }
    const Channel cr(masks[0]), cg(masks[1]), cb(masks[2]), ca(masks[3]);
    const bool hasAlpha = alpha && masks[3] != 0;
    const uchar* data = reinterpret_cast<const uchar*>(bitsView.data());

    for (qint64 row = 0; row < rows; ++row) {
        const int dstRow = int(h.topDown ? row : h.height - 1 - row);
        QRgb* out = reinterpret_cast<QRgb*>(img.scanLine(dstRow));
        const uchar* in = data + row * stride;
        switch (h.bpp) {
            case 1:
            case 4:
            case 8: {
                const int per = 8 / h.bpp, mask = (1 << h.bpp) - 1;
                for (qint64 x = 0; x < h.width; ++x) {
                    const int byte = in[x / per];
                    const int shift = 8 - h.bpp * int(x % per + 1);
                    out[x] = h.palette[size_t((byte >> shift) & mask)];
                }
                break;
            }
            case 16:
                for (qint64 x = 0; x < h.width; ++x) {
                    const quint32 px = quint32(in[2 * x]) | quint32(in[2 * x + 1]) << 8;
                    out[x] = qRgb(cr.get(px), cg.get(px), cb.get(px));
                }
                break;
            case 24:
                for (qint64 x = 0; x < h.width; ++x)
                    out[x] = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
                break;
            case 32:
                for (qint64 x = 0; x < h.width; ++x) {
                    const quint32 px = qFromLittleEndian<quint32>(in + 4 * x);
                    out[x] = hasAlpha ? qRgba(cr.get(px), cg.get(px), cb.get(px), ca.get(px))
                                      : qRgb(cr.get(px), cg.get(px), cb.get(px));
                }
                break;
        }
    }
    return img;
}

}  // namespace

QImage decodeDib(QByteArrayView info, QByteArrayView bits, const DibOptions& options) {
    Header h;
    if (!readHeader(ByteReader(info), options, h))
        return {};
    return decodeWith(h, bits, options);
}

QImage decodePackedDib(QByteArrayView packed, const DibOptions& options) {
    Header h;
    const ByteReader r(packed);
    if (!readHeader(r, options, h) || h.infoSize > packed.size())
        return {};
    return decodeWith(h, packed.sliced(h.infoSize), options);
}

}  // namespace pictrove::metafile
