#pragma once

namespace vendrik {

/// Asks the allocator to keep the memory the process frees, large blocks up to 32 MiB
/// included, for its later allocations, instead of giving it back to the system and then
/// faulting fresh pages in again. For the rest of the process; where the allocator has no
/// such setting, nothing happens.
void keepFreedMemory();

} // namespace vendrik
