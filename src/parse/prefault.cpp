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

#ifdef __linux__
namespace {

/// Gives `advice` for the pages of `pageSize` bytes (a power of two) that lie wholly
/// inside the range; false when there are none or the system refuses.
bool adviseWholePages(void* data, std::size_t bytes, std::uintptr_t pageSize, int advice) {
    const auto address = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (address + pageSize - 1) & ~(pageSize - 1);
    const std::uintptr_t last = (address + bytes) & ~(pageSize - 1);
    return last > first &&
           madvise(static_cast<char*>(data) + (first - address), last - first, advice) == 0;
}

} // namespace
#endif

void prefault(void* data, std::size_t bytes) {
#ifdef __linux__
    adviseWholePages(data, bytes, 4096, MADV_POPULATE_WRITE);
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

std::size_t largestBlock() {
#ifdef __linux__
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        return static_cast<std::size_t>(pages) / 2 * static_cast<std::size_t>(pageSize);
    }
#endif
    return SIZE_MAX;
}

bool useLargePages() {
#if defined(__GLIBC__) && defined(__linux__)
    // Room for the blocks of a report of some 600 MB; what a bigger one needs beyond it
    // comes in small pages. Only the pages touched count towards the process's memory.
    constexpr std::size_t reserve = std::size_t{256} << 20;
    constexpr std::uintptr_t largePage = std::uintptr_t{2} << 20;
    const auto heapEnd = [] {
        void* const at = sbrk(0);
        return reinterpret_cast<std::intptr_t>(at) == -1 ? nullptr : static_cast<char*>(at);
    };
    mallopt(M_TOP_PAD, static_cast<int>(reserve));
    // The heap's free top lies right below its break. A block larger than it makes the
    // allocator move the break, by the difference plus the top pad.
    const std::size_t top = mallinfo2().keepcost;
    char* const before = heapEnd();
    void* const block = std::malloc(top + (std::size_t{1} << 20));
    char* const after = heapEnd();
    std::free(block);
    mallopt(M_TOP_PAD, 128 << 10); // glibc's default again, for any later growth
    // The free top and what this call added to it: the allocator's own, and where its next
    // blocks come from.
    const auto start = reinterpret_cast<std::uintptr_t>(before) - top;
    const auto end = reinterpret_cast<std::uintptr_t>(after);
    return block != nullptr && before != nullptr && end > start + top &&
           adviseWholePages(before - top, end - start, largePage, MADV_HUGEPAGE);
#else
    return false;
#endif
}

} // namespace vendrik
