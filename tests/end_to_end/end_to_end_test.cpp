#include "end_to_end/program_run.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrik::test_support {
namespace {

namespace fs = std::filesystem;

const std::string dataDirectory = VENDRIK_TEST_DATA;
const std::string exampleReport = dataDirectory + "/../../examples/qac_report.txt";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos && !from.empty();
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

/// Puts {date} and {time} in place of the run's time stamp, which golden files cannot know.
/// Every stamp of one run must be the same.
std::string maskTimestamp(const std::string& text) {
    static const std::regex stamp(R"((\d{4}\.\d\d\.\d\d)(, |", ")(\d\d:\d\d:\d\d))");
    std::smatch found;
    if (!std::regex_search(text, found, stamp)) {
        return text;
    }
    return replaceAll(replaceAll(text, found[1].str(), "{date}"), found[3].str(), "{time}");
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dataDirectory + "/cases")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Each folder under tests/data/cases holds one run: `arguments` (one per line; {data},
// {examples} and {scratch} stand for the test data folder, the examples folder and a fresh
// folder, {output} for a file in it), `expected_status`, `expected_console`, and either
// `expected_output` or nothing when no output file may be written.
class GoldenCase : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenCase, GivesTheExpectedOutputAndConsole) {
    const std::string folder = dataDirectory + "/cases/" + GetParam();
    const ScratchDirectory scratch;
    const std::string output = scratch.path + "/output.txt";
    std::vector<std::string> arguments;
    std::istringstream lines(readFile(folder + "/arguments"));
    for (std::string line; std::getline(lines, line);) {
        line = replaceAll(line, "{data}", dataDirectory);
        line = replaceAll(line, "{examples}", dataDirectory + "/../../examples");
        line = replaceAll(line, "{output}", output);
        arguments.push_back(replaceAll(line, "{scratch}", scratch.path));
    }

    const ProgramResult result = runProgram(arguments);

