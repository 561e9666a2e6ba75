#include "history/run_comparison.h"

#include <gtest/gtest.h>

namespace vendrik::history {
namespace {

RunKey run(std::string hash, std::string time = "10:00:00") {
    return {"P", "T", std::move(hash), "2026.12.08", std::move(time)};
}

/// A row whose all_errors is the sum of the given priorities' and HIS counts.
FileRow row(std::string name, std::int64_t priority9, std::int64_t priority3, std::int64_t his) {
    FileRow file{std::move(name), {}};
    file.counters[10] = priority9; // misra_9
    file.counters[4] = priority3;  // misra_3
    file.counters[11] = his;
    file.counters[0] = priority9 + priority3 + his;
    return file;
}

TEST(RunComparison, ComparesEveryFileColumnAndBand) {
    const Comparison comparison =
        compareRuns(run("base"), {row("a.c", 1, 2, 0), row("gone.c", 0, 1, 1)}, run("head"),
                    {row("a.c", 3, 0, 1), row("new.c", 0, 0, 2)});
    ASSERT_EQ(comparison.files.size(), 3u);
    const FileChange& a = comparison.files[0];
    EXPECT_EQ(a.filename, "a.c");
    const Values change = a.change();
    EXPECT_EQ(change[*columnIndex("all_errors")], 1);
    EXPECT_EQ(change[*columnIndex("misra_9")], 2);
    EXPECT_EQ(change[*columnIndex("misra_3")], -2);
    EXPECT_EQ(change[*columnIndex("his")], 1);
    EXPECT_EQ(change[*columnIndex("band_8_9")], 2);
    EXPECT_EQ(change[*columnIndex("band_0_4")], -2);
    EXPECT_EQ(change[*columnIndex("band_5_7")], 0);
    EXPECT_FALSE(comparison.files[1].head) << "gone.c disappears";
    EXPECT_EQ(comparison.files[1].change()[0], -2);
    EXPECT_FALSE(comparison.files[2].base) << "new.c appears";
    EXPECT_EQ(comparison.baseTotal[0], 5);
    EXPECT_EQ(comparison.headTotal[0], 6);
}

TEST(RunComparison, FindsRunsByHashPrefixOrDateAndTime) {
    const std::vector<RunKey> runs = {run("abc123", "10:00:01"), run("abd456", "10:00:02")};
    EXPECT_EQ(findRun(runs, "abc").githash, "abc123");
    EXPECT_EQ(findRun(runs, "abd456").githash, "abd456");
    EXPECT_EQ(findRun(runs, "2026.12.08 10:00:02").githash, "abd456");
    EXPECT_THROW(findRun(runs, "ab"), StoreError);
    EXPECT_THROW(findRun(runs, "x"), StoreError);
    EXPECT_THROW(findRun(runs, "2026.12.08 10:00:03"), StoreError);
}

TEST(RunComparison, GateFailsOnGrowthInAWatchedColumnOrAPassedLimit) {
    const Comparison comparison =
        compareRuns(run("base"), {row("grew.c", 1, 0, 0), row("fell.c", 2, 2, 0)}, run("head"),
                    {row("grew.c", 1, 0, 1), row("fell.c", 1, 2, 0), row("new.c", 0, 1, 0)});
    const std::size_t all = *columnIndex("all_errors");
    const std::size_t his = *columnIndex("his");
    const GateResult watched = evaluateGate(comparison, {all, his}, {});
    EXPECT_TRUE(watched.failed);
    ASSERT_EQ(watched.grown.size(), 2u);
    EXPECT_EQ(watched.grown[0]->filename, "grew.c");
    EXPECT_EQ(watched.grown[1]->filename, "new.c");
    ASSERT_EQ(watched.improved.size(), 1u);
    EXPECT_EQ(watched.improved[0]->filename, "fell.c");

    const GateResult bandOnly = evaluateGate(comparison, {*columnIndex("band_8_9")}, {});
    EXPECT_FALSE(bandOnly.failed) << "no file gained findings of priority 8-9";
    const GateResult limited =
        evaluateGate(comparison, {*columnIndex("band_8_9")}, {{his, 0}, {all, 100}});
    EXPECT_TRUE(limited.failed);
    EXPECT_EQ(limited.limitsPassed, std::vector<std::string>{"his 1 > 0"});
}

TEST(RunComparison, GateRules) {
    const std::size_t all = *columnIndex("all_errors");
    const std::size_t his = *columnIndex("his");
    const std::size_t high = *columnIndex("band_8_9");
    struct Case {
        const char* name;
        std::vector<FileRow> base;
        std::vector<FileRow> head;
        std::vector<std::size_t> watched;
        std::vector<std::pair<std::size_t, std::int64_t>> limits;
        bool failed;
    };
    const Case cases[] = {
        {"unchanged", {row("a.c", 1, 1, 1)}, {row("a.c", 1, 1, 1)}, {all, his}, {}, false},
        {"one more finding", {row("a.c", 1, 1, 1)}, {row("a.c", 1, 2, 1)}, {all}, {}, true},
        {"growth outside the watched columns",
         {row("a.c", 1, 1, 1)},
         {row("a.c", 1, 2, 1)},
         {high, his},
         {},
         false},
        {"a file that appears", {}, {row("new.c", 0, 0, 1)}, {his}, {}, true},
        {"a file that appears empty", {}, {row("new.c", 0, 0, 0)}, {all, his}, {}, false},
        {"a file that disappears", {row("a.c", 2, 0, 0)}, {}, {all}, {}, false},
        {"fixed in one file, added in another",
         {row("a.c", 1, 0, 0), row("b.c", 0, 0, 0)},
         {row("a.c", 0, 0, 0), row("b.c", 1, 0, 0)},
         {all},
         {},
         true},
        {"a total equal to its limit", {}, {row("a.c", 2, 1, 0)}, {}, {{all, 3}}, false},
        {"a total above its limit", {}, {row("a.c", 2, 2, 0)}, {}, {{all, 3}}, true},
        {"a band limit", {}, {row("a.c", 2, 0, 0)}, {}, {{high, 1}}, true},
    };
    for (const Case& test : cases) {
        const Comparison comparison = compareRuns(run("base"), test.base, run("head"), test.head);
        EXPECT_EQ(evaluateGate(comparison, test.watched, test.limits).failed, test.failed)
            << test.name;
    }
}

} // namespace
} // namespace vendrik::history
