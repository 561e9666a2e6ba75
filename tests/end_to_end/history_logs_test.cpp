// A conversion's script and SARIF log as vendrik-history loads them: one run whatever is
// loaded first and whatever branch settles it, only whole logs that agree with their
// scripts, and logs of every shape, size and depth refused without harm.
#include "end_to_end/history_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <regex>

namespace vendrik::test_support {
namespace {

using nlohmann::json;

using HistoryLogs = OnEachBackend;

/// What the database holds: the SQLite file's bytes, or every run a server's lists.
std::string heldState(const ResultsDatabase& db) {
    return fileExists(db.target) ? readFile(db.target)
                                 : history({"runs", "--database=" + db.target}).console;
}

ProgramResult loadFiles(const ResultsDatabase& db, const std::vector<std::string>& files,
                        const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments = {"load", "--database=" + db.target};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.insert(arguments.end(), files.begin(), files.end());
    return history(arguments);
}

/// The first `lines` lines of the example report.
std::string firstLines(std::size_t lines) {
    std::istringstream example(readFile(VENDRIK_TEST_DATA "/../../examples/qac_report.txt"));
    std::string report;
    std::string line;
    for (std::size_t count = 0; count < lines && std::getline(example, line); ++count) {
        report += line + "\n";
    }
    return report;
}

// A conversion on a branch is one run whichever of its files comes first, in one load or
// two: the script carries no branch, and the log settles it.
TEST_P(HistoryLogs, OneConversionIsOneRunWhateverIsLoadedFirst) {
    for (const bool scriptFirst : {true, false}) {
        const ResultsDatabase db(GetParam());
        const std::string run = convertRun(db.scratch, "P", "Q", "abc", firstLines(120),
                                           "2026.12.01", "02:00:00", {"--branch=main"});
        const std::vector<std::string> files = {run + ".sql", run + ".sarif"};
        for (const std::string& file :
             scriptFirst ? files : std::vector(files.rbegin(), files.rend())) {
            const ProgramResult loaded = loadFiles(db, {file});
            EXPECT_EQ(loaded.status, 0) << file << ": " << loaded.errors;
        }
        const ProgramResult runs = history({"runs", "--database=" + db.target, "--branch=main"});
        EXPECT_NE(runs.console.find("abc"), std::string::npos) << runs.console;
        EXPECT_EQ(
            history({"compare", "--database=" + db.target, "--platform=P", "--project=Q"}).status,
            2)
            << "no run left on no branch";
        const ProgramResult compared =
            history({"compare", "--database=" + db.target, "--platform=P", "--project=Q",
                     "--branch=main", "--format=sarif"});
        ASSERT_EQ(compared.status, 0) << compared.errors;
        EXPECT_EQ(json::parse(compared.console)["runs"][0]["results"].size(),
                  json::parse(readFile(run + ".sarif"))["runs"][0]["results"].size())
            << "every finding stored";
        // Settled on main, the run refuses another branch, from either file, and takes its
        // files again as already there.
        const std::string before = heldState(db);
        for (const std::string& file : files) {
            const ProgramResult other = loadFiles(db, {file}, {"--branch=dev"});
            EXPECT_EQ(other.status, 2) << file;
            EXPECT_NE(other.errors.find("is recorded with the branch main, and this load gives "
                                        "it the branch dev"),
                      std::string::npos)
                << other.errors;
            EXPECT_EQ(heldState(db), before);
            EXPECT_NE(loadFiles(db, {file}).console.find("already in the database"),
                      std::string::npos);
        }
    }
}

// A run known only from its script reads as before, on no branch, until a branch settles it:
// load --branch wins over the log's own.
TEST_P(HistoryLogs, AScriptAloneIsOnNoBranchUntilSettled) {
    const ResultsDatabase db(GetParam());
    const std::string run = convertRun(db.scratch, "P", "Q", "abc", firstLines(120), "2026.12.01",
                                       "02:00:00", {"--branch=main"});
    ASSERT_EQ(loadFiles(db, {run + ".sql"}).status, 0);
    EXPECT_NE(history({"compare", "--database=" + db.target, "--platform=P", "--project=Q"})
                  .console.find("No base run: abc"),
              std::string::npos);
    ASSERT_EQ(loadFiles(db, {run + ".sarif"}, {"--branch=rel"}).status, 0);
    EXPECT_NE(history({"runs", "--database=" + db.target, "--branch=rel"}).console.find("abc"),
              std::string::npos);
    const std::string before = heldState(db);
    const ProgramResult script = loadFiles(db, {run + ".sql"}, {"--branch=main"});
    EXPECT_EQ(script.status, 2);
    EXPECT_NE(script.errors.find("recorded with the branch rel"), std::string::npos)
        << script.errors;
    EXPECT_EQ(heldState(db), before);
    // A conversion without a branch, settled on main by its script's load: its log, which
    // names no branch, stores its findings on main.
    const std::string plain =
        convertRun(db.scratch, "P", "Q", "def", firstLines(90), "2026.12.02", "02:00:00");
    ASSERT_EQ(loadFiles(db, {plain + ".sql"}, {"--branch=main"}).status, 0);
    ASSERT_EQ(loadFiles(db, {plain + ".sarif"}).status, 0);
    const ProgramResult compared = history({"compare", "--database=" + db.target, "--platform=P",
                                            "--project=Q", "--branch=main", "--format=sarif"});
    ASSERT_EQ(compared.status, 0) << compared.errors;
    EXPECT_EQ(json::parse(compared.console)["runs"][0]["results"].size(),
              json::parse(readFile(plain + ".sarif"))["runs"][0]["results"].size());
}

/// `log` (a converter log) with its first result taken out.
std::string withoutFirstResult(const std::string& log) {
    json document = json::parse(log);
    json& results = document["runs"][0]["results"];
    results.erase(results.begin());
    return document.dump();
}

// A log that disagrees with its run's script is refused, in either order, naming the first
// file and counter that differ; the database is left as it was.
TEST_P(HistoryLogs, RefusesALogThatDisagreesWithItsScript) {
    for (const bool scriptFirst : {true, false}) {
        const ResultsDatabase db(GetParam());
        const std::string run =
            convertRun(db.scratch, "P", "Q", "abc", firstLines(120), "2026.12.01", "02:00:00");
        const std::string log = readFile(run + ".sarif");
        const json first = json::parse(log)["runs"][0]["results"][0];
        const std::string file =
            first["locations"][0]["physicalLocation"]["artifactLocation"]["uri"];
        writeFile(run + ".sarif", withoutFirstResult(log));
        ASSERT_EQ(loadFiles(db, {scriptFirst ? run + ".sql" : run + ".sarif"}).status, 0);
        const std::string before = heldState(db);
        const ProgramResult refused = loadFiles(db, {scriptFirst ? run + ".sarif" : run + ".sql"});
        EXPECT_EQ(refused.status, 2);
        const std::string loaded = scriptFirst ? "the log" : "the script";
        EXPECT_NE(refused.errors.find("refused: " + loaded +
                                      " of the run abc (2026.12.01 02:00:00) of P / Q disagrees "
                                      "with its " +
                                      (scriptFirst ? "script" : "log") + " loaded before: " + file +
                                      " has all_errors "),
                  std::string::npos)
            << refused.errors;
        EXPECT_EQ(heldState(db), before);
    }
    // A priority changed in the log: its counter is named.
    const ResultsDatabase db(GetParam());
    const std::string run =
        convertRun(db.scratch, "P", "Q", "abc", firstLines(120), "2026.12.01", "02:00:00");
    json document = json::parse(readFile(run + ".sarif"));
    json& properties = document["runs"][0]["results"][0]["properties"];
    const int priority = properties["priority"];
    const int changed = priority == 9 ? 8 : priority + 1;
    properties["priority"] = changed;
    writeFile(run + ".sarif", document.dump());
    const ProgramResult refused = loadFiles(db, {run + ".sql", run + ".sarif"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.errors.find("has misra_" + std::to_string(std::min(priority, changed)) + " "),
              std::string::npos)
        << refused.errors;
}

// A log cut by the converter's cap is refused, saying what to load; the whole log beside it
// loads, and two conversions of one report under different caps gate as unchanged.
TEST_P(HistoryLogs, TakesOnlyWholeLogs) {
    const ResultsDatabase db(GetParam());
    const std::string report = firstLines(400);
    const std::string base = convertRun(
        db.scratch, "P", "Q", "base1", report, "2026.12.01", "02:00:00",
        {"--review_max_findings=50", "--history_sarif_output=" + db.scratch.path + "/b.sarif"});
    const ProgramResult capped = loadFiles(db, {base + ".sql", base + ".sarif"});
    EXPECT_EQ(capped.status, 2);
    EXPECT_NE(capped.errors.find("refused: the log leaves out 249 findings"), std::string::npos)
        << capped.errors;
    EXPECT_NE(capped.errors.find("(--history_sarif_output)"), std::string::npos);
    ASSERT_EQ(loadFiles(db, {db.scratch.path + "/b.sarif"}).status, 0);
    const std::string head = convertRun(
        db.scratch, "P", "Q", "head2", report, "2026.12.02", "02:00:00",
        {"--review_max_findings=100", "--history_sarif_output=" + db.scratch.path + "/h.sarif"});
    ASSERT_EQ(loadFiles(db, {head + ".sql", db.scratch.path + "/h.sarif"}).status, 0);
    const ProgramResult gate =
        history({"gate", "--database=" + db.target, "--platform=P", "--project=Q", "--max-new=0"});
    EXPECT_EQ(gate.status, 0) << gate.console << gate.errors;
    EXPECT_NE(gate.console.find("New findings: 0"), std::string::npos) << gate.console;
}

/// `log` with `text` put into its run's properties, before the platform, as a property.
std::string withProperty(const std::string& log, const std::string& text) {
    std::string changed = log;
    const std::size_t at = changed.find("\"properties\":{\"platform\"");
    return changed.insert(at + 14, "\"extra\":" + text + ",");
}

// Logs made from a converter log with one change each: whatever their shape, size or depth,
// they load or are refused with status 2 and a message that names the fault, and a refusal
// leaves the database as it was.
TEST_P(HistoryLogs, NoLogCrashesLoad) {
    const ResultsDatabase db(GetParam());
    const std::string run =
        convertRun(db.scratch, "P", "Q", "abc", firstLines(40), "2026.12.01", "02:00:00");
    const std::string log = readFile(run + ".sarif");
    ASSERT_EQ(loadFiles(db, {run + ".sql"}).status, 0);
    json resultsObject = json::parse(log);
    resultsObject["runs"][0]["results"] = {{"a", resultsObject["runs"][0]["results"][0]}};
    std::string farLine = log;
    farLine.replace(farLine.find("\"startLine\":"), 12, "\"startLine\":9223372036854775808,\"x\":");
    const std::pair<std::string, std::string> refused[] = {
        {resultsObject.dump(), "the run's results are not an array"},
        {withProperty(log, std::string(500000, '[') + std::string(500000, ']')),
         "it nests deeper than 64 levels"},
        {farLine, "has the startLine 9223372036854775808, outside 1 to 4294967295"},
    };
    const std::string before = heldState(db);
    const std::string path = db.scratch.path + "/crafted.sarif";
    for (const auto& [text, reason] : refused) {
        writeFile(path, text);
        const ProgramResult result = loadFiles(db, {path});
        EXPECT_EQ(result.status, 2) << reason;
        EXPECT_NE(result.errors.find(reason), std::string::npos) << result.errors;
        EXPECT_EQ(heldState(db), before) << reason;
    }
#if !VENDRIK_SANITIZED // the sanitizers reserve more address space than these limits
    // 5,000,000 empty objects outside the results (14 MiB) are skipped, in far less memory
    // than 400 MB; one message text of 64 MiB needs more than 200 MB, and is "not enough
    // memory" with the database as it was.
    std::string many = "[{}";
    for (int copy = 1; copy < 5000000; ++copy) {
        many += ",{}";
    }
    const auto limited = [&](const std::string& kilobytes) {
        return runCommand({"bash", "-c", "ulimit -v " + kilobytes + "; exec \"$@\"", "limited",
                           VENDRIK_HISTORY_PROGRAM, "load", "--database=" + db.target, path});
    };
    std::string big = log;
    big.insert(big.find("\"text\":\"") + 8, std::string(64 << 20, 'x'));
    writeFile(path, big);
    const ProgramResult outOfMemory = limited("200000");
    EXPECT_EQ(outOfMemory.status, 2);
    EXPECT_EQ(outOfMemory.errors, "vendrik-history: " + path + ": not enough memory\n");
    EXPECT_EQ(heldState(db), before);
    writeFile(path, withProperty(log, many + "]"));
    const ProgramResult skipped = limited("400000");
    EXPECT_EQ(skipped.status, 0) << skipped.errors;
    EXPECT_NE(skipped.console.find("findings added"), std::string::npos) << skipped.console;
#endif
}

// A NUL or another control character in a log's names and texts is stored by SQLite as it is
// and shown as \xNN in every output; the server's text cannot hold a NUL, so PostgreSQL
// refuses the log whole, as it refuses such a script.
TEST_P(HistoryLogs, ControlCharactersNeverShowRaw) {
    const ResultsDatabase db(GetParam());
    const std::string run =
        convertRun(db.scratch, "P", "Q", "abc", firstLines(40), "2026.12.01", "02:00:00");
    const std::string platform("P\0x\x1b[2J\xc2\x9b", 9);
    json document = json::parse(readFile(run + ".sarif"));
    json& properties = document["runs"][0]["properties"];
    properties["platform"] = platform;
    json& result = document["runs"][0]["results"][0];
    std::string uri = result["locations"][0]["physicalLocation"]["artifactLocation"]["uri"];
    result["locations"][0]["physicalLocation"]["artifactLocation"]["uri"] = uri + "%00x";
    result["message"]["text"] = std::string("a\0b\x07", 4);
    const std::string log = db.scratch.path + "/control.sarif";
    writeFile(log, document.dump());
    const ProgramResult loaded = loadFiles(db, {log});
    if (GetParam() == "postgresql") {
        EXPECT_EQ(loaded.status, 2);
        EXPECT_NE(loaded.errors.find("refused: a name or text holds bytes that the server's "
                                     "text cannot hold"),
                  std::string::npos)
            << loaded.errors;
        EXPECT_EQ(history({"runs", "--database=" + db.target}).console.find("abc"),
                  std::string::npos);
        return;
    }
    ASSERT_EQ(loaded.status, 0) << loaded.errors;
    const std::string page = db.scratch.path + "/page.html";
    ASSERT_EQ(history({"page", "--database=" + db.target, "--output=" + page}).status, 0);
    for (const std::string& out :
         {readFile(page), history({"runs", "--database=" + db.target}).console}) {
        for (const char raw : {'\0', '\x1b', '\x07'}) {
            EXPECT_EQ(out.find(raw), std::string::npos) << int(raw) << " in " << out.substr(0, 300);
        }
        EXPECT_EQ(out.find("\xc2\x9b"), std::string::npos);
        EXPECT_NE(out.find("P\\x00x\\x1B[2J\\xC2\\x9B"), std::string::npos) << out.substr(0, 600);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryLogs, ::testing::ValuesIn(historyBackends()),
                         [](const auto& info) { return info.param; });

} // namespace
} // namespace vendrik::test_support
