#include "history/finding_history.h"
#include "history/script_load.h"
#include "history/sqlite_store.h"

#include "test_support/history_scripts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace vendrik::history {
namespace {

using testing::LogFinding;
using testing::logOf;

RunKey nightly(int night, const std::string& project = "Q") {
    const std::string day = std::to_string(10 + night);
    return {"P", project, "h" + std::to_string(night % 4), "2026.11." + day, "02:00:00"};
}

/// The findings a converter log records, as the history returns them.
std::vector<TrackedFinding> sorted(std::vector<TrackedFinding> findings) {
    std::sort(findings.begin(), findings.end(), [](const auto& a, const auto& b) {
        return std::tie(a.file, a.line, a.number, a.text) <
               std::tie(b.file, b.line, b.number, b.text);
    });
    return findings;
}

std::int64_t spanRows(const std::string& path) {
    Database db;
    openDatabase(db, path, SQLITE_OPEN_READONLY, 1000);
    Statement count(db, "select count(*) from vendrik_history_findings", "count");
    count.step();
    return count.number(0);
}

// Runs whose findings come and go and move, loaded in random orders: every run reads back
// exactly its log's findings, and each finding is stored once per stretch of consecutive
// runs it is present in, whatever the order.
TEST(FindingHistory, KeepsEveryRunsFindingsInAnyLoadOrder) {
    constexpr int nights = 9;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        std::vector<std::string> logs;
        std::vector<std::vector<TrackedFinding>> expected;
        std::vector<int> lineShift(8, 0);
        for (int night = 0; night < nights; ++night) {
            std::vector<LogFinding> findings;
            for (int slot = 0; slot < 24; ++slot) {
                if (random() % 10 < 3) {
                    continue; // absent tonight
                }
                const int file = slot % 8;
                lineShift[static_cast<std::size_t>(file)] += random() % 6 == 0 ? 2 : 0;
                findings.push_back(
                    {"Src\\Src_NV\\f" + std::to_string(file) + ".c",
                     static_cast<std::uint32_t>(10 * (slot / 8) + 1 +
                                                lineShift[static_cast<std::size_t>(file)]),
                     3, 2000u + static_cast<std::uint32_t>(slot % 3), "same text"});
            }
            logs.push_back(logOf(nightly(night), findings));
            expected.push_back(sorted(readSarifLog(logs.back()).findings));
        }
        std::vector<int> order(nights);
        for (int night = 0; night < nights; ++night) {
            order[static_cast<std::size_t>(night)] = night;
        }
        std::shuffle(order.begin(), order.end(), random);
        const testing::TemporaryDatabase db;
        for (const int night : order) {
            ASSERT_EQ(
                loadLog(db.path, logs[static_cast<std::size_t>(night)], std::nullopt).rowsAdded,
                static_cast<std::int64_t>(expected[static_cast<std::size_t>(night)].size()));
        }
        const auto again = loadLog(db.path, logs[3], std::nullopt);
        EXPECT_EQ(again.runsPresent, std::vector<RunKey>{nightly(3)}) << "seed " << seed;

        const auto store = openSqliteStore(db.path);
        std::int64_t stretches = 0;
        std::set<std::tuple<std::string, std::string, std::int64_t>> before;
        for (int night = 0; night < nights; ++night) {
            const auto& findings = expected[static_cast<std::size_t>(night)];
            EXPECT_EQ(store->findings(nightly(night), ""), findings)
                << "seed " << seed << ", night " << night;
            std::set<std::tuple<std::string, std::string, std::int64_t>> now;
            for (const TrackedFinding& finding : findings) {
                now.emplace(finding.fingerprint, finding.file, finding.line);
                stretches +=
                    before.count({finding.fingerprint, finding.file, finding.line}) ? 0 : 1;
            }
            before = std::move(now);
        }
        EXPECT_EQ(spanRows(db.path), stretches) << "seed " << seed;
    }
}

TEST(FindingHistory, RecordsZeroFindingsBranchesAndRefusesWhatDoesNotFit) {
    const testing::TemporaryDatabase db;
    const RunKey empty = nightly(1);
    EXPECT_EQ(loadLog(db.path, logOf(empty, {}), std::string("main")).rowsAdded, 0);
    const auto store = openSqliteStore(db.path);
    EXPECT_EQ(store->runKeys("P", "Q", "main"), std::vector<RunKey>{empty});
    EXPECT_TRUE(store->runKeys("P", "Q", "").empty()) << "no branch is a branch of its own";
    EXPECT_EQ(store->findings(empty, "main"), std::vector<TrackedFinding>{});
    const std::vector<RunTotals> runs = store->runs(std::nullopt, std::nullopt, "main");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].files, 0);
    EXPECT_EQ(runs[0].counters[0], 0);

    const auto refused = [&](const std::string& log, const std::optional<std::string>& branch) {
        try {
            loadLog(db.path, log, branch);
        } catch (const StoreError& error) {
            return std::string(error.what());
        }
        return std::string("loaded");
    };
    EXPECT_EQ(refused(logOf(empty, {}), std::string("other")),
              "refused: the run h1 (2026.11.11 02:00:00) of P / Q is recorded with the branch "
              "main, and this load gives it the branch other");
    std::string twice = logOf(nightly(2), {{"Src\\Src_NV\\a.c", 1}, {"Src\\Src_NV\\a.c", 2}});
    const std::size_t second = twice.rfind(":2\"");
    twice.replace(second, 3, ":1\"");
    EXPECT_EQ(refused(twice, std::nullopt).substr(0, 47),
              "refused: two findings of the log share the fing");
}

} // namespace
} // namespace vendrik::history
