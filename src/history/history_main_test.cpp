#include "history/history_main.h"

#include "end_to_end/history_fixture.h"
#include "history/sarif_read.h"
#include "history/store/finding_history.h"
#include "history/store/pg_connection.h"
#include "test_support/history_scripts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace vendrik::history {
namespace {

struct Ran {
    int status;
    std::string out;
    std::string err;
};

Ran historyMain(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "vendrik-history");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    std::ostringstream out;
    std::ostringstream err;
    const int status = runHistoryMain(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(HistoryMain, LoadsScriptsWholeOrNotAtAll) {
    const test_support::TemporaryDatabase db;
    const RunKey run = {"P", "Q", "h1", "2026.12.01", "02:00:00"};
    std::vector<FileRow> rows;
    for (int file = 0; file < 12; ++file) {
        rows.push_back(test_support::fileRow("f" + std::to_string(file) + ".c", file));
    }
    std::string script = test_support::scriptOf(run, rows);
    // A NUL byte would end SQLite's reading of the script part way: refused whole.
    script.insert(script.find("f3.c"), 1, '\0');
    const std::string nul = db.folder + "/nul.sql";
    write(nul, script);
    const Ran refused = historyMain({"load", "--database=" + db.path, nul});
    EXPECT_EQ(refused.status, historyFailed);
    EXPECT_EQ(refused.err, "vendrik-history: " + nul + ": refused: the script holds a NUL byte\n");
    EXPECT_EQ(refused.out, "");

    const std::string good = db.folder + "/good.sql";
    write(good, test_support::scriptOf(run, rows));
    const Ran loaded = historyMain({"load", "--database=" + db.path, good});
    EXPECT_EQ(loaded.status, historyDone) << loaded.err;
    EXPECT_EQ(loaded.out, good + ": 12 rows added\n");
    const std::string page = db.folder + "/page.html";
    write(page, "previous page");
    EXPECT_EQ(historyMain({"page", "--database=" + db.path, "--output=" + page}).status, 0);
    std::ifstream written(page);
    const std::string first((std::istreambuf_iterator<char>(written)), {});
    EXPECT_TRUE(first.starts_with("<!DOCTYPE html>")) << first.substr(0, 40);
    const Ran runs = historyMain({"runs", "--database=" + db.path});
    EXPECT_NE(runs.out.find("P         Q        h1       2026.12.01 02:00:00  12     66"),
              std::string::npos)
        << runs.out;
}

TEST(HistoryMain, ReportsEveryFailureWithStatusTwo) {
    const test_support::TemporaryDatabase db;
    write(db.folder + "/a.sql", test_support::scriptOf({"P", "Q", "h1", "2026.12.01", "02:00:00"},
                                                       {test_support::fileRow("a.c", 1)}));
    write(db.folder + "/b.sql", test_support::scriptOf({"P", "Q", "h2", "2026.12.02", "02:00:00"},
                                                       {test_support::fileRow("a.c", 2)}));
    ASSERT_EQ(
        historyMain({"load", "--database=" + db.path, db.folder + "/a.sql", db.folder + "/b.sql"})
            .status,
        0);
    write(db.folder + "/empty.sql", " \n");
    write(db.folder + "/cut.sarif", "{\"version\":\"2.1.0\",\"runs\":[");
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"runs"}, "vendrik-history: --database is required\nRun with --help for usage.\n"},
        {{"page", "--database=" + db.path, "--output=/dev/full"},
         "vendrik-history: could not write /dev/full\n"},
        {{"gate", "--database=" + db.path, "--platform=P", "--project=Q", "--watch=nothing"},
         "vendrik-history: --watch: no column named nothing\n"},
        {{"compare", "--database=" + db.path, "--platform=P", "--project=R"},
         "vendrik-history: no run of platform P and project R\n"},
        {{"compare", "--database=" + db.path, "--platform=P", "--project=Q", "--head=zz"},
         "vendrik-history: no run matches zz\n"},
        {{"load", "--database=" + db.path, db.folder + "/empty.sql"},
         "vendrik-history: " + db.folder + "/empty.sql: refused: the file is empty\n"},
        {{"load", "--database=" + db.path, db.folder + "/cut.sarif"},
         "vendrik-history: " + db.folder +
             "/cut.sarif: refused: not a SARIF log of the converter: it is not well-formed JSON "
             "(was it cut short?)\n"},
        {{"gate", "--database=" + db.path, "--platform=P", "--project=Q", "--max-new=0"},
         "vendrik-history: no findings to gate on: load the SARIF logs of h1 (2026.12.01 "
         "02:00:00) and h2 (2026.12.02 02:00:00)\n"},
        {{"compare", "--database=" + db.path, "--platform=P", "--project=Q", "--format=sarif"},
         "vendrik-history: no findings to compare: load the SARIF logs of both runs\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const Ran ran = historyMain(arguments);
        EXPECT_EQ(ran.status, historyFailed) << arguments[0];
        EXPECT_EQ(ran.err, message) << arguments[0];
    }
}

