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

} // namespace vendrik
