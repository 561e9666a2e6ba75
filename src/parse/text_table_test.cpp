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

TEST(TextTable, TellsTextsOfEveryLengthApartByAnyByte) {
    // Texts are read in words of eight bytes, the last one ending at the text's end: each
    // length from 0 to 40 and each byte position must still count.
    TextTable table;
    TextStore store;
    std::uint32_t next = 0;
    for (std::size_t length = 0; length <= 40; ++length) {
        const std::string base(length, 'a');
        ASSERT_EQ(internText(table, store, base), next++) << length;
        for (std::size_t at = 0; at < length; ++at) {
            std::string changed = base;
            changed[at] = 'b';
            ASSERT_EQ(internText(table, store, changed), next++) << length << " " << at;
        }
    }
    for (std::size_t length = 0, number = 0; length <= 40; ++length) {
        ASSERT_EQ(internText(table, store, std::string(length, 'a')), number) << length;
        number += length + 1;
    }
}

TEST(TextTable, ComparesTextsByEveryByte) {
    for (std::size_t length = 0; length <= 40; ++length) {
        const std::string base(length, 'a');
        EXPECT_TRUE(sameText(base, std::string(length, 'a'))) << length;
        EXPECT_FALSE(sameText(base, base + "a")) << length;
        for (std::size_t at = 0; at < length; ++at) {
            std::string changed = base;
            changed[at] = '\0';
            EXPECT_FALSE(sameText(base, changed)) << length << " " << at;
        }
    }
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

TEST(RecentTexts, GivesEachTextACopyOfItsOwnBytes) {
    RecentTexts recent;
    TextStore store;
    // A few texts that come back often, among many that are met once.
    const std::string often[] = {"Function return value is not used", "", "x", "Rule-1.1"};
    for (const std::string& text : often) {
        ASSERT_EQ(recent.texts[keepRecentText(recent, store, text)], text);
    }
    for (std::uint32_t i = 0; i < 60000; ++i) {
        const std::string once = "identifier_" + std::to_string(i);
        const std::uint32_t number = keepRecentText(recent, store, once);
        ASSERT_EQ(number, recent.texts.size() - 1) << once; // new texts are new copies
        ASSERT_EQ(recent.texts[number], once);
        const std::string& again = often[i % std::size(often)];
        const std::uint32_t repeated = keepRecentText(recent, store, again);
        ASSERT_EQ(recent.texts[repeated], again) << i;
    }
    // Texts met often mostly find their copy: one is copied again only when two other texts
    // have taken both its slots since it was last met. Two of them that share their slots
    // and are met in turn keep their copies (with one slot each, they took each other's
    // and were copied again every time).
    EXPECT_LT(recent.texts.size(), std::size(often) + 60000 + 500);
}

TEST(RecentTexts, KeepsBothCopiesOfTwoTextsThatShareTheirSlots) {
    RecentTexts recent;
    TextStore store;
    const std::string first = "Function return value is not used";
    const std::uint32_t firstNumber = keepRecentText(recent, store, first);
    // The slot that remembers the first text; a text met later that takes it shares the
    // first text's slots.
    std::size_t slot = 0;
    while (slot < recent.slots.size() &&
           static_cast<std::uint32_t>(recent.slots[slot]) != firstNumber + 1) {
        ++slot;
    }
    ASSERT_LT(slot, recent.slots.size());
    std::string second;
    std::uint32_t secondNumber = 0;
    for (std::uint32_t i = 0;; ++i) {
        ASSERT_LT(i, 10000000u) << "no text took the first one's slot";
        second = "identifier_" + std::to_string(i);
        secondNumber = keepRecentText(recent, store, second);
        if (static_cast<std::uint32_t>(recent.slots[slot]) == secondNumber + 1) {
            break;
        }
    }
    const std::size_t copies = recent.texts.size();
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(keepRecentText(recent, store, first), firstNumber) << round;
        ASSERT_EQ(keepRecentText(recent, store, second), secondNumber) << round;
    }
    EXPECT_EQ(recent.texts.size(), copies);
}

} // namespace
} // namespace vendrik
