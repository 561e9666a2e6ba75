#include "parse/prefault.h"

#include <cstdint>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older kernels refuse it, which is harmless
#endif
#endif

namespace vendrik {

void prefault(void* data, std::size_t bytes) {
#ifdef __linux__
    constexpr std::uintptr_t page = 4096;
    const auto first = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto last = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
    }
#else
    static_cast<void>(data);
    static_cast<void>(bytes);
#endif
}

void keepFreedMemory() {
#ifdef __GLIBC__
    // Blocks up to 32 MiB (the most glibc allows) come from the heap, which is not trimmed.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

} // namespace vendrik
