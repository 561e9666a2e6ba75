#include "parse/key_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace vendrik {
namespace {

struct Keyed {
    std::uint64_t key;
    std::uint32_t order; ///< position before sorting
};

// Against std::stable_sort, on keys that differ in a few bytes, in every byte, or not at
// all, and on lengths from nothing to more than a byte's worth of records.
TEST(KeySort, AgreesWithStableSort) {
    const std::uint64_t masks[] = {0,
                                   0xff,
                                   0xffff'0000'ffffu,
                                   0xff00'0000'0000'0000u,
                                   0x8000'0000'0000'0001u,
                                   ~std::uint64_t{0}};
    std::mt19937_64 random(11);
    std::vector<Keyed> scratch;
    for (const std::uint64_t mask : masks) {
        for (const std::size_t count : {0u, 1u, 2u, 3u, 17u, 255u, 256u, 257u, 3000u}) {
            std::vector<Keyed> records;
            for (std::uint32_t i = 0; i < count; ++i) {
                // Few distinct values, so that equal keys are common.
                records.push_back({(random() % 5 == 0 ? random() : random() % 7) & mask, i});
            }
            std::vector<Keyed> expected = records;
            std::stable_sort(expected.begin(), expected.end(),
                             [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
            sortByKey(records, scratch, [](const Keyed& record) { return record.key; });
            ASSERT_EQ(records.size(), expected.size());
            for (std::size_t i = 0; i < count; ++i) {
                ASSERT_EQ(records[i].key, expected[i].key) << "mask " << mask << ", " << count;
                ASSERT_EQ(records[i].order, expected[i].order) << "mask " << mask << ", " << count;
            }
        }
    }
}

} // namespace
} // namespace vendrik
