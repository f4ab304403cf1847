// The one-pass PNG decoder against Qt's PNG reader: wherever it gives an image, Qt's reader
// must give the same one. Qt's reader runs only then, on a size the decoder already
// accepted, so the fuzzer does not spend itself inside the PNG library.

#include "core/picture/PngDecode.h"

#include <QBuffer>
#include <QImageReader>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
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
