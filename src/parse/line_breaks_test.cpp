#include "parse/line_breaks.h"

#include <gtest/gtest.h>

#include <string>

namespace vendrik {
namespace {

// Every length up to a few steps of the wide scan, a break (CR or LF) at every position or
// none, two breaks, and every starting point, against a byte-by-byte search.
TEST(LineBreaks, FindsTheFirstBreakFromAnyPoint) {
    const auto expected = [](const std::string& text, std::size_t from) {
        for (std::size_t at = from; at < text.size(); ++at) {
            if (text[at] == '\r' || text[at] == '\n') {
                return at;
            }
        }
        return std::string::npos;
    };
    for (std::size_t size = 0; size <= 100; ++size) {
        for (std::size_t first = 0; first <= size; ++first) {
            for (const char lineBreak : {'\r', '\n'}) {
                std::string text(size, 'x');
                if (first < size) {
                    text[first] = lineBreak;
                    text[size - 1 - (size - 1 - first) / 2] = '\n'; // a second one behind it
                }
                for (std::size_t from = 0; from <= size; ++from) {
                    ASSERT_EQ(firstLineBreak(text, from), expected(text, from))
                        << "size " << size << ", break at " << first << ", from " << from;
                }
            }
        }
    }
}

} // namespace
} // namespace vendrik
