#include "history/store/finding_history.h"

#include "history/sarif_read.h"
#include "history/store/pg_session.h"
#include "history/store/sqlite_database.h"
#include "history/store/sqlite_load.h"
#include "history/store/sqlite_store.h"

#include "test_support/history_scripts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

#include <map>
#include <random>
#include <set>
#include <unistd.h>

namespace vendrik::history {
namespace {

using test_support::LogFinding;
using test_support::logOf;

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
    SqliteDatabase db;
    openDatabase(db, path, SQLITE_OPEN_READONLY, 1000);
    SqliteStatement count(db, "select count(*) from vendrik_history_findings", "count");
    count.step();
    return count.number(0);
}

/// Where a test keeps the findings' history: load a log (returning the findings added, or
/// nothing when the run is present), read a run's findings, count the stored spans.
struct Backend {
    std::function<std::optional<std::int64_t>(const std::string& log)> load;
    std::function<std::vector<TrackedFinding>(const RunKey& run)> findings;
    std::function<std::int64_t()> spans;
};

/// A fresh SQLite database as loadLog and the store use it.
struct SqliteBackend {
    test_support::TemporaryDatabase db;
    Backend backend() {
        return {[this](const std::string& log) -> std::optional<std::int64_t> {
                    const LoadResult result = loadLog(db.path, readSarifLog(log), std::nullopt);
                    return result.runsPresent.empty() ? std::optional(result.rowsAdded)
                                                      : std::nullopt;
                },
                [this](const RunKey& run) {
                    return *openSqliteStore(db.path, StoreAccess::read)->findings(run, "");
                },
                [this] { return spanRows(db.path); }};
    }
};

/// A fresh database on the tests' PostgreSQL server, the log stored through PgSession.
struct PgBackend {
    std::string url =
        std::getenv("VENDRIK_TEST_POSTGRES") ? std::getenv("VENDRIK_TEST_POSTGRES") : "";
    std::unique_ptr<PgConnection> server;
    std::string name;
    std::unique_ptr<PgConnection> connection;
    PgBackend() {
        if (url.empty()) {
            return;
        }
        static int created = 0;
        server = std::make_unique<PgConnection>(url);
        name = "findings_" + std::to_string(::getpid()) + "_" + std::to_string(++created);
        server->run("create database " + name, "create a database");
        std::string target = url;
        target.replace(target.find("/postgres?"), 10, "/" + name + "?");
        connection = std::make_unique<PgConnection>(target);
        createPgTables(*connection);
    }
    ~PgBackend() {
        if (connection) {
            connection.reset();
            server->run("drop database " + name, "drop a database");
        }
    }
    Backend backend() {
        return {
            [this](const std::string& log) -> std::optional<std::int64_t> {
                const LoggedRun logged = readSarifLog(log);
                PgSession session(*connection);
                connection->run("begin", "load");
                const bool stored = storeLoggedRun(session, logged, logged.branch);
                connection->run("commit", "load");
                return stored ? std::optional(static_cast<std::int64_t>(logged.findings.size()))
                              : std::nullopt;
            },
            [this](const RunKey& run) {
                const PgRows rows = connection->run(
                    "select fingerprint, file, line, number, priority, his, text, reference, "
                    "origin from vendrik_history_findings where platform = $1 and project = $2 and "
                    "branch = '' and last >= $3 and first <= $3 order by file, line, number, "
                    "text",
                    {run.platform, run.project, orderKey(run)}, "read the findings");
                std::vector<TrackedFinding> found;
                for (int row = 0; row < rows.size(); ++row) {
                    found.push_back({rows.text(row, 0), rows.text(row, 1), rows.number(row, 2),
                                     rows.number(row, 3), rows.number(row, 4),
                                     rows.number(row, 5) != 0, rows.text(row, 6), rows.text(row, 7),
                                     rows.text(row, 8)});
                }
                return found;
            },
            [this] {
                return connection->run("select count(*) from vendrik_history_findings", "count")
                    .number(0, 0);
            }};
    }
};

/// `findings` without their origins, as a log gives them.
std::vector<TrackedFinding> logged(std::vector<TrackedFinding> findings) {
    for (TrackedFinding& finding : findings) {
        finding.origin.clear();
    }
    return findings;
}

/// Each finding's fingerprint, line and origin.
std::string originsOf(const std::vector<TrackedFinding>& findings) {
    std::string text;
    for (const TrackedFinding& finding : findings) {
        text +=
            finding.fingerprint + " " + std::to_string(finding.line) + " " + finding.origin + "\n";
    }
    return text;
}

/// Runs whose findings come and go and move, loaded in random orders: every run reads back
/// exactly its log's findings, named as when the runs are loaded in order, and each finding
/// is stored once per stretch of consecutive runs it is present in, whatever the order.
template <class Store> void keepsEveryRunsFindingsInAnyLoadOrder() {
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
        Store inOrder;
        const Backend reference = inOrder.backend();
        for (const std::string& log : logs) {
            reference.load(log);
        }
        std::shuffle(order.begin(), order.end(), random);
        Store store;
        const Backend backend = store.backend();
        for (const int night : order) {
            ASSERT_EQ(backend.load(logs[static_cast<std::size_t>(night)]),
                      static_cast<std::int64_t>(expected[static_cast<std::size_t>(night)].size()));
        }
        EXPECT_EQ(backend.load(logs[3]), std::nullopt) << "seed " << seed;

        std::int64_t stretches = 0;
        std::set<std::tuple<std::string, std::string, std::int64_t>> before;
        for (int night = 0; night < nights; ++night) {
            const auto& findings = expected[static_cast<std::size_t>(night)];
            const std::vector<TrackedFinding> found = backend.findings(nightly(night));
            EXPECT_EQ(logged(found), findings) << "seed " << seed << ", night " << night;
            std::string loaded;
            for (const int at : order) {
                loaded += std::to_string(at) + " ";
            }
            EXPECT_EQ(originsOf(found), originsOf(reference.findings(nightly(night))))
                << "seed " << seed << ", night " << night << ", loaded " << loaded;
            std::set<std::tuple<std::string, std::string, std::int64_t>> now;
            for (const TrackedFinding& finding : findings) {
                now.emplace(finding.fingerprint, finding.file, finding.line);
                stretches +=
                    before.count({finding.fingerprint, finding.file, finding.line}) ? 0 : 1;
            }
            before = std::move(now);
        }
        EXPECT_EQ(backend.spans(), stretches) << "seed " << seed;
    }
}

