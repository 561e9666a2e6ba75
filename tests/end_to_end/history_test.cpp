#include "end_to_end/history_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

namespace vendrik::test_support {
namespace {

using nlohmann::json;

using HistoryOnEachBackend = OnEachBackend;

TEST_P(HistoryOnEachBackend, LoadsScriptsAndListsRunsNewestFirst) {
    const HistoryDatabase db(GetParam());
    const ProgramResult runs = history({"runs", "--database=" + db.path});
    EXPECT_EQ(runs.status, 0) << runs.errors;
    const std::vector<std::string> order = {"ddd444", "ccc333", "bbb222", "aaa111", "eee555"};
    std::size_t at = 0;
    for (const std::string& hash : order) {
        at = runs.console.find(hash, at);
        EXPECT_NE(at, std::string::npos) << hash << " in order in\n" << runs.console;
    }
    EXPECT_NE(runs.console.find("unknown time"), std::string::npos);
    const ProgramResult one =
        history({"runs", "--database=" + db.path, "--platform=TargetA", "--project=Ecu"});
    EXPECT_EQ(one.console.find("ddd444"), std::string::npos);
    EXPECT_EQ(one.console.find("eee555"), std::string::npos);

    // The same run again adds nothing and says so.
    const ProgramResult again = history({"load", "--database=" + db.path, db.scripts[0]});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.console.find("aaa111 (2026.12.01 02:00:00) of TargetA / Ecu is already in"),
              std::string::npos)
        << again.console;
}

TEST_P(HistoryOnEachBackend, ComparesAndGatesTheNewestRuns) {
    const HistoryDatabase db(GetParam());
    const std::vector<std::string> ecu = {"--database=" + db.path, "--platform=TargetA",
                                          "--project=Ecu"};
    auto with = [&](std::string command, std::vector<std::string> more) {
        std::vector<std::string> arguments = {std::move(command)};
        arguments.insert(arguments.end(), ecu.begin(), ecu.end());
        arguments.insert(arguments.end(), more.begin(), more.end());
        return history(arguments);
    };
    const ProgramResult compared = with("compare", {"--format=json"});
    ASSERT_EQ(compared.status, 0) << compared.errors;
    const json comparison = json::parse(compared.console);
    EXPECT_EQ(comparison["base"]["githash"], "bbb222");
    EXPECT_EQ(comparison["head"]["githash"], "ccc333");
    for (const char* key : {"all_errors", "misra_0", "misra_9", "his", "band_8_9", "band_0_4"}) {
        EXPECT_TRUE(comparison["totals"]["change"].contains(key)) << key;
    }
    EXPECT_GT(comparison["totals"]["change"]["all_errors"].get<int>(), 0);
    EXPECT_EQ(comparison["totals"]["change"]["all_errors"].get<int>(),
              comparison["totals"]["head"]["all_errors"].get<int>() -
                  comparison["totals"]["base"]["all_errors"].get<int>());

    const ProgramResult worse = with("gate", {"--format=markdown"});
    EXPECT_EQ(worse.status, 1) << worse.console;
    EXPECT_NE(worse.console.find("### QAC gate failed"), std::string::npos) << worse.console;
    const ProgramResult better = with("gate", {"--base=ccc", "--head=bbb"});
    EXPECT_EQ(better.status, 0) << better.console;
    EXPECT_NE(better.console.find("Files that improved"), std::string::npos);
    const ProgramResult limited = with("gate", {"--base=ccc", "--head=bbb", "--max-his=0"});
    EXPECT_EQ(limited.status, 1) << limited.console;

    const ProgramResult first = with("gate", {"--head=aaa111"});
    EXPECT_EQ(first.status, 0);
    EXPECT_NE(first.console.find("No base run"), std::string::npos) << first.console;
    // Limits on head's totals apply without a base run; a total equal to its limit passes.
    const ProgramResult firstLimited = with("gate", {"--head=aaa111", "--max-all_errors=81"});
    EXPECT_EQ(firstLimited.status, 1) << firstLimited.console;
    EXPECT_NE(firstLimited.console.find("No base run"), std::string::npos);
    EXPECT_NE(firstLimited.console.find("Limit passed: all_errors 82 > 81"), std::string::npos)
        << firstLimited.console;
    EXPECT_NE(firstLimited.console.find("against no base run"), std::string::npos);
    EXPECT_EQ(with("gate", {"--head=aaa111", "--max-all_errors=82"}).status, 0);
    const ProgramResult firstJson = with("gate", {"--head=aaa111", "--max-his=0", "--format=json"});
    EXPECT_EQ(firstJson.status, 1);
    const json verdict = json::parse(firstJson.console);
    EXPECT_TRUE(verdict["base"].is_null());
    EXPECT_EQ(verdict["limitsPassed"], json::array({"his 5 > 0"}));
    EXPECT_EQ(with("compare", {"--head=zzz"}).status, 2);
    EXPECT_EQ(with("compare", {"--head=2026.12.02 02:00:00", "--format=text"}).status, 0);
}

// A database that the sqlite3 shell filled has no index of this program's: the same answers.
TEST(History, ReadsADatabaseWithoutItsOwnIndex) {
    const HistoryDatabase indexed;
    const std::string plain = indexed.scratch.path + "/plain.db";
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(plain.c_str(), &handle), SQLITE_OK);
    for (const std::string& script : indexed.scripts) {
        ASSERT_EQ(sqlite3_exec(handle, readFile(script).c_str(), nullptr, nullptr, nullptr),
                  SQLITE_OK);
    }
    sqlite3_close(handle);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"runs"},
          {"compare", "--platform=TargetA", "--project=Ecu", "--format=json"},
          {"gate", "--platform=TargetA", "--project=Ecu", "--base=aaa"},
          {"compare", "--platform=TargetA", "--project=Other"}}) {
        auto withDatabase = [&](const std::string& path) {
            std::vector<std::string> arguments = command;
            arguments.push_back("--database=" + path);
            return history(arguments);
        };
        const ProgramResult expected = withDatabase(indexed.path);
        const ProgramResult found = withDatabase(plain);
        EXPECT_EQ(found.status, expected.status) << command[0];
        EXPECT_EQ(found.console, expected.console) << command[0];
    }
}

