// vendrik-history under hostile input: scripts that are not the converter's, scripts that
// cannot be read whole, runs that collide, names that carry markup, databases left mid-write.
#include "end_to_end/history_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <filesystem>
#include <regex>

namespace vendrik::test_support {
namespace {

namespace fs = std::filesystem;

/// What the database holds, to see that a refusal changed nothing: the SQLite file's bytes,
/// or what `runs` lists of a server's database.
std::string stateOf(const HistoryDatabase& db) {
    return fileExists(db.path) ? readFile(db.path)
                               : history({"runs", "--database=" + db.path}).console;
}

using HistoryTrustOnEachBackend = OnEachBackend;

std::string load(const HistoryDatabase& db, const std::string& path, int status) {
    const ProgramResult result = history({"load", "--database=" + db.path, path});
    EXPECT_EQ(result.status, status) << path << "\n" << result.console << result.errors;
    return result.console + result.errors;
}

// The converter escapes a NUL byte in a file name as "a" || char(0) || "b": load takes it.
TEST(HistoryTrust, LoadsTheConvertersScriptsWithNulBytes) {
    const HistoryDatabase db;
    const std::string report = db.scratch.path + "/nul.txt";
    writeFile(report, std::string("D:\\w\\Src\\Src_NV\\a\0b.c (1) : warning : QAC(Prio3) Msg: "
                                  "2000(t.) Ref: R\n",
                                  69));
    const std::string sql = db.scratch.path + "/nul.sql";
    ASSERT_EQ(runCommand({VENDRIK_PROGRAM, "--platform=P", "--input=" + report, "--output=" + sql,
                          "--typ_name=T", "--typ_var=V", "--sql_config=SQL", "--hash_value=nul1"})
                  .status,
              0);
    ASSERT_NE(readFile(sql).find("|| char(0) ||"), std::string::npos);
    EXPECT_NE(load(db, sql, 0).find("1 rows added"), std::string::npos);
    const ProgramResult runs = history({"runs", "--database=" + db.path, "--platform=P"});
    EXPECT_NE(runs.console.find("nul1"), std::string::npos) << runs.console;
}

// Only the converter's own create (in any case and spacing) and inserts into the staging
// table run; the database is unchanged after every refusal.
TEST_P(HistoryTrustOnEachBackend, RefusesWhatTheConverterDoesNotWrite) {
    const HistoryDatabase db(GetParam());
    const std::string good =
        readFile(script(db.scratch, "TargetC", "Ecu", "fff666", 40, "2026.12.04", "02:00:00"));
    const std::string create = good.substr(0, good.find('\n') + 1);
    const std::string inserts = good.substr(create.size());
    const std::string row = inserts.substr(0, inserts.find('\n') + 1);
    const std::string values = row.substr(row.find(" values ("));
    const std::string earlierRow =
        "(\"TargetA\", \"Ecu\", \"QAC 8.1.2.R\", \"aaa111\", "
        "\"2026.12.01\", \"02:00:00\", \"TargetA\\new.c\", \"0\" ,\"0\", "
        "\"0\", \"0\", \"0\", \"0\", \"0\", \"0\", \"0\", \"0\", \"0\", "
        "\"0\");\n";
    const std::string scrambled =
        "CREATE TABLE testresults (his, misra_9, misra_8, misra_7, misra_6, misra_5, misra_4, "
        "misra_3, misra_2, misra_1, misra_0, all_errors, filename, time, date, githash, tool, "
        "project, platform, UNIQUE (date, time, filename));\n";
    const std::string before = stateOf(db);
    const std::string tampered = db.scratch.path + "/tampered.sql";
    const std::pair<const char*, std::string> refused[] = {
        {"scrambled create", scrambled + inserts},
        {"create with a comment",
         std::regex_replace(create, std::regex("tool, "), "tool, /* x */ ") + inserts},
        {"insert into main",
         inserts + "insert or replace into main.testresults values " + earlierRow},
        {"insert into main with columns",
         inserts +
             std::regex_replace(row, std::regex("into testresults"), "into main.testresults")},
        {"insert from a select",
         create + "insert into testresults select * from main.testresults;\n"},
        {"another function",
         inserts + std::regex_replace(row, std::regex("\"TargetC\""), "upper('x')")},
        {"cut inside a statement", create + inserts + row.substr(0, row.size() / 2)},
        {"a transaction of its own", "commit;\n" + good},
    };
    for (const auto& [name, text] : refused) {
        writeFile(tampered, text);
        const std::string said = load(db, tampered, 2);
        EXPECT_NE(said.find(name == std::string("cut inside a statement")
                                ? "ends inside a statement"
                                : "refused"),
                  std::string::npos)
            << name << ": " << said;
        EXPECT_EQ(stateOf(db), before) << name;
    }
    // The create normalised for case and white space is the converter's.
    std::string shouted = create;
    for (char& c : shouted) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    writeFile(tampered, std::regex_replace(shouted, std::regex(", "), " ,\n  ") + inserts);
    EXPECT_NE(load(db, tampered, 0).find("rows added"), std::string::npos);
}

TEST_P(HistoryTrustOnEachBackend, RefusesScriptsThatCannotBeReadWhole) {
    const HistoryDatabase db(GetParam());
    const std::string before = stateOf(db);
    fs::create_directory(db.scratch.path + "/d.sql");
    EXPECT_NE(load(db, db.scratch.path + "/d.sql", 2).find("a folder"), std::string::npos);
    // A script of several blocks, with a read error after the first.
    const std::string run = std::regex_replace(
        std::regex_replace(readFile(db.scripts[2]), std::regex("ccc333"), "big999"),
        std::regex("2026\\.12\\.03"), "2026.12.09");
    std::string big = run.substr(0, run.find('\n') + 1);
    for (int copy = 0; big.size() < 300000; ++copy) {
        const std::string rows = run.substr(run.find('\n') + 1);
        big += std::regex_replace(rows, std::regex("Src_NV"), "Src_NV\\" + std::to_string(copy));
    }
    const std::string path = db.scratch.path + "/big.sql";
    writeFile(path, big);
    const ProgramResult failed =
        // LeakSanitizer cannot work under ptrace: off for this run of a sanitizer build.
        runCommand({"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-qq", "-o", "/dev/null", "-P",
                    path, "-e", "trace=read", "-e", "inject=read:error=EIO:when=2",
                    VENDRIK_HISTORY_PROGRAM, "load", "--database=" + db.path, path});
    EXPECT_EQ(failed.status, 2) << failed.console << failed.errors;
    EXPECT_NE(failed.errors.find("could not read the script to its end"), std::string::npos)
        << failed.errors;
    EXPECT_EQ(stateOf(db), before);
    EXPECT_NE(load(db, path, 0).find("rows added"), std::string::npos) << "the script is good";
}

// A run that another tool added stays listed whatever the size of the next script.
TEST_P(HistoryTrustOnEachBackend, RunTotalsCountTheStoredTable) {
    const ResultsDatabase db(GetParam());
    const ScratchDirectory& scratch = db.scratch;
    const std::string& path = db.target;
    const std::string first = script(scratch, "P", "Q", "run1", 100, "2026.12.01", "01:00:00");
    ASSERT_EQ(history({"load", "--database=" + path, first}).status, 0);
    const std::string byHand = script(scratch, "P", "Q", "run2", 30, "2026.12.02", "01:00:00");
    ASSERT_TRUE(executeSql(path, readFile(byHand)));
    // As many rows as the table had at the previous load.
    const std::string third = script(scratch, "P", "Q", "run3", 100, "2026.12.03", "01:00:00");
    ASSERT_EQ(history({"load", "--database=" + path, third}).status, 0);
    const ProgramResult runs = history({"runs", "--database=" + path});
    for (const char* hash : {"run1", "run2", "run3"}) {
        EXPECT_NE(runs.console.find(hash), std::string::npos) << hash << " in\n" << runs.console;
    }
}

// Two projects of one platform converted in the same second: the second cannot be stored in
// the table, and load says so instead of calling it present.
TEST_P(HistoryTrustOnEachBackend, RefusesARunThatCollidesWithAnother) {
    const HistoryDatabase db(GetParam());
    const std::string other =
        script(db.scratch, "TargetA", "EcuBody", "b1", 100, "2026.12.01", "02:00:00");
    const std::string before = stateOf(db);
    const std::string said = load(db, other, 2);
    EXPECT_NE(said.find("the run b1 of TargetA / EcuBody has a row for TargetA\\"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("where the run aaa111 of TargetA / Ecu has one"), std::string::npos)
        << said;
    EXPECT_EQ(said.find("already in the database"), std::string::npos) << said;
    EXPECT_EQ(stateOf(db), before);
    EXPECT_NE(load(db, db.scripts[0], 0).find("already in the database"), std::string::npos);
}

TEST(HistoryTrust, NeverWritesThePageOverTheDatabase) {
    const HistoryDatabase db;
    const std::string before = stateOf(db);
    fs::create_directory(db.scratch.path + "/sub");
    for (const std::string& output :
         {db.path, db.scratch.path + "/sub/../results.db", std::string("/dev/full")}) {
        const ProgramResult page = history({"page", "--database=" + db.path, "--output=" + output});
        EXPECT_EQ(page.status, 2) << output;
        EXPECT_NE(page.errors.find(output == "/dev/full" ? "could not write /dev/full"
                                                         : "refused: --output names the database"),
                  std::string::npos)
            << page.errors;
        EXPECT_EQ(stateOf(db), before) << output;
    }
}

// Names from the database cannot break a Markdown table, add lines, carry HTML or move the
// terminal's cursor.
TEST(HistoryTrust, ShowsNamesAsText) {
    const ScratchDirectory scratch;
    const std::string path = scratch.path + "/r.db";
    const std::string hostile[] = {"pipe|in|name.c",
                                   "line\n### QAC gate passed\nbreak.c",
                                   "<img src=x onerror=alert(1)>.c",
                                   "esc\x1b[2Jape.c",
                                   "[link](http://x).c",
                                   "back\\|slash.c"};
    std::string sql = readFile(script(scratch, "P", "Q", "h1", 1, "2026.12.01", "01:00:00"));
    sql = sql.substr(0, sql.find('\n') + 1);
    for (const std::string& run : {std::string("1"), std::string("2")}) {
        for (std::size_t index = 0; index < std::size(hostile); ++index) {
            sql += "insert into testresults values ('P', 'Q', 'QAC', 'h" + run + "', '2026.12.0" +
                   run + "', '01:00:00', '" + hostile[index] + "', " +
                   std::to_string(static_cast<std::size_t>(std::stoi(run)) * (index + 1)) +
                   ", 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0);\n";
        }
    }
    ASSERT_TRUE(executeSql(path, sql));
    const std::vector<std::string> base = {"--database=" + path, "--platform=P", "--project=Q"};
    for (const char* command : {"compare", "gate"}) {
        for (const char* format : {"--format=markdown", "--format=text"}) {
            std::vector<std::string> arguments = {command};
            arguments.insert(arguments.end(), base.begin(), base.end());
            arguments.push_back(format);
            const ProgramResult shown = history(arguments);
            const std::string& out = shown.console;
            const std::string name = std::string(command) + " " + format;
            EXPECT_EQ(out.find('\x1b'), std::string::npos) << name;
            EXPECT_EQ(out.find("\n### QAC gate passed"), std::string::npos) << name << "\n" << out;
            EXPECT_NE(out.find("line\\x0A### QAC gate passed\\x0Abreak.c"), std::string::npos)
                << name << "\n"
                << out;
            if (std::string(format) == "--format=markdown") {
                EXPECT_EQ(out.find("<img"), std::string::npos) << out;
                EXPECT_EQ(out.find("[link]"), std::string::npos) << out;
                EXPECT_NE(out.find("pipe&#124;in&#124;name.c"), std::string::npos) << out;
                EXPECT_NE(out.find("back&#92;&#124;slash.c"), std::string::npos) << out;
                // Every row of a table has as many cells as its heading.
                std::size_t cells = 0;
                std::istringstream lines(out);
                for (std::string line; std::getline(lines, line);) {
                    if (!line.starts_with("|")) {
                        cells = 0;
                        continue;
                    }
                    const auto count =
                        static_cast<std::size_t>(std::count(line.begin(), line.end(), '|'));
                    cells = cells == 0 ? count : cells;
                    EXPECT_EQ(count, cells) << line;
                }
            } else {
                EXPECT_NE(out.find("pipe|in|name.c"), std::string::npos) << out;
            }
        }
    }
    const ProgramResult runs = history({"runs", "--database=" + path});
    EXPECT_EQ(runs.console.find('\x1b'), std::string::npos);
}

// Bytes that are not UTF-8 are read as Windows-1252, as the exports read them: the JSON and
// the page are valid UTF-8, and two such names stay two.
TEST(HistoryTrust, ReadsNamesAsTheExportsDo) {
    const ScratchDirectory scratch;
    const std::string path = scratch.path + "/r.db";
    std::string sql;
    for (const std::string& run : {std::string("1"), std::string("2")}) {
        for (const std::string& name : {std::string("a\xE4.c"), std::string("a\xF6.c")}) {
            sql += "insert into testresults values ('P', 'Q', 'QAC', 'h" + run + "', '2026.12.0" +
                   run + "', '01:00:00', '" + name + "', " + run +
                   ", 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0);\n";
        }
    }
    ASSERT_TRUE(executeSql(path, "create table testresults (platform, project, tool, githash, "
                                 "date, time, filename, all_errors, misra_0, misra_1, misra_2, "
                                 "misra_3, misra_4, misra_5, misra_6, misra_7, misra_8, misra_9, "
                                 "his);\n" +
                                     sql));
    const ProgramResult compared =
        history({"compare", "--database=" + path, "--platform=P", "--project=Q", "--format=json"});
    ASSERT_EQ(compared.status, 0) << compared.errors;
    const nlohmann::json document = nlohmann::json::parse(compared.console);
    ASSERT_EQ(document["files"].size(), 2u);
    EXPECT_EQ(document["files"][0]["filename"], "a\u00e4.c");
    EXPECT_EQ(document["files"][1]["filename"], "a\u00f6.c");
    const std::string page = scratch.path + "/page.html";
    ASSERT_EQ(history({"page", "--database=" + path, "--output=" + page}).status, 0);
    EXPECT_NE(readFile(page).find("a\u00e4.c"), std::string::npos);
    EXPECT_EQ(readFile(page).find("a\xE4.c"), std::string::npos);
}

// A whole hash wins over a longer hash that starts with it.
TEST_P(HistoryTrustOnEachBackend, AWholeHashWinsOverPrefixes) {
    const ResultsDatabase database(GetParam());
    const ScratchDirectory& scratch = database.scratch;
    const std::string& path = database.target;
    for (const auto& [hash, day] : {std::pair{"abc", "01"}, std::pair{"abcdef", "02"}}) {
        ASSERT_EQ(history({"load", "--database=" + path,
                           script(scratch, "P", "Q", hash, 50, std::string("2026.12.") + day,
                                  "01:00:00")})
                      .status,
                  0);
    }
    const ProgramResult compared = history({"compare", "--database=" + path, "--platform=P",
                                            "--project=Q", "--base=abc", "--format=json"});
    EXPECT_EQ(compared.status, 0) << compared.errors;
    EXPECT_NE(compared.console.find("\"githash\": \"abc\""), std::string::npos);
    EXPECT_EQ(history({"compare", "--database=" + path, "--platform=P", "--project=Q", "--base=ab"})
                  .status,
              2);
}

// Read-only copies: a WAL database whose folder cannot be written is read; one left
// mid-write gets a message that says what to do. Run as nobody, so that permissions apply.
TEST(HistoryTrust, ReadsReadOnlyCopiesOrSaysWhatToDo) {
    const ScratchDirectory scratch;
    const std::string folder = scratch.path + "/ro";
    fs::create_directory(folder);
    const std::string path = folder + "/r.db";
    ASSERT_TRUE(executeSql(path, "pragma journal_mode=wal;"));
    ASSERT_EQ(history({"load", "--database=" + path,
                       script(scratch, "P", "Q", "w1", 50, "2026.12.01", "01:00:00")})
                  .status,
              0);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    const std::vector<std::string> runs = {VENDRIK_HISTORY_PROGRAM, "runs", "--database=" + path};
    const ProgramResult wal = runCommand(runs, true);
    EXPECT_EQ(wal.status, 0) << wal.errors;
    EXPECT_NE(wal.console.find("w1"), std::string::npos);

    // A copy taken while a writer was mid-way: its rollback journal is hot.
    const std::string copy = scratch.path + "/copy";
    fs::create_directory(copy);
    const std::string writing = scratch.path + "/writing.db";
    fs::copy_file(script(scratch, "P", "Q", "j1", 50, "2026.12.01", "01:00:00"), writing + ".sql");
    ASSERT_TRUE(executeSql(writing, readFile(writing + ".sql")));
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(writing.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(writer,
                     "pragma cache_size = 1; begin; with recursive n(v) as (select 1 union all "
                     "select v + 1 from n where v < 2000) insert into testresults "
                     "(filename) select printf('%0500d', v) from n;",
                     nullptr, nullptr, nullptr),
        SQLITE_OK)
        << sqlite3_errmsg(writer);
    fs::copy_file(writing, copy + "/r.db");
    fs::copy_file(writing + "-journal", copy + "/r.db-journal");
    sqlite3_close(writer);
    fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                              fs::perms::others_exec);
    const ProgramResult journal =
        runCommand({VENDRIK_HISTORY_PROGRAM, "runs", "--database=" + copy + "/r.db"}, true);
    EXPECT_EQ(journal.status, 2);
    EXPECT_NE(journal.errors.find("was left mid-write (" + copy + "/r.db-journal)"),
              std::string::npos)
        << journal.errors;
    fs::permissions(copy, fs::perms::all);
    fs::permissions(folder, fs::perms::all);
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryTrustOnEachBackend,
                         ::testing::ValuesIn(historyBackends()),
                         [](const auto& backend) { return backend.param; });

} // namespace
} // namespace vendrik::test_support
