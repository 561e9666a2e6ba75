#include "parse/text_table.h"

#include <chrono>
#include <cstring>

namespace vendrik {

namespace {

constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15u;

std::uint64_t load64(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

std::uint64_t load32(const char* bytes) {
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

/// One step of a hash lane: a multiply and a shift, so every bit of the word reaches
/// every bit of the lane.
std::uint64_t mix(std::uint64_t lane, std::uint64_t word) {
    lane = (lane ^ word) * multiplier;
    return lane ^ (lane >> 32);
}

/// Two lanes take sixteen bytes a step, side by side; the last step ends at the text's end
/// and may overlap the one before, so the length goes in as well. Fixed-size loads only:
/// no library call for the short texts of a report.
std::uint64_t hashText(std::string_view text, std::uint64_t seed) {
    const char* const bytes = text.data();
    const std::size_t size = text.size();
    std::uint64_t first = seed ^ (size * multiplier);
    std::uint64_t second = seed;
    if (size >= 16) {
        for (std::size_t at = 0; at + 16 < size; at += 16) {
            first = mix(first, load64(bytes + at));
            second = mix(second, load64(bytes + at + 8));
        }
        first = mix(first, load64(bytes + size - 16));
        second = mix(second, load64(bytes + size - 8));
    } else if (size >= 8) {
        first = mix(first, load64(bytes));
        second = mix(second, load64(bytes + size - 8));
    } else if (size >= 4) {
        first = mix(first, load32(bytes) | load32(bytes + size - 4) << 32);
    } else {
        std::uint64_t word = 0;
        for (std::size_t at = 0; at < size; ++at) {
            word = word << 8 | static_cast<unsigned char>(bytes[at]);
        }
        first = mix(first, word);
    }
    return mix(first, second >> 7 | second << 57);
}

/// A seed no input can know in advance.
std::uint64_t chooseSeed() {
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) *
           multiplier;
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

bool sameText(std::string_view a, std::string_view b) {
    const std::size_t size = a.size();
    if (size != b.size()) {
        return false;
    }
    if (size < 8) {
        return a == b;
    }
    for (std::size_t at = 0; at + 8 < size; at += 8) {
        if (load64(a.data() + at) != load64(b.data() + at)) {
            return false;
        }
    }
    return load64(a.data() + size - 8) == load64(b.data() + size - 8);
}

std::uint32_t internText(TextTable& table, TextStore& store, std::string_view text) {
    if (table.slots.empty()) {
        table.slots.assign(1024, 0);
        table.seed = chooseSeed();
    }
    const std::uint64_t hash = hashText(text, table.seed);
    const std::size_t mask = table.slots.size() - 1;
    for (std::size_t slot = hash & mask; table.slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t number = table.slots[slot] - 1;
        if (table.hashes[number] == hash && sameText(table.texts[number], text)) {
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

std::uint32_t keepRecentText(RecentTexts& recent, TextStore& store, std::string_view text) {
    constexpr std::size_t slotCount = std::size_t{1} << 14;
    if (recent.slots.empty()) {
        recent.slots.assign(slotCount, 0);
        recent.seed = chooseSeed();
    }
    const std::uint64_t hash = hashText(text, recent.seed);
    // Two slots per hash, the text met last in the first: two texts met in turn whose
    // hashes share the slots both keep their copies.
    std::uint64_t* const slots = &recent.slots[hash & (slotCount - 2)];
    const std::uint64_t mark = hash & ~std::uint64_t{0xffffffff};
    for (std::size_t way = 0; way < 2; ++way) {
        const std::uint64_t slot = slots[way];
        if (slot != 0 && (slot & ~std::uint64_t{0xffffffff}) == mark) {
            const std::uint32_t number = static_cast<std::uint32_t>(slot) - 1;
            if (sameText(recent.texts[number], text)) {
                slots[1] = slots[0];
                slots[0] = slot;
                return number;
            }
        }
    }
    const auto number = static_cast<std::uint32_t>(recent.texts.size());
    recent.texts.push_back(keepText(store, text));
    slots[1] = slots[0];
    slots[0] = mark | (std::uint64_t{number} + 1);
    return number;
}

} // namespace vendrik
