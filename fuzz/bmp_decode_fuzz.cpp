#include "core/save/BmpFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pictrove::results::decodeBmp(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
