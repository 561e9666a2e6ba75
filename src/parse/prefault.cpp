#include "parse/prefault.h"

#include <cstdint>
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
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

bool useLargePages() {
#if defined(__GLIBC__) && defined(__linux__)
    // Room for the blocks of a report of some 600 MB; what a bigger one needs beyond it
    // comes in small pages. Only the pages touched count towards the process's memory.
    constexpr std::size_t reserve = std::size_t{256} << 20;
    constexpr std::uintptr_t largePage = std::uintptr_t{2} << 20;
    // A block larger than the heap's free top makes the allocator move the break, by the
    // block plus the top pad.
    constexpr std::size_t probe = std::size_t{1} << 20;
    const auto brk = [] {
        void* const at = sbrk(0);
        return at == reinterpret_cast<void*>(-1) ? 0 : reinterpret_cast<std::uintptr_t>(at);
    };
    mallopt(M_TOP_PAD, static_cast<int>(reserve));
    const std::uintptr_t before = brk();
    void* const block = std::malloc(probe);
    const std::uintptr_t after = brk();
    std::free(block);
    mallopt(M_TOP_PAD, 128 << 10); // glibc's default again, for any later growth
    // Only the range this call added to the heap is marked: it is the allocator's for sure.
    const std::uintptr_t first = (before + largePage - 1) & ~(largePage - 1);
    const std::uintptr_t last = after & ~(largePage - 1);
    return block != nullptr && before != 0 && last > first &&
           madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE) == 0;
#else
    return false;
#endif
}

} // namespace vendrik
