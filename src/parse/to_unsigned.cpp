#include "parse/to_unsigned.h"

#include <algorithm>
#include <limits>

namespace vendrik {

std::uint32_t toUnsigned(std::string_view digits) {
    constexpr std::uint64_t maximum = std::numeric_limits<std::uint32_t>::max();
    std::size_t i = 0;
    while (i < digits.size() && (digits[i] == ' ' || (digits[i] >= '\t' && digits[i] <= '\r'))) {
        ++i;
    }
    std::uint64_t value = 0;
    for (; i < digits.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(digits[i]) - unsigned{'0'};
        if (digit > 9) {
            break;
        }
        // Once saturated, the remaining digits cannot lower the value.
        value = std::min(value * 10 + digit, maximum);
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace vendrik
