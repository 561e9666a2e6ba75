#include "output/text_format.h"

#include <charconv>

namespace vendrik {

std::string quoted(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    result += text;
    result += '"';
    return result;
}

std::string numberText(std::uint64_t count) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, count).ptr;
    return std::string(digits, end);
}

} // namespace vendrik