TEST(FindingHistory, KeepsEveryRunsFindingsInAnyLoadOrder) {
    keepsEveryRunsFindingsInAnyLoadOrder<SqliteBackend>();
}

TEST(FindingHistory, KeepsEveryRunsFindingsInAnyLoadOrderOnPostgreSql) {
    if (!std::getenv("VENDRIK_TEST_POSTGRES")) {
        GTEST_SKIP() << "VENDRIK_TEST_POSTGRES is not set";
    }
    keepsEveryRunsFindingsInAnyLoadOrder<PgBackend>();
}

TEST(FindingHistory, RecordsZeroFindingsBranchesAndRefusesWhatDoesNotFit) {
    const test_support::TemporaryDatabase db;
    const RunKey empty = nightly(1);
    EXPECT_EQ(loadLog(db.path, readSarifLog(logOf(empty, {})), std::string("main")).rowsAdded, 0);
    const auto store = openSqliteStore(db.path, StoreAccess::read);
    EXPECT_EQ(store->runKeys("P", "Q", "main"), std::vector<RunKey>{empty});
    EXPECT_TRUE(store->runKeys("P", "Q", "").empty()) << "no branch is a branch of its own";
    EXPECT_EQ(store->findings(empty, "main"), std::vector<TrackedFinding>{});
    const std::vector<RunTotals> runs = store->runs(std::nullopt, std::nullopt, "main");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].files, 0);
    EXPECT_EQ(runs[0].counters[0], 0);

    const auto refused = [&](const std::string& log, const std::optional<std::string>& branch) {
        try {
            loadLog(db.path, readSarifLog(log), branch);
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
