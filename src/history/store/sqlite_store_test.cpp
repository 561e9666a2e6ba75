#include "history/store/sqlite_load.h"
#include "history/store/sqlite_store.h"

#include "test_support/history_scripts.h"

#include <gtest/gtest.h>

namespace vendrik::history {
namespace {

using test_support::fileRow;
using test_support::scriptOf;

RunKey runOn(const std::string& hash, const std::string& date) {
    return {"P", "Q", hash, date, "02:00:00"};
}

TEST(SqliteStore, ReadsRunsFilesAndTrendsAsLoaded) {
    const test_support::TemporaryDatabase db;
    const RunKey first = runOn("r1", "2026.12.01");
    const RunKey second = runOn("r2", "2026.12.02");
    const RunKey third = runOn("r3", "2026.12.03");
    EXPECT_EQ(loadScript(db.path, scriptOf(first, {fileRow("a.c", 1)})).rowsAdded, 1);
    EXPECT_EQ(
        loadScript(db.path, scriptOf(second, {fileRow("b.c", 5, 2), fileRow("a.c", 2)})).rowsAdded,
        2);
    EXPECT_EQ(loadScript(db.path, scriptOf(third, {fileRow("a.c", 3, 0, 9)})).rowsAdded, 1);
    const LoadResult again = loadScript(db.path, scriptOf(first, {fileRow("a.c", 1)}));
    EXPECT_EQ(again.rowsAdded, 0);
    EXPECT_EQ(again.runsPresent, std::vector<RunKey>{first});

    const auto store = openSqliteStore(db.path, StoreAccess::read);
    const std::vector<RunTotals> runs = store->runs(std::nullopt, std::nullopt, std::nullopt);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].run, third);
    EXPECT_EQ(runs[1].run, second);
    EXPECT_EQ(runs[1].files, 2);
    EXPECT_EQ(runs[1].counters[0], 7);
    EXPECT_EQ(runs[1].counters[11], 2);
    EXPECT_EQ(runs[0].counters[10], 3) << "priority 9 in misra_9";
    EXPECT_EQ(store->runKeys("P", "Q", ""), (std::vector<RunKey>{third, second, first}));
    EXPECT_TRUE(store->runKeys("P", "other", "").empty());

    const std::vector<FileRow> files = store->files(second, "");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].filename, "a.c") << "by name";
    EXPECT_EQ(files[1].counters, fileRow("b.c", 5, 2).counters);

    // Oldest run first; 0 where a file has no row, whatever the file before it had; the rows
    // of another project in those days are not theirs.
    loadScript(db.path,
               scriptOf({"P", "other", "o1", "2026.12.02", "03:00:00"}, {fileRow("a.c", 40)}));
    const std::vector<RunTotals> oldestFirst(runs.rbegin(), runs.rend());
    const auto trends = store->fileTrends(oldestFirst, {"b.c", "a.c", "none.c"});
    EXPECT_EQ(trends, (std::vector<std::vector<std::int64_t>>{{0, 5, 0}, {1, 2, 3}, {0, 0, 0}}));
}

TEST(SqliteStore, OpensOnlyADatabaseWithTheResultsTable) {
    const test_support::TemporaryDatabase db;
    for (const std::string& path : {db.folder + "/missing.db", db.folder}) {
        try {
            openSqliteStore(path, StoreAccess::read);
            ADD_FAILURE() << path;
        } catch (const StoreError& error) {
            EXPECT_EQ(std::string(error.what()), "the database " + path + " does not exist");
        }
    }
}

} // namespace
} // namespace vendrik::history