    EXPECT_EQ(result.status, std::stoi(readFile(folder + "/expected_status")));
    EXPECT_TRUE(isExpectedBanner(result.banner)) << result.banner;
    EXPECT_EQ(maskTimestamp(result.console), readFile(folder + "/expected_console"));
    EXPECT_EQ(result.errors, "");
    if (fileExists(folder + "/expected_output")) {
        const std::string written = platformText(readFile(output));
        EXPECT_EQ(maskTimestamp(written), readFile(folder + "/expected_output"));
        EXPECT_EQ(result.console, written) << "the echo differs from the file";
    } else {
        EXPECT_FALSE(fileExists(output)) << "an output file was written";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenCase, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) { return info.param; });

std::vector<std::string> summaryArguments(const std::string& input, const std::string& output) {
    return {"--platform=TargetA", "--input=" + input, "--output=" + output, "--typ_name=Demo",
            "--typ_var=V1"};
}

TEST(EndToEnd, ReadsLineFeedAndCarriageReturnReportsAlike) {
    const ScratchDirectory scratch;
    const std::string crlf = readFile(exampleReport);
    ASSERT_NE(crlf.find("\r\n"), std::string::npos);
    writeFile(scratch.path + "/lf.txt", replaceAll(crlf, "\r\n", "\n"));
    const ProgramResult fromCrlf = runProgram(summaryArguments(exampleReport, scratch.path + "/a"));
    const ProgramResult fromLf =
        runProgram(summaryArguments(scratch.path + "/lf.txt", scratch.path + "/b"));
    ASSERT_EQ(fromCrlf.status, 0);
    ASSERT_EQ(fromLf.status, 0);
    EXPECT_EQ(maskTimestamp(readFile(scratch.path + "/a")),
              maskTimestamp(readFile(scratch.path + "/b")));
    EXPECT_EQ(platformText(readFile(scratch.path + "/a")).find('\r'), std::string::npos);
}

TEST(EndToEnd, RefusesToOverwriteTheReport) {
    const ScratchDirectory scratch;
    const std::string report = scratch.path + "/report.txt";
    const std::string content = readFile(exampleReport);
    writeFile(report, content);
    fs::create_symlink(report, scratch.path + "/link.txt");
    fs::create_hard_link(report, scratch.path + "/hard.txt");
    fs::create_directory(scratch.path + "/sub");
    const std::string sameFiles[] = {report, scratch.path + "/sub/../report.txt",
                                     scratch.path + "/./report.txt", scratch.path + "/link.txt",
                                     scratch.path + "/hard.txt"};
    for (const std::string& output : sameFiles) {
        const ProgramResult result = runProgram(summaryArguments(report, output));
        EXPECT_EQ(result.status, 253) << output;
        EXPECT_EQ(result.console, "Vendrik error: Could not open output file\n") << output;
        EXPECT_EQ(readFile(report), content) << output;
    }
    // The same check from the other side: the report named through the link.
    const ProgramResult viaLink = runProgram(summaryArguments(scratch.path + "/link.txt", report));
    EXPECT_EQ(viaLink.status, 253);
    EXPECT_EQ(readFile(report), content);
}

TEST(EndToEnd, ReportsAnOutputThatCannotBeWritten) {
    const ProgramResult result = runProgram(summaryArguments(exampleReport, "/dev/full"));
    EXPECT_EQ(result.status, 252);
    EXPECT_EQ(result.console, "Vendrik error: Could not write output file\n");
    EXPECT_EQ(result.errors, "");
}

TEST(EndToEnd, HonoursFilePermissions) {
    const ScratchDirectory scratch;
    const std::string report = scratch.path + "/report.txt";
    writeFile(report, readFile(exampleReport));
    const std::string locked = scratch.path + "/locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    const ProgramResult readOnlyFolder =
        runProgram(summaryArguments(report, locked + "/out.txt"), true);
    EXPECT_EQ(readOnlyFolder.status, 253);
    EXPECT_EQ(readOnlyFolder.console, "Vendrik error: Could not open output file\n");

    const std::string secret = scratch.path + "/secret.txt";
    writeFile(secret, readFile(exampleReport));
    fs::permissions(secret, fs::perms::none);
    const ProgramResult unreadable =
        runProgram(summaryArguments(secret, scratch.path + "/out.txt"), true);
    EXPECT_EQ(unreadable.status, 254);
    EXPECT_EQ(unreadable.console, "Vendrik error: Could not open input file\n");
    EXPECT_FALSE(fileExists(scratch.path + "/out.txt"));

    // An output this user may not write is refused, though its folder takes new files.
    const std::string readOnly = scratch.path + "/read-only.txt";
    writeFile(readOnly, "previous\n");
    fs::permissions(readOnly,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const ProgramResult refused = runProgram(summaryArguments(report, readOnly), true);
    EXPECT_EQ(refused.status, 253);
    EXPECT_EQ(refused.console, "Vendrik error: Could not open output file\n");
    EXPECT_EQ(readFile(readOnly), "previous\n");
}

TEST(EndToEnd, ReplacesAnExistingOutputCompletely) {
    const ScratchDirectory scratch;
    const std::string output = scratch.path + "/out.txt";
    writeFile(output, std::string(100000, 'x'));
    writeFile(scratch.path + "/empty.txt", "");
    const ProgramResult result =
        runProgram({"--platform=HostPC", "--input=" + scratch.path + "/empty.txt",
                    "--output=" + output, "--typ_name=Demo", "--typ_var=V1"});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(platformText(readFile(output)),
              readFile(dataDirectory + "/cases/empty_report_summary/expected_output"));
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(EndToEnd, ReplacesTheOutputWholeOrNotAtAll) {
    const ScratchDirectory scratch;
    const std::string output = scratch.path + "/out.txt";
    writeFile(output, "previous\n");
    // The report opens, and its first read fails.
    const ProgramResult failed = runProgram(summaryArguments("/proc/self/mem", output));
    EXPECT_EQ(failed.status, 254);
    EXPECT_EQ(failed.console, "Vendrik error: Could not read input file\n");
    EXPECT_EQ(failed.errors, "");
    EXPECT_EQ(readFile(output), "previous\n");
    EXPECT_EQ(namesIn(scratch.path), std::vector<std::string>{"out.txt"});

    const ProgramResult done = runProgram(summaryArguments(exampleReport, output));
    EXPECT_EQ(done.status, 0);
    EXPECT_EQ(platformText(readFile(output)), done.console);
    EXPECT_EQ(namesIn(scratch.path), std::vector<std::string>{"out.txt"});
}

TEST(EndToEnd, WritesTheOutputOnceWhenItIsStandardOutput) {
    const ScratchDirectory scratch;
    const std::string file = scratch.path + "/file.txt";
    const ProgramResult toFile = runProgram(summaryArguments(exampleReport, file));
    ASSERT_EQ(toFile.status, 0);
    // The console is a file here: the output replaces the banner in it, and is not echoed.
    const ProgramResult toConsole = runProgram(summaryArguments(exampleReport, "/dev/stdout"));
    EXPECT_EQ(toConsole.status, 0);
    EXPECT_EQ(toConsole.banner, "");
    EXPECT_EQ(maskTimestamp(toConsole.console), maskTimestamp(toFile.console));
}

using Database = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

/// Runs the script file into the database; returns SQLite's result code.
int loadScript(sqlite3* db, const std::string& path) {
    return sqlite3_exec(db, readFile(path).c_str(), nullptr, nullptr, nullptr);
}

std::vector<std::string> column(sqlite3* db, const std::string& query) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, query.c_str(), -1, &statement, nullptr), SQLITE_OK);
    std::vector<std::string> values;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    return values;
}