// Rows that another tool adds, changes or deletes count in the runs as the table holds them,
// before and after the next load: the totals that the database keeps are the table summed up,
// as they are read from a table that only other tools wrote.
TEST_P(HistoryOnEachBackend, ListsRunsAsAnotherToolLeftThem) {
    const ResultsDatabase kept(GetParam());
    const ResultsDatabase summed(GetParam());
    const std::string loaded =
        script(kept.scratch, "TargetA", "Ecu", "fff666", 100, "2026.12.04", "02:00:00");
    const std::string byHand =
        script(kept.scratch, "TargetA", "Ecu", "ggg777", 30, "2026.12.05", "02:00:00");
    const std::string next =
        script(kept.scratch, "TargetA", "Ecu", "hhh888", 20, "2026.12.06", "02:00:00");
    ASSERT_EQ(history({"load", "--database=" + kept.target, loaded}).status, 0);
    ASSERT_TRUE(executeSql(summed.target, readFile(loaded)));
    const std::string changes =
        "update testresults set all_errors = all_errors + 7, his = 3 where githash = 'ggg777' "
        "and filename in (select min(filename) from testresults where githash = 'ggg777'); "
        "delete from testresults where githash = 'fff666' and filename in (select "
        "max(filename) from testresults where githash = 'fff666'); insert into testresults "
        "(platform, project, githash, date, time, filename, all_errors) values ('TargetA', "
        "'Ecu', NULL, '2026.12.05', '03:00:00', 'no run', 9);";
    for (const std::string& target : {kept.target, summed.target}) {
        ASSERT_TRUE(executeSql(target, readFile(byHand) + changes)) << target;
    }
    const auto runsOf = [](const ResultsDatabase& db) {
        return history({"runs", "--database=" + db.target}).console;
    };
    const std::string listed = runsOf(kept);
    EXPECT_NE(listed.find("ggg777"), std::string::npos) << listed;
    EXPECT_EQ(listed, runsOf(summed));
    ASSERT_EQ(history({"load", "--database=" + kept.target, next}).status, 0);
    ASSERT_TRUE(executeSql(summed.target, readFile(next)));
    EXPECT_NE(runsOf(kept).find("hhh888"), std::string::npos);
    EXPECT_EQ(runsOf(kept), runsOf(summed));
    ASSERT_TRUE(executeSql(kept.target, GetParam() == "postgresql" ? "truncate testresults"
                                                                   : "delete from testresults"));
    EXPECT_EQ(runsOf(kept).find("TargetA"), std::string::npos) << runsOf(kept);
}

