#include "parse/prefault.h"

#include <cstdint>

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

} // namespace vendrik
