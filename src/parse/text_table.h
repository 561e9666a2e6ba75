#pragma once

#include "parse/text_store.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vendrik {

/// Distinct texts, numbered from 0 in the order first seen, each held once in a TextStore.
/// Two texts are the same when they have the same bytes. A report names the same few
/// thousand files over and over; the table keeps one copy of each name.
struct TextTable {
    std::vector<std::string_view> texts; ///< by number; views into the store
    std::vector<std::uint64_t> hashes;   ///< by number
    std::vector<std::uint32_t> slots;    ///< open addressing: number + 1, or 0 when free
    std::uint64_t seed = 0;              ///< chosen per table, so no fixed input collides
};

/// The number of `text` in `table`. A text the table does not hold yet is copied into
/// `store` and takes the next number. Takes constant time on average, whatever the texts.
std::uint32_t internText(TextTable& table, TextStore& store, std::string_view text);

/// Copies of texts that remember the recent ones in a fixed number of slots, two for each
/// hash value, the text met last first. A text met again while its copy is remembered gets
/// that copy's number; any other text is copied and numbered anew. So different texts never
/// share a number, and equal texts mostly do: the message texts of a report repeat often,
/// but not always (they name identifiers), and a text met once costs no more than its copy.
struct RecentTexts {
    std::vector<std::string_view> texts; ///< by number; views into the store
    std::vector<std::uint64_t> slots;    ///< by hash: upper half of the hash, number + 1
    std::uint64_t seed = 0;              ///< chosen per run, as for TextTable
};

/// The number of a copy of `text` in `recent`, as above; a new copy goes into `store`.
std::uint32_t keepRecentText(RecentTexts& recent, TextStore& store, std::string_view text);

/// Whether the two texts have the same bytes; compares a word of eight bytes at a time.
bool sameText(std::string_view a, std::string_view b);

} // namespace vendrik