TEST_P(HistoryOnEachBackend, RefusesTamperedScriptsWhole) {
    const HistoryDatabase db(GetParam());
    const std::string tampered = db.scratch.path + "/tampered.sql";
    const std::string good =
        readFile(script(db.scratch, "TargetC", "Ecu", "fff666", 40, "2026.12.04", "02:00:00"));
    for (const char* extra :
         {"drop table testresults;", "create table pwned(x);", "update testresults set his = 0;",
          "attach database 'x.db' as x;", "insert into sqlite_master values (1,2,3,4,5);"}) {
        writeFile(tampered, good + extra + "\n");
        const ProgramResult refused = history({"load", "--database=" + db.path, tampered});
        EXPECT_EQ(refused.status, 2) << extra;
        EXPECT_NE(refused.errors.find("refused"), std::string::npos) << refused.errors;
    }
    const ProgramResult runs = history({"runs", "--database=" + db.path});
    EXPECT_EQ(runs.console.find("fff666"), std::string::npos) << "a refused script added rows";
    EXPECT_EQ(history({"load", "--database=" + db.path, db.scratch.path + "/missing.sql"}).status,
              2);
}

TEST(History, ReportsDatabasesThatCannotServe) {
    const ScratchDirectory scratch;
    const std::string notADatabase = scratch.path + "/text.db";
    writeFile(notADatabase, std::string(5000, 'x'));
    const std::string empty = scratch.path + "/empty.db";
    sqlite3* handle = nullptr;
    sqlite3_open(empty.c_str(), &handle);
    sqlite3_exec(handle, "create table other(x)", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
    const std::pair<std::string, std::string> cases[] = {
        {scratch.path + "/missing.db", "does not exist"},
        {notADatabase, "is not a SQLite database"},
        {empty, "has no table testresults"},
    };
    for (const auto& [path, message] : cases) {
        const ProgramResult result = history({"runs", "--database=" + path});
        EXPECT_EQ(result.status, 2) << path;
        EXPECT_NE(result.errors.find(message), std::string::npos) << result.errors;
        EXPECT_EQ(result.console, "");
    }
    EXPECT_FALSE(fileExists(scratch.path + "/missing.db")) << "a reading command made a file";
    EXPECT_EQ(history({"runs"}).status, 2);
    EXPECT_EQ(history({"nonsense", "--database=x"}).status, 2);
}

TEST(History, WaitsForALockAndReadsWithoutChanging) {
    const HistoryDatabase db;
    const std::string before = readFile(db.path);
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(db.path.c_str(), &handle), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    const ProgramResult locked = history({"runs", "--database=" + db.path, "--busy-timeout=200"});
    EXPECT_EQ(locked.status, 2);
    EXPECT_NE(locked.errors.find("locked"), std::string::npos) << locked.errors;
    sqlite3_exec(handle, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
    for (const std::vector<std::string>& reading :
         {std::vector<std::string>{"runs", "--database=" + db.path},
          {"compare", "--database=" + db.path, "--platform=TargetA", "--project=Ecu"},
          {"page", "--database=" + db.path, "--output=" + db.scratch.path + "/page.html"}}) {
        EXPECT_EQ(history(reading).status, 0) << reading[0];
    }
    EXPECT_EQ(readFile(db.path), before) << "a reading command changed the database";
    const std::string page = readFile(db.scratch.path + "/page.html");
    for (const char* hash : {"aaa111", "bbb222", "ccc333", "ddd444", "eee555"}) {
        EXPECT_NE(page.find(std::string("data-run=\"") + hash), std::string::npos) << hash;
    }
    EXPECT_EQ(page.find("http"), std::string::npos) << "the page loads from elsewhere";
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryOnEachBackend, ::testing::ValuesIn(historyBackends()),
                         [](const auto& backend) { return backend.param; });

} // namespace
} // namespace vendrik::test_support
