// Feeds arbitrary bytes to the RTF reader. Pictures are only sniffed and sized, never
// decoded, so no image decoder runs here.
#include "core/formats/rtf/RtfReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto result = pictrove::word::readRtf(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    (void)result;
    return 0;
}