// Output that cannot be written (a full disk, a closed pipe) is a failure, not a result.
TEST(HistoryMain, FailsWhenItsOutputCannotBeWritten) {
    const test_support::TemporaryDatabase db;
    write(db.folder + "/a.sql", test_support::scriptOf({"P", "Q", "h1", "2026.12.01", "02:00:00"},
                                                       {test_support::fileRow("a.c", 1)}));
    ASSERT_EQ(historyMain({"load", "--database=" + db.path, db.folder + "/a.sql"}).status, 0);
    const std::string database = "--database=" + db.path;
    const char* argv[] = {"vendrik-history", "runs", database.c_str()};
    std::ostream broken(nullptr); // every write fails
    std::ostringstream err;
    EXPECT_EQ(runHistoryMain(3, argv, broken, err), historyFailed);
    EXPECT_EQ(err.str(), "vendrik-history: could not write the output to standard output\n");
}

// Each reading command makes as many queries on a database of 3 runs of 2 files as on one of
// 40 runs of 30 files: set-based, not one per run or file.
using HistoryQueries = test_support::OnEachBackend;

TEST_P(HistoryQueries, AsManyWhateverTheNumberOfRunsAndFiles) {
    const auto fill = [](const std::string& target, int runs, int files) {
        for (int run = 1; run <= runs; ++run) {
            const RunKey key = {"P", "Q", "h" + std::to_string(run),
                                "2026.10." + std::to_string(10 + run / 2),
                                run % 2 == 0 ? "02:00:00" : "14:00:00"};
            std::vector<FileRow> rows;
            std::vector<test_support::LogFinding> findings;
            for (int file = 0; file < files; ++file) {
                const std::string name = "f" + std::to_string(file) + ".c";
                const int count = 1 + (file + run) % 3;
                rows.push_back(test_support::fileRow("P\\Src\\" + name, count));
                for (int line = 1; line <= count; ++line) {
                    findings.push_back({"Src\\" + name, static_cast<std::uint32_t>(run + line)});
                }
            }
            const std::string script = test_support::scriptOf(key, rows);
            const std::string log = test_support::logOf(key, findings);
            const auto store = openStore(target, StoreAccess::write);
            store->loadScript(script, "");
            store->loadLog(readSarifLog(log), std::nullopt);
        }
    };
    const test_support::ResultsDatabase small(GetParam());
    const test_support::ResultsDatabase large(GetParam());
    fill(small.target, 3, 2);
    fill(large.target, 40, 30);
    // Decisions on every finding of the newest run but one, and on one of an older run.
    for (const test_support::ResultsDatabase* db : {&small, &large}) {
        const auto store = openStore(db->target, StoreAccess::read);
        const auto runs = store->runKeys("P", "Q", "");
        std::vector<Decision> decisions;
        for (const RunKey& run : {runs.front(), runs.back()}) {
            auto findings = *store->findings(run, "");
            findings.pop_back();
            for (const TrackedFinding& finding : findings) {
                decisions.push_back({"P", "Q", "", orderKey(run), finding, "accepted", "", "r", "a",
                                     "2026-12-09T00:00:00Z", "", "", 0});
            }
        }
        store->recordDecisions(decisions);
    }
    const std::vector<std::vector<std::string>> commands = {
        {"runs"},
        {"compare", "--platform=P", "--project=Q"},
        {"gate", "--platform=P", "--project=Q", "--max-new=0", "--format=json"},
        {"page", "--output=PAGE"},
        {"page", "--output=PAGE", "--compliance"},
        {"compliance", "--platform=P", "--project=Q", "--format=json"},
        {"gate", "--platform=P", "--project=Q", "--compliance"},
        {"triage", "list", "--platform=P", "--project=Q"},
        {"triage", "log", "--platform=P", "--project=Q"},
        {"triage", "set", "--platform=P", "--project=Q", "--run=h1", "--file=Src/f0.c", "--line=2",
         "--state=confirmed", "--reason=x"}};
    for (const auto& command : commands) {
        std::vector<std::size_t> counts;
        for (const test_support::ResultsDatabase* db : {&small, &large}) {
            std::vector<std::string> arguments = command;
            arguments.push_back("--database=" + db->target);
            for (std::string& argument : arguments) {
                argument = argument == "--output=PAGE" ? "--output=" + db->scratch.path + "/p.html"
                                                       : argument;
            }
            std::size_t queries = 0;
            listenToQueries([&] { ++queries; });
            const Ran ran = historyMain(arguments);
            listenToQueries({});
            EXPECT_NE(ran.status, 2) << command[0] << ": " << ran.err;
            counts.push_back(queries);
        }
        EXPECT_EQ(counts[0], counts[1]) << command[0];
        EXPECT_LT(counts[1], 40u) << command[0];
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryQueries,
                         ::testing::ValuesIn(test_support::historyBackends()),
                         [](const auto& backend) { return backend.param; });

} // namespace
} // namespace vendrik::history