TEST(EndToEnd, ScriptLoadsIntoSqliteAndRejectsTheSameSecondTwice) {
    const ScratchDirectory scratch;
    const std::string database = scratch.path + "/results.db";
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &handle), SQLITE_OK);
    const Database db(handle, &sqlite3_close);
    const std::vector<std::string> arguments = {
        "--platform=Target \"A\"", "--input=" + dataDirectory + "/reports/quotes.txt",
        "--typ_name=it's \\ demo", "--sql_config=SQL", "--hash_value=x\"); drop table t; --"};

    // Two runs in one second: retry until the clock does not tick between them.
    std::string first;
    std::string second;
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto run = [&](const std::string& output) {
            auto withOutput = arguments;
            withOutput.push_back("--output=" + output);
            EXPECT_EQ(runProgram(withOutput).status, 0);
            return readFile(output);
        };
        first = run(scratch.path + "/first.sql");
        second = run(scratch.path + "/second.sql");
        if (first == second) {
            break;
        }
    }
    ASSERT_EQ(first, second) << "no two runs within one second";

    ASSERT_EQ(loadScript(db.get(), scratch.path + "/first.sql"), SQLITE_OK)
        << sqlite3_errmsg(db.get());
    EXPECT_EQ(column(db.get(), "select platform from testresults group by platform"),
              std::vector<std::string>{"Target \"A\""});
    EXPECT_EQ(column(db.get(), "select githash from testresults group by githash"),
              std::vector<std::string>{"x\"); drop table t; --"});
    EXPECT_EQ(column(db.get(), "select project from testresults group by project"),
              std::vector<std::string>{"it's \\ demo"});
    EXPECT_EQ(column(db.get(), "select filename || '=' || all_errors || '/' || misra_3 || '/' || "
                               "his from testresults order by rowid"),
              (std::vector<std::string>{
                  "Target \"A\"\\Src\\Src_NV\\x\"); drop table testresults; --.c=2/1/1",
                  "Target \"A\"\\Src\\Src_NV\\plain name.c=1/1/0",
              }));
    EXPECT_EQ(loadScript(db.get(), scratch.path + "/second.sql"), SQLITE_CONSTRAINT);
    EXPECT_EQ(column(db.get(), "select count(*) from testresults"), std::vector<std::string>{"2"});
}

} // namespace
} // namespace vendrik::test_support
