// Checks of the history that nothing else holds, each run on both backends where it is not
// one backend's own mechanics: a case that would pass wrongly without the check.
#include "end_to_end/history_fixture.h"

#include "history/store/pg_connection.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace vendrik::test_support {
namespace {

using nlohmann::json;

using HistoryGuards = OnEachBackend;

ProgramResult loadInto(const ResultsDatabase& db, std::vector<std::string> files) {
    files.insert(files.begin(), {"load", "--database=" + db.target});
    return history(files);
}

json compareJson(const ResultsDatabase& db, std::vector<std::string> more = {}) {
    std::vector<std::string> arguments = {"compare", "--database=" + db.target, "--platform=P",
                                          "--project=Q", "--format=json"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    const ProgramResult compared = history(arguments);
    EXPECT_EQ(compared.status, 0) << compared.errors;
    return json::parse(compared.console);
}

// A second commit of the same project converted in the same second cannot be stored beside
// the first: it is refused, not taken as present.
TEST_P(HistoryGuards, RefusesAnotherCommitOfTheSameSecond) {
    const ResultsDatabase db(GetParam());
    const std::string report = reportLine("a.c", 1, 3, 2000, "One");
    const std::string first =
        convertRun(db.scratch, "P", "Q", "aaa", report, "2026.12.01", "02:00:00");
    const std::string second =
        convertRun(db.scratch, "P", "Q", "bbb", report, "2026.12.01", "02:00:00");
    ASSERT_EQ(loadInto(db, {first + ".sql"}).status, 0);
    const ProgramResult refused = loadInto(db, {second + ".sql"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.errors.find("the run bbb of P / Q has a row for P\\Src\\Src_NV\\a.c at "
                                  "2026.12.01 02:00:00, where the run aaa of P / Q has one"),
              std::string::npos)
        << refused.errors;
}

// Runs known only from their logs: a finding fixed in the next run still counts in its own
// run's files, and an HIS finding counts as HIS alone.
TEST_P(HistoryGuards, CountsARunOfALogAlone) {
    const ResultsDatabase db(GetParam());
    const std::string kept = reportLine("a.c", 1, 3, 2000, "Kept");
    const std::string first = convertRun(db.scratch, "P", "Q", "aaa",
                                         kept + reportLine("a.c", 2, 3, 2001, "Fixed") +
                                             reportLine("a.c", 3, 3, 5310, "Deep"),
                                         "2026.12.01", "02:00:00");
    const std::string second =
        convertRun(db.scratch, "P", "Q", "bbb", kept, "2026.12.02", "02:00:00");
    ASSERT_EQ(loadInto(db, {first + ".sarif", second + ".sarif"}).status, 0);
    const json compared = compareJson(db);
    ASSERT_EQ(compared["files"].size(), 1u) << compared.dump();
    const json& file = compared["files"][0];
    EXPECT_EQ(file["base"]["all_errors"], 3) << file.dump();
    EXPECT_EQ(file["base"]["misra_3"], 2) << file.dump();
    EXPECT_EQ(file["base"]["his"], 1) << file.dump();
    EXPECT_EQ(file["head"]["all_errors"], 1) << file.dump();
    const ProgramResult runs = history({"runs", "--database=" + db.target});
    EXPECT_NE(runs.console.find("aaa      2026.12.01 02:00:00  1      3           0         0 "
                                "        2         1"),
              std::string::npos)
        << runs.console;
}

// The last passing run is looked for before head, also when head's own gate passed.
TEST_P(HistoryGuards, LastPassingIsBeforeHead) {
    const ResultsDatabase db(GetParam());
    const std::string one = reportLine("a.c", 1, 3, 2000, "One");
    const std::string two = one + reportLine("a.c", 2, 3, 2001, "Two");
    const std::vector<std::pair<std::string, std::string>> nights = {
        {"aaa", one}, {"bbb", two}, {"ccc", two}};
    for (std::size_t night = 0; night < nights.size(); ++night) {
        const std::string run =
            convertRun(db.scratch, "P", "Q", nights[night].first, nights[night].second,
                       "2026.12.0" + std::to_string(night + 1), "02:00:00");
        ASSERT_EQ(loadInto(db, {run + ".sql", run + ".sarif"}).status, 0);
        history({"gate", "--database=" + db.target, "--platform=P", "--project=Q", "--max-new=0",
                 "--record"});
    }
    // aaa passed (no base), bbb failed (one new), ccc passed (nothing new since bbb).
    const json gate =
        json::parse(history({"gate", "--database=" + db.target, "--platform=P", "--project=Q",
                             "--base=last-passing", "--max-new=0", "--format=json"})
                        .console);
    EXPECT_EQ(gate["base"]["githash"], "aaa") << gate.dump();
    EXPECT_EQ(gate["passed"], false);
}

// A kept finding whose priority changed is updated in the review log, not unchanged.
TEST_P(HistoryGuards, APriorityChangeIsAnUpdate) {
    const ResultsDatabase db(GetParam());
    const std::string base =
        convertRun(db.scratch, "P", "Q", "aaa", reportLine("a.c", 7, 3, 2000, "Same"), "2026.12.01",
                   "02:00:00");
    const std::string head =
        convertRun(db.scratch, "P", "Q", "bbb", reportLine("a.c", 7, 6, 2000, "Same"), "2026.12.02",
                   "02:00:00");
    ASSERT_EQ(loadInto(db, {base + ".sarif", head + ".sarif"}).status, 0);
    const ProgramResult sarif = history(
        {"compare", "--database=" + db.target, "--platform=P", "--project=Q", "--format=sarif"});
    ASSERT_EQ(sarif.status, 0) << sarif.errors;
    const json results = json::parse(sarif.console)["runs"][0]["results"];
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0]["baselineState"], "updated");
}

// A database that another tool made, holding testresults alone, gets the program's tables at
// its first load.
TEST_P(HistoryGuards, AddsItsTablesBesideAnotherToolsTable) {
    const ResultsDatabase db(GetParam());
    const std::string create =
        "create table testresults (platform text, project text, tool text, githash text, date "
        "text, time text, filename text, all_errors bigint, misra_0 bigint, misra_1 bigint, "
        "misra_2 bigint, misra_3 bigint, misra_4 bigint, misra_5 bigint, misra_6 bigint, "
        "misra_7 bigint, misra_8 bigint, misra_9 bigint, his bigint, unique (date, time, "
        "filename))";
    if (GetParam() == "sqlite") {
        ASSERT_TRUE(executeSql(db.target, create));
    } else {
        history::PgConnection(db.target).run(create, "create");
    }
    const std::string run =
        convertRun(db.scratch, "P", "Q", "aaa", reportLine("a.c", 1, 3, 2000, "One"), "2026.12.01",
                   "02:00:00");
    const ProgramResult loaded = loadInto(db, {run + ".sql", run + ".sarif"});
    EXPECT_EQ(loaded.status, 0) << loaded.errors;
    EXPECT_NE(history({"runs", "--database=" + db.target}).console.find("aaa      2026.12.01"),
              std::string::npos);
}

// Two results of one log with one fingerprint cannot both be tracked: the log is refused.
TEST_P(HistoryGuards, RefusesALogWithAFingerprintTwice) {
    const ResultsDatabase db(GetParam());
    const std::string run =
        convertRun(db.scratch, "P", "Q", "aaa",
                   reportLine("a.c", 1, 3, 2000, "One") + reportLine("a.c", 2, 3, 2000, "One"),
                   "2026.12.01", "02:00:00");
    json log = json::parse(readFile(run + ".sarif"));
    json& results = log["runs"][0]["results"];
    results[1]["partialFingerprints"] = results[0]["partialFingerprints"];
    writeFile(run + ".sarif", log.dump());
    const ProgramResult refused = loadInto(db, {run + ".sarif"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.errors.find("refused: two findings of the log share the fingerprint "),
              std::string::npos)
        << refused.errors;
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryGuards, ::testing::ValuesIn(historyBackends()),
                         [](const auto& info) { return info.param; });

/// The tests' PostgreSQL server, or nothing.
std::string guardServer() {
    const char* url = std::getenv("VENDRIK_TEST_POSTGRES");
    return url ? url : "";
}

// Loads of one platform and project take turns on a server: a load waits for the advisory
// lock of its platform and project while another transaction holds it.
TEST(HistoryServerGuards, LoadsOfOneProjectTakeTurns) {
    if (guardServer().empty()) {
        GTEST_SKIP() << "VENDRIK_TEST_POSTGRES is not set";
    }
    const ResultsDatabase db("postgresql");
    const std::string run =
        convertRun(db.scratch, "P", "Q", "aaa", reportLine("a.c", 1, 3, 2000, "One"), "2026.12.01",
                   "02:00:00");
    ASSERT_EQ(loadInto(db, {run + ".sql"}).status, 0) << "the tables exist";
    history::PgConnection holder(db.target);
    holder.run("begin", "begin");
    holder.run("select pg_advisory_xact_lock(hashtextextended('P' || chr(31) || 'Q', 0))",
               "take the lock");
    const pid_t load = ::fork();
    if (load == 0) {
        ::freopen("/dev/null", "w", stdout);
        ::execl(VENDRIK_HISTORY_PROGRAM, VENDRIK_HISTORY_PROGRAM, "load",
                ("--database=" + db.target).c_str(), (run + ".sarif").c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The load is seen waiting for the lock, and has not ended.
    history::PgConnection watcher(db.target);
    bool waiting = false;
    int status = 0;
    for (int poll = 0; poll < 300 && !waiting; ++poll) {
        ASSERT_EQ(::waitpid(load, &status, WNOHANG), 0) << "the load did not wait";
        waiting = watcher
                      .run("select count(*) from pg_locks where locktype = 'advisory' and not "
                           "granted",
                           "look at the locks")
                      .number(0, 0) > 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(waiting);
    holder.run("commit", "release the lock");
    ASSERT_EQ(::waitpid(load, &status, 0), load);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// In a LATIN1 database read as UTF-8, a character LATIN1 has not refuses the file in plain
// words.
TEST(HistoryServerGuards, RefusesWhatTheDatabasesEncodingCannotHold) {
    if (guardServer().empty()) {
        GTEST_SKIP() << "VENDRIK_TEST_POSTGRES is not set";
    }
    const ScratchDirectory scratch;
    const std::string name = "latin1_" + std::to_string(::getpid());
    history::PgConnection server(guardServer());
    server.run("create database " + name +
                   " encoding 'LATIN1' template template0 lc_collate 'C' lc_ctype 'C'",
               "create");
    std::string target = guardServer();
    target.replace(target.find("/postgres?"), 10, "/" + name + "?");
    const std::string run =
        convertRun(scratch, "P", "Q", "aaa", reportLine("caf\xe2\x82\xac.c", 1, 3, 2000, "One"),
                   "2026.12.01", "02:00:00");
    for (const std::string& file : {run + ".sql", run + ".sarif"}) {
        const ProgramResult refused =
            runCommand({"env", "PGCLIENTENCODING=UTF8", VENDRIK_HISTORY_PROGRAM, "load",
                        "--database=" + target, file});
        EXPECT_EQ(refused.status, 2) << file;
        EXPECT_NE(refused.errors.find("refused: a name or text holds bytes that the server's "
                                      "text cannot hold"),
                  std::string::npos)
            << refused.errors;
    }
    server.run("drop database " + name + " with (force)", "drop");
}

} // namespace
} // namespace vendrik::test_support
