// Picture sniffing and header parsing (no pixel decoding): format signatures, the
// size fields of PNG, JPEG, GIF, BMP, TIFF, DIB detection, the file header made for
// a DIB, and the crop trailer of picture files.
#include "platform/picture/Picture.h"
#include "platform/picture/PictureHeader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    using namespace pictrove::picture;
    const Format f = sniffFormat(bytes);
    if (f != Format::Emf && f != Format::Wmf)
        (void)rasterHeaderSize(bytes, f);
    if (looksLikeDib(bytes)) {
        const QByteArray bmp = bmpFromDib(bytes);
        (void)rasterHeaderSize(bmp, Format::Bmp);
    }
    const Picture p = Picture::fromEncoded(bytes, Crop{0.1, 0.2, -0.3, 0.9});
    (void)p.size();
    return 0;
}
