#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vendrik {

/// Sorts `records` by the unsigned 64-bit key that `key` gives each record, smallest first;
/// records with equal keys keep their order. A radix sort, a byte at a time from the
/// lowest, that skips the bytes all keys share: time linear in the number of records, with
/// no comparison to mispredict. A few records are sorted by insertion instead.
/// `scratch` is working room; its content is of no further use afterwards, and handing
/// the same one to every call saves allocations.
template <typename Record, typename Key>
void sortByKey(std::vector<Record>& records, std::vector<Record>& scratch, Key key) {
    const std::size_t count = records.size();
    if (count < 64) {
        // Few records: an insertion sort is quicker than clearing the counts.
        for (std::size_t next = 1; next < count; ++next) {
            Record record = records[next];
            std::size_t at = next;
            for (; at > 0 && key(record) < key(records[at - 1]); --at) {
                records[at] = records[at - 1];
            }
            records[at] = record;
        }
        return;
    }
    if (count > UINT32_MAX) { // too many for the counts below
        std::stable_sort(records.begin(), records.end(),
                         [&](const Record& a, const Record& b) { return key(a) < key(b); });
        return;
    }
    std::array<std::array<std::uint32_t, 256>, 8> counts{};
    for (const Record& record : records) {
        const std::uint64_t value = key(record);
        for (std::size_t byte = 0; byte < 8; ++byte) {
            ++counts[byte][(value >> (8 * byte)) & 0xff];
        }
    }
    scratch.resize(count);
    for (std::size_t byte = 0; byte < 8; ++byte) {
        std::array<std::uint32_t, 256>& slots = counts[byte];
        if (slots[(key(records[0]) >> (8 * byte)) & 0xff] == count) {
            continue; // every key has this byte
        }
        std::uint32_t next = 0;
        for (std::uint32_t& slot : slots) {
            next += std::exchange(slot, next);
        }
        for (const Record& record : records) {
            scratch[slots[(key(record) >> (8 * byte)) & 0xff]++] = record;
        }
        records.swap(scratch);
    }
}

} // namespace vendrik
