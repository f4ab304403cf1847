#include "core/picture/PngDecode.h"

#include "core/bytes/ByteReader.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>
#include <vector>

namespace pictrove::picture {

namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
constexpr quint32 kMaxSide = 1000000;  // the PNG library's own default limit

constexpr quint32 chunkType(const char (&t)[5]) {
    return quint32(quint8(t[0])) << 24 | quint32(quint8(t[1])) << 16 | quint32(quint8(t[2])) << 8 |
           quint32(quint8(t[3]));
}

bool isLetter(quint8 c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// What the chunks say, when they say it the one plain way; anything else makes the
// generic reader decide.
struct Layout {
    quint32 width = 0, height = 0;
    int channels = 0;        // 1 grey, 3 RGB, 4 RGBA, at 8 bits each
    int dpmX = 0, dpmY = 0;  // the resolution, when the file gives it in metres
    std::vector<QByteArrayView> idat;
};

bool readChunks(QByteArrayView bytes, Layout& out) {
    const bytes::ByteReader r(bytes);
    if (!r.has(0, 8) || std::memcmp(bytes.data(), kSignature, 8) != 0)
        return false;
    bool seenHeader = false, seenResolution = false, seenEnd = false, idatDone = false;
    for (qint64 at = 8; !seenEnd;) {
        if (!r.has(at, 8))
            return false;
        const quint32 length = r.u32be(at);
        const quint32 type = r.u32be(at + 4);
        if (length > 0x7FFFFFFFu || !r.has(at + 8, qint64(length) + 4))
            return false;
        for (int i = 4; i < 8; ++i) {
            if (!isLetter(r.u8(at + i)))
                return false;
        }
        const QByteArrayView data = r.sub(at + 8, length);
        const quint32 crc = libdeflate_crc32(0, bytes.data() + at + 4, size_t(length) + 4);
        if (crc != r.u32be(at + 8 + length))
            return false;
        at += 12 + qint64(length);

        const bytes::ByteReader d(data);
        if (!seenHeader) {
            if (type != chunkType("IHDR") || length != 13)
                return false;
            out.width = d.u32be(0);
            out.height = d.u32be(4);
            const quint8 depth = d.u8(8), colour = d.u8(9);
            if (out.width == 0 || out.height == 0 || out.width > kMaxSide ||
                out.height > kMaxSide || depth != 8 || d.u8(10) != 0 || d.u8(11) != 0 ||
                d.u8(12) != 0)
                return false;
            out.channels = colour == 0 ? 1 : colour == 2 ? 3 : colour == 6 ? 4 : 0;
            if (!out.channels)
                return false;
            seenHeader = true;
            continue;
        }
        if (type == chunkType("IDAT")) {
            if (idatDone)
                return false;  // split by another chunk
            out.idat.push_back(data);
            continue;
        }
        idatDone = !out.idat.empty();
        switch (type) {
            case chunkType("IEND"):
                seenEnd = true;
                break;
            case chunkType("PLTE"):  // a suggestion for RGB, an error for grey
                if (out.channels == 1 || idatDone || length == 0 || length % 3 || length > 768)
                    return false;
                break;
            case chunkType("tRNS"):
                return false;  // a transparent colour: the generic reader's formats differ
            case chunkType("pHYs"):
                if (idatDone || seenResolution || length != 9)
                    return false;
                seenResolution = true;
                if (d.u8(8) == 1 && d.u32be(0) != 0 && d.u32be(4) != 0) {
                    out.dpmX = int(d.u32be(0));
                    out.dpmY = int(d.u32be(4));
                }
                break;
            default:
                if (!(type & 0x20000000u))  // a critical chunk this reader does not know
                    return false;
        }
    }
    return !out.idat.empty();
}

int paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes the row's filter into `row`, with `prior` the row above, unfiltered. The pixel
// to the left is carried in registers: read back from `row`, each byte would wait for
// the store of the byte before.
template <int bpp>
bool unfilterRow(quint8 filter, const quint8* __restrict in, quint8* __restrict row,
                 const quint8* __restrict prior, size_t n) {
    int a[bpp] = {}, c[bpp] = {};
    switch (filter) {
        case 0:
            std::memcpy(row, in, n);
            return true;
        case 1:
            for (size_t i = 0; i < n; i += bpp) {
                for (int k = 0; k < bpp; ++k)
                    row[i + k] = quint8(a[k] = quint8(in[i + k] + a[k]));
            }
            return true;
        case 2: {
            // Sixteen bytes at a time (the compiler's plain optimisation does not).
            using Bytes16 = quint8 __attribute__((vector_size(16)));
            size_t i = 0;
            for (; i + 16 <= n; i += 16) {
                Bytes16 x, y;
                std::memcpy(&x, in + i, 16);
                std::memcpy(&y, prior + i, 16);
                x += y;
                std::memcpy(row + i, &x, 16);
            }
            for (; i < n; ++i)
                row[i] = quint8(in[i] + prior[i]);
            return true;
        }
        case 3:
            for (size_t i = 0; i < n; i += bpp) {
                for (int k = 0; k < bpp; ++k)
                    row[i + k] = quint8(a[k] = quint8(in[i + k] + (a[k] + prior[i + k]) / 2));
            }
            return true;
        case 4:
            for (size_t i = 0; i < n; i += bpp) {
                for (int k = 0; k < bpp; ++k) {
                    const int b = prior[i + k];
                    row[i + k] = quint8(a[k] = quint8(in[i + k] + paeth(a[k], b, c[k])));
                    c[k] = b;
                }
            }
            return true;
        default:
            return false;
    }
}

bool unfilter(quint8 filter, const quint8* in, quint8* row, const quint8* prior, size_t n,
              int bpp) {
    switch (bpp) {
        case 1:
            return unfilterRow<1>(filter, in, row, prior, n);
        case 3:
            return unfilterRow<3>(filter, in, row, prior, n);
        default:
            return unfilterRow<4>(filter, in, row, prior, n);
    }
}

}  // namespace

QImage decodeCommonPng(QByteArrayView bytes, qint64 maxBytes) {
    Layout layout;
    if (!readChunks(bytes, layout))
        return {};
    const qint64 w = layout.width, h = layout.height;
    if (w * h * 4 > maxBytes)
        return {};
    const int bpp = layout.channels;
    const QImage::Format format = bpp == 1   ? QImage::Format_Grayscale8
                                  : bpp == 3 ? QImage::Format_RGB32
                                             : QImage::Format_ARGB32;
    QImage image(int(w), int(h), format);
    if (image.isNull())
        return {};

    // The filtered rows are inflated into the image's own buffer, at its end, where the
    // pixels written from the front never reach a row not yet read (each pixel takes at
    // least as many bytes as it had in the file, the row's filter byte included); when
    // they do not fit, into a buffer of their own.
    const size_t rowBytes = size_t(w) * size_t(bpp);
    const size_t filtered = size_t(h) * (rowBytes + 1);
    const size_t imageBytes = size_t(image.sizeInBytes());
    std::unique_ptr<quint8[]> own;
    quint8* inflated = image.bits() + (imageBytes - filtered);
    if (filtered > imageBytes || size_t(image.bytesPerLine()) < rowBytes + 1) {
        own = std::make_unique_for_overwrite<quint8[]>(filtered);
        inflated = own.get();
    }

    QByteArray joined;
    QByteArrayView stream = layout.idat.front();
    if (layout.idat.size() > 1) {
        for (QByteArrayView part : layout.idat)
            joined.append(part);
        stream = joined;
    }
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    if (!inflater)
        return {};
    size_t used = 0, produced = 0;
    const libdeflate_result result = libdeflate_zlib_decompress_ex(
        inflater, stream.data(), size_t(stream.size()), inflated, filtered, &used, &produced);
    libdeflate_free_decompressor(inflater);
    if (result != LIBDEFLATE_SUCCESS || used != size_t(stream.size()) || produced != filtered)
        return {};

    std::vector<quint8> rows(2 * rowBytes, 0);
    quint8* prior = rows.data();
    quint8* row = prior + rowBytes;
    for (qint64 y = 0; y < h; ++y) {
        const quint8* in = inflated + size_t(y) * (rowBytes + 1);
        if (!unfilter(in[0], in + 1, row, prior, rowBytes, bpp))
            return {};
        uchar* line = image.scanLine(int(y));
        if (bpp == 1) {
            std::memcpy(line, row, rowBytes);
        } else {
            auto* px = reinterpret_cast<QRgb*>(line);
            const quint8* s = row;
            if (bpp == 3) {
                for (qint64 x = 0; x < w; ++x, s += 3)
                    px[x] = qRgb(s[0], s[1], s[2]);
            } else {
                for (qint64 x = 0; x < w; ++x, s += 4)
                    px[x] = qRgba(s[0], s[1], s[2], s[3]);
            }
        }
        std::swap(prior, row);
    }
    if (layout.dpmX) {
        image.setDotsPerMeterX(layout.dpmX);
        image.setDotsPerMeterY(layout.dpmY);
    }
    return image;
}

}  // namespace pictrove::picture
