// OfficeArt records: drawing group and drawings, inline shape containers, BLIPs
// (inflating metafiles, placeable WMF headers, DIB file headers).
#include "core/formats/doc/OfficeArt.h"

#include <cstddef>
#include <cstdint>

using namespace pictrove::doc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString problem;
    const auto content = parseArtContent(bytes);
    for (const BlipEntry& e : content.value.blipStore)
        (void)decodeBlipEntry(e, bytes, &problem);
    (void)findShape(content.value.shapes, 0x401);
    const auto art = parseInlineArt(bytes);
    for (const BlipEntry& e : art.value.blips)
        (void)decodeBlipEntry(e, bytes, &problem);
    (void)decodeBlip(bytes, &problem);
    return 0;
}
