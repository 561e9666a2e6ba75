#include "driver/memory_policy.h"

#include <cstdlib> // defines __GLIBC__ where glibc is the C library

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace vendrik {

void keepFreedMemory() {
#ifdef __GLIBC__
    // Blocks up to 32 MiB (the most glibc allows) come from the heap, which is not trimmed.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

} // namespace vendrik
