// The one-pass PNG decoder against Qt's PNG reader: wherever it gives an image, Qt's reader
// must give the same one. Qt's reader runs only then, on a size the decoder already
// accepted, so the fuzzer does not spend itself inside the PNG library.
//
// The first byte chooses how the rest becomes a PNG: as it is; with every chunk's CRC
// made right (so that mutations reach past the checks); or as a header and filtered rows
// that are deflated here into a well-formed file (so that they reach the filters).

#include "core/picture/PngDecode.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <libdeflate.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void putCrc(QByteArray& png, qsizetype chunk, quint32 length) {
    const quint32 crc = libdeflate_crc32(0, png.constData() + chunk + 4, length + 4);
    qToBigEndian(crc, png.data() + chunk + 8 + length);
}

void fixCrcs(QByteArray& png) {
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        if (length > quint32(png.size() - at - 12))
            return;
        putCrc(png, at, length);
        at += 12 + qsizetype(length);
    }
}

QByteArray chunk(const char* type, const QByteArray& data) {
    QByteArray c(4, '\0');
    qToBigEndian(quint32(data.size()), c.data());
    c += QByteArray(type, 4) + data + QByteArray(4, '\0');
    putCrc(c, 0, quint32(data.size()));
    return c;
}

// Width (1..64), height (1..64), colour type from the first bytes; the rest, repeated as
// needed, are the filtered rows.
QByteArray buildPng(QByteArrayView in) {
    if (in.size() < 4)
        return {};
    const int w = 1 + quint8(in[0]) % 64, h = 1 + quint8(in[1]) % 64;
    const quint8 colours[] = {0, 2, 6};
    const quint8 colour = colours[quint8(in[2]) % 3];
    const int channels = colour == 0 ? 1 : colour == 2 ? 3 : 4;
    const QByteArrayView rowsIn = in.sliced(3);
    QByteArray rows(qsizetype(h) * (1 + w * channels), '\0');
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i] = rowsIn[i % rowsIn.size()];
    for (qsizetype y = 0; y < h; ++y)  // mostly valid filter types
        rows[y * (1 + w * channels)] = char(quint8(rows[y * (1 + w * channels)]) % 6);
    libdeflate_compressor* deflater = libdeflate_alloc_compressor(6);
    QByteArray stream(qsizetype(libdeflate_zlib_compress_bound(deflater, size_t(rows.size()))),
                      '\0');
    stream.resize(qsizetype(libdeflate_zlib_compress(
        deflater, rows.constData(), size_t(rows.size()), stream.data(), size_t(stream.size()))));
    libdeflate_free_compressor(deflater);
    QByteArray header(13, '\0');
    qToBigEndian(quint32(w), header.data());
    qToBigEndian(quint32(h), header.data() + 4);
    header[8] = 8;
    header[9] = char(colour);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", stream) +
           chunk("IEND", {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    QByteArray bytes;
    switch (data[0] % 3) {
        case 0:
            bytes = rest.toByteArray();
            break;
        case 1:
            bytes = rest.toByteArray();
            fixCrcs(bytes);
            break;
        default:
            bytes = buildPng(rest);
    }
    const QImage ours = pictrove::picture::decodeCommonPng(bytes, 16 * 1024 * 1024);
    if (ours.isNull())
        return 0;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QImage qt = reader.read();
    if (qt.isNull() || qt.format() != ours.format() || qt.size() != ours.size() ||
        qt.dotsPerMeterX() != ours.dotsPerMeterX() || qt.dotsPerMeterY() != ours.dotsPerMeterY())
        std::abort();
    const auto n = std::size_t(qt.width() * qt.depth() / 8);
    for (int y = 0; y < qt.height(); ++y) {
        if (std::memcmp(qt.constScanLine(y), ours.constScanLine(y), n) != 0)
            std::abort();
    }
    return 0;
}