namespace vendrik::history {
namespace {

// 4,000 files, nearly all changed, and 3,000 new findings: the Markdown for a merge-request
// comment stays under 60,000 characters, its lists cut with "and N more"; JSON keeps all.
TEST(HistoryMain, CutsMarkdownToFitAComment) {
    const test_support::TemporaryDatabase db;
    const RunKey base = {"P", "Q", "h1", "2026.12.01", "02:00:00"};
    const RunKey head = {"P", "Q", "h2", "2026.12.02", "02:00:00"};
    std::vector<FileRow> baseRows;
    std::vector<FileRow> headRows;
    std::vector<test_support::LogFinding> before;
    std::vector<test_support::LogFinding> after;
    for (int file = 0; file < 4000; ++file) {
        const std::string name = "Src\\Src_NV\\some\\folder\\file" + std::to_string(file) + ".c";
        // Each file keeps a finding; file 0 gets 7 new ones, files 1 to 2993 one each, and
        // files from 3000 on lose one.
        const int added = file == 0 ? 7 : file <= 2993 ? 1 : 0;
        const int fixed = file >= 3000 ? 1 : 0;
        before.push_back({name, 1, 3, 2000, "Kept"});
        after.push_back(before.back());
        for (int copy = 0; copy < fixed; ++copy) {
            before.push_back({name, 2, 3, 2001, "Fixed"});
        }
        for (int copy = 0; copy < added; ++copy) {
            after.push_back({name, static_cast<std::uint32_t>(10 + copy), 3, 2000,
                             "A message of a realistic length, about this"});
        }
        baseRows.push_back(test_support::fileRow(name, 1 + fixed));
        headRows.push_back(test_support::fileRow(name, 1 + added));
    }
    write(db.folder + "/base.sql", test_support::scriptOf(base, baseRows));
    write(db.folder + "/head.sql", test_support::scriptOf(head, headRows));
    write(db.folder + "/base.sarif", test_support::logOf(base, before));
    write(db.folder + "/head.sarif", test_support::logOf(head, after));
    ASSERT_EQ(
        historyMain({"load", "--database=" + db.path, db.folder + "/base.sql",
                     db.folder + "/head.sql", db.folder + "/base.sarif", db.folder + "/head.sarif"})
            .status,
        0);
    for (const char* command : {"compare", "gate"}) {
        const Ran markdown = historyMain(
            {command, "--database=" + db.path, "--platform=P", "--project=Q", "--format=markdown"});
        EXPECT_LT(markdown.out.size(), 60'000u) << command;
        EXPECT_NE(markdown.out.find("New findings: 3000\n"), std::string::npos) << command;
        const std::size_t cut = markdown.out.find(" more\n");
        ASSERT_NE(cut, std::string::npos) << command;
        EXPECT_NE(markdown.out.rfind(" more\n"), cut) << command << ": the files are cut too";
        // The largest change first.
        const std::size_t files = markdown.out.find("|---", markdown.out.find("Files "));
        const std::size_t firstRow = markdown.out.find('\n', files) + 1;
        EXPECT_NE(markdown.out.substr(firstRow, markdown.out.find('\n', firstRow) - firstRow)
                      .find("(+7)"),
                  std::string::npos)
            << command;
    }
    const Ran json = historyMain(
        {"compare", "--database=" + db.path, "--platform=P", "--project=Q", "--format=json"});
    EXPECT_NE(json.out.find("file3999.c"), std::string::npos);
}

} // namespace
} // namespace vendrik::history
