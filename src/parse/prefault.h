#pragma once

#include <cstddef>

namespace vendrik {

/// Asks the system to back the memory range with pages right away, in one call, instead
/// of one page fault per page on first touch, which costs much more for the large blocks
/// a big report fills. Only a hint: where the system cannot do it, nothing happens.
void prefault(void* data, std::size_t bytes);

/// Asks the allocator to keep the memory the process frees, large blocks included, for its
/// later allocations, instead of giving it back to the system and then faulting fresh pages
/// in again. For the rest of the process; where the allocator has no such setting, nothing
/// happens.
void keepFreedMemory();

/// The largest block the run asks for: half the machine's memory on Linux, where the
/// system grants more than it can hold and ends the process when it is touched; no limit
/// elsewhere.
std::size_t largestBlock();

/// Grows the allocator's heap by a large reserve now, and asks the system to back that
/// reserve with large pages (2 MiB on x86-64) when the process first touches it, which
/// takes one page fault where small pages take 512. Call after keepFreedMemory, so that
/// the blocks of a big report come from the heap. Returns true when a reserve was marked;
/// false where the allocator or the system cannot do it (not Linux with glibc, a heap that
/// the allocator does not grow by moving its break, a kernel without large pages), and
/// allocations then work as before.
bool useLargePages();

} // namespace vendrik
