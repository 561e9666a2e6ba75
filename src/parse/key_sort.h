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
/// lowest, that skips the bytes all keys share and counts only the values a byte can take:
/// time linear in the number of records, with no comparison to mispredict. A few records are sorted
/// by insertion instead. `scratch` is working room; its content is of no further use afterwards,
/// and handing the same one to every call saves allocations.
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
    // The bits all keys have, and those any key has: a byte of each key lies between the
    // two values of that byte, and where they agree, all keys have the same byte.
    std::uint64_t allHave = ~std::uint64_t{0};
    std::uint64_t anyHas = 0;
    for (const Record& record : records) {
        allHave &= key(record);
        anyHas |= key(record);
    }
    scratch.resize(count);
    std::array<std::uint32_t, 256> slots;
    for (unsigned shift = 0; shift < 64; shift += 8) {
        const std::size_t low = (allHave >> shift) & 0xff;
        const std::size_t high = (anyHas >> shift) & 0xff;
        if (low == high) {
            continue; // every key has this byte
        }
        std::fill(slots.begin() + low, slots.begin() + high + 1, 0);
        for (const Record& record : records) {
            ++slots[(key(record) >> shift) & 0xff];
        }
        std::uint32_t next = 0;
        for (std::size_t digit = low; digit <= high; ++digit) {
            next += std::exchange(slots[digit], next);
        }
        for (const Record& record : records) {
            scratch[slots[(key(record) >> shift) & 0xff]++] = record;
        }
        records.swap(scratch);
    }
}

} // namespace vendrik
