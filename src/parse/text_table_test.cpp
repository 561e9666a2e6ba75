#include "parse/text_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vendrik {
namespace {

TEST(TextTable, NumbersDistinctTextsInTheOrderFirstSeen) {
    using namespace std::string_literals;
    struct Row {
        std::string text;
        std::uint32_t number;
    };
    // Texts that differ only in length, in their last byte, by a NUL or by case are distinct.
    const Row rows[] = {
        {"Src\\Src_NV\\a.c", 0},
        {"Src\\Src_NV\\a.cpp", 1},
        {"Src\\Src_NV\\a.c", 0},
        {"Src\\Src_NV\\b.c", 2},
        {"", 3},
        {"a\0b"s, 4},
        {"a\0c"s, 5},
        {"a\0b"s, 4},
        {"", 3},
        {"SRC\\Src_NV\\a.c", 6},
        {"Src\\Src_NV\\a.cpp", 1},
    };
    TextTable table;
    TextStore store;
    for (const Row& row : rows) {
        EXPECT_EQ(internText(table, store, row.text), row.number) << row.text;
    }
    ASSERT_EQ(table.texts.size(), 7u);
    EXPECT_EQ(table.texts[4], "a\0b"s);
}

TEST(TextTable, KeepsNumbersAndTextsWhileItGrows) {
    TextTable table;
    TextStore store;
    std::vector<std::string_view> first;
    for (std::uint32_t i = 0; i < 20000; ++i) {
        const std::string text = "message " + std::to_string(i) + std::string(i % 40, '.');
        ASSERT_EQ(internText(table, store, text), i);
        first.push_back(table.texts[i]);
    }
    for (std::uint32_t i = 0; i < 20000; ++i) {
        const std::string text = "message " + std::to_string(i) + std::string(i % 40, '.');
        ASSERT_EQ(internText(table, store, text), i) << text;
        // The kept copy never moves and is not the caller's text.
        ASSERT_EQ(table.texts[i].data(), first[i].data());
        ASSERT_EQ(table.texts[i], text);
    }
}

} // namespace
} // namespace vendrik
