// The whole binary Word reader (compound file, text structures, OfficeArt, BLIPs),
// short of the picture decoders.
#include "core/formats/doc/DocReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)pictrove::doc::scanBinaryDocument(bytes);
    return 0;
}
