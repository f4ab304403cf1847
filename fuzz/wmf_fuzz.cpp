// Plays arbitrary bytes as a metafile; seeded with WMF files, so the fuzzer mostly
// explores the WMF record reader and the device context behind it.

#include "FuzzCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pictrove::fuzz::playMetafile(data, size);
    return 0;
}
