#include "parse/to_unsigned.h"

#include <limits>

namespace vendrik {

std::uint32_t toUnsigned(std::string_view digits) {
    constexpr std::uint64_t maximum = std::numeric_limits<std::uint32_t>::max();
    std::size_t i = 0;
    while (i < digits.size() && (digits[i] == ' ' || (digits[i] >= '\t' && digits[i] <= '\r'))) {
        ++i;
    }
    std::uint64_t value = 0;
    for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(digits[i] - '0');
        if (value > maximum) {
            value = maximum; // saturated; the remaining digits cannot lower it
        }
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace vendrik
