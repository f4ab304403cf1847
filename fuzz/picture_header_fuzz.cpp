// Picture sniffing and header parsing (no pixel decoding): format signatures, the
// size fields of PNG, JPEG, GIF, BMP, TIFF, DIB detection, the file header made for
// a DIB, and the crop trailer of picture files.
//
// Also a differential check: a picture kept in the picture store has its header read
// from its first bytes only; whenever that succeeds, it must agree with the header
// read from the whole bytes.
#include "core/picture/Picture.h"
#include "core/picture/PictureHeader.h"
#include "core/picture/PictureStore.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace {
using namespace pictrove::picture;

void storedHeaderAgrees(const QByteArray& bytes, const Picture& whole, qsizetype cut) {
    static const std::shared_ptr<PictureStore> store = PictureStore::create();
    static const int source = memfd_create("fuzz-source", MFD_CLOEXEC);
    if (!store || source < 0 || ftruncate(source, 0) != 0 ||
        pwrite(source, bytes.constData(), size_t(bytes.size()), 0) != bytes.size())
        return;
    const Picture stored =
        Picture::fromStored(store->append(source, 0, bytes.size()), bytes.left(cut));
    if (stored.isNull())
        return;
    if (whole.isNull() || stored.format() != whole.format() || stored.size() != whole.size() ||
        stored.encoded() != bytes)
        __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const Format f = sniffFormat(bytes);
    if (f != Format::Emf && f != Format::Wmf)
        (void)rasterHeaderSize(bytes, f);
    if (looksLikeDib(bytes)) {
        const QByteArray bmp = bmpFromDib(bytes);
        (void)rasterHeaderSize(bmp, Format::Bmp);
    }
    const Picture p = Picture::fromEncoded(bytes, Crop{0.1, 0.2, -0.3, 0.9});
    (void)p.size();
    if (f != Format::None && size >= 2) {
        // Any cut, chosen by the input's own last two bytes.
        const qsizetype cut =
            (qsizetype(data[size - 1]) << 8 | data[size - 2]) % qsizetype(size + 1);
        storedHeaderAgrees(bytes, Picture::fromEncoded(bytes), cut);
    }
    return 0;
}
