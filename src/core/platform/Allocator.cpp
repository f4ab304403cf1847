#include "core/platform/Allocator.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace pictrove::platform {

void tuneAllocatorForLargePictures() {
#if defined(__GLIBC__)
    constexpr int kLarge = 256 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, kLarge);
    mallopt(M_TRIM_THRESHOLD, kLarge);
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
}

}  // namespace pictrove::platform
