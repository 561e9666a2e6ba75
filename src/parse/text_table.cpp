#include "parse/text_table.h"

#include <chrono>
#include <cstring>

namespace vendrik {

namespace {

constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15u;

/// Eight bytes at a time, each step a multiply and a shift, so every byte of the text
/// reaches every bit of the result.
std::uint64_t hashText(std::string_view text, std::uint64_t seed) {
    std::uint64_t hash = seed ^ (text.size() * multiplier);
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, sizeof word);
        hash = (hash ^ word) * multiplier;
        hash ^= hash >> 32;
    }
    std::uint64_t rest = 0;
    std::memcpy(&rest, text.data() + at, text.size() - at);
    hash = (hash ^ rest) * multiplier;
    return hash ^ (hash >> 29);
}

/// Puts `number` into the first free slot of its probe sequence.
void place(TextTable& table, std::uint32_t number) {
    const std::size_t mask = table.slots.size() - 1;
    for (std::size_t slot = table.hashes[number] & mask;; slot = (slot + 1) & mask) {
        if (table.slots[slot] == 0) {
            table.slots[slot] = number + 1;
            return;
        }
    }
}

} // namespace

std::uint32_t internText(TextTable& table, TextStore& store, std::string_view text) {
    if (table.slots.empty()) {
        table.slots.assign(1024, 0);
        table.seed = static_cast<std::uint64_t>(
                         std::chrono::steady_clock::now().time_since_epoch().count()) *
                     multiplier;
    }
    const std::uint64_t hash = hashText(text, table.seed);
    const std::size_t mask = table.slots.size() - 1;
    for (std::size_t slot = hash & mask; table.slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t number = table.slots[slot] - 1;
        if (table.hashes[number] == hash && table.texts[number] == text) {
            return number;
        }
    }
    const auto number = static_cast<std::uint32_t>(table.texts.size());
    table.texts.push_back(keepText(store, text));
    table.hashes.push_back(hash);
    if (table.texts.size() * 2 > table.slots.size()) {
        // At most half full: probe sequences stay short.
        table.slots.assign(table.slots.size() * 2, 0);
        for (std::uint32_t held = 0; held < table.texts.size(); ++held) {
            place(table, held);
        }
    } else {
        place(table, number);
    }
    return number;
}

} // namespace vendrik
