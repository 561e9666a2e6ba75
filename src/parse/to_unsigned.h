#pragma once

#include <cstdint>
#include <string_view>

namespace vendrik {

/// Converts a run of decimal digits to an unsigned 32-bit value.
/// Leading white space is skipped and leading zeros are allowed ("0857" gives 857);
/// conversion stops at the first byte that is not a digit. A value above 4294967295
/// saturates to 4294967295. Text without any digit gives 0.
std::uint32_t toUnsigned(std::string_view digits);

} // namespace vendrik
