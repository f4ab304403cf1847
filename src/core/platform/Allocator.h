#pragma once

namespace pictrove::platform {

// Pictures pass through buffers of tens of megabytes (a decoded 4 MP picture, its BMP
// intermediate, the JPEG it becomes). The C library's default gives each such buffer a
// mapping of its own and returns it at once, so every picture pays again for fresh
// zeroed pages and TLB flushes: measured here, more than half of a JPEG save. Keeping
// buffers up to 256 MiB in the heap lets the next picture reuse the same pages; the
// peak memory stays the same. Call once at start; a no-op where it does not apply.
void tuneAllocatorForLargePictures();

}  // namespace pictrove::platform
