#include "driver/memory_policy.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace vendrik {
namespace {

TEST(MemoryPolicy, LargeBlocksComeFromTheHeap) {
#ifdef __GLIBC__
    keepFreedMemory();
    const std::size_t mappedBefore = mallinfo2().hblks;
    // Through a volatile pointer, so the compiler keeps the allocation.
    char* volatile block = static_cast<char*>(std::malloc(std::size_t{8} << 20));
    ASSERT_NE(block, nullptr);
    block[0] = 1;
    const std::size_t mappedDuring = mallinfo2().hblks;
    std::free(block);
    EXPECT_EQ(mappedDuring, mappedBefore) << "an 8 MiB block was mapped on its own";
#else
    GTEST_SKIP() << "the allocator has no such setting";
#endif
}

} // namespace
} // namespace vendrik
