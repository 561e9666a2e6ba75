#include "end_to_end/program_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

namespace vendrik::test_support {
namespace {

using nlohmann::json;
using namespace std::string_literals;

const std::string bundledReport = std::string(VENDRIK_TEST_DATA) + "/../../examples/qac_report.txt";

/// A report of warning lines in and out of the source tree, with repeated warnings, every
/// priority, HIS messages, line 0, and message texts that hold quotes, backslashes, control
/// characters, NUL and bytes that are not UTF-8. File names vary in ASCII only, so that the
/// three outputs can be matched by name.
std::string generatedReport(unsigned seed, int lines) {
    std::mt19937_64 random(seed);
    const auto pick = [&](std::size_t count) { return static_cast<std::size_t>(random() % count); };
    const std::array<std::string, 6> texts = {"Plain text",
                                              "Says \"no\" to C:\\path",
                                              "Tab\there and \x01 control",
                                              "Not UTF-8: \xe9\x80\xff",
                                              "NUL\0inside"s,
                                              std::string(3000, 'L')};
    std::vector<std::string> report;
    for (int i = 0; i < lines; ++i) {
        if (!report.empty() && pick(20) == 0) {
            report.push_back(report[pick(report.size())]); // the same warning again
            continue;
        }
        const std::string tree = pick(10) == 0 ? "Other\\" : "Src\\Src_NV\\";
        const std::string file = "d" + std::to_string(pick(4)) + "\\file " +
                                 std::to_string(pick(15)) + (pick(5) == 0 ? " (#1%).h" : ".c");
        const std::size_t number = pick(4) == 0 ? 5300 + pick(100) : 2000 + pick(30);
        report.push_back("D:\\ci\\" + tree + file + " (" + std::to_string(pick(300)) +
                         ") : warning : QAC(Prio" + std::to_string(pick(10)) +
                         ") Msg: " + std::to_string(number) + "(" + texts[pick(texts.size())] +
                         ".) Ref: MISRA C:2012 Rule-" + std::to_string(pick(20)) + ".1");
    }
    std::string text;
    for (const std::string& line : report) {
        text += line + "\r\n";
    }
    return text;
}

/// Counts of one file: all, priority 8-9, 5-7, 0-4 (HIS findings not among them), HIS.
using Counts = std::array<int, 5>;

std::map<std::string, Counts> summaryCounts(const std::string& summary) {
    static const std::regex fileLine(
        R"re(^[0-9.]{10}, [0-9:]{8} P\\(.*), "(\d+)" ,"(\d+)", "(\d+)", "(\d+)", "(\d+)"\r?$)re");
    std::map<std::string, Counts> counts;
    std::istringstream lines(summary);
    for (std::string line; std::getline(lines, line);) {
        std::smatch found;
        if (std::regex_match(line, found, fileLine)) {
            std::string file = found[1];
            std::replace(file.begin(), file.end(), '\\', '/');
            counts[file] = {std::stoi(found[2]), std::stoi(found[3]), std::stoi(found[4]),
                            std::stoi(found[5]), std::stoi(found[6])};
        }
    }
    return counts;
}

void count(Counts& counts, bool his, int band) {
    ++counts[0];
    ++counts[his ? 4u : static_cast<std::size_t>(1 + band)];
}

std::string percentDecoded(const std::string& uri) {
    std::string text;
    for (std::size_t at = 0; at < uri.size(); ++at) {
        if (uri[at] == '%') {
            text += static_cast<char>(std::stoi(uri.substr(at + 1, 2), nullptr, 16));
            at += 2;
        } else {
            text += uri[at];
        }
    }
    return text;
}

std::map<std::string, Counts> sarifCounts(const json& log) {
    const std::map<std::string, int> bands = {{"error", 0}, {"warning", 1}, {"note", 2}};
    std::map<std::string, Counts> counts;
    for (const json& result : log["runs"][0]["results"]) {
        const json& location = result["locations"][0]["physicalLocation"];
        EXPECT_EQ(location["artifactLocation"]["uriBaseId"], "SRCROOT");
        const std::string file = percentDecoded(location["artifactLocation"]["uri"]);
        count(counts[file], result["properties"]["his"], bands.at(result["level"]));
    }
    return counts;
}

std::map<std::string, Counts> codeQualityCounts(const json& issues) {
    const std::map<std::string, int> bands = {{"critical", 0}, {"major", 1}, {"minor", 2}};
    std::map<std::string, Counts> counts;
    std::set<std::string> fingerprints;
    for (const json& issue : issues) {
        for (const char* field : {"description", "check_name", "fingerprint", "severity"}) {
            EXPECT_TRUE(issue[field].is_string()) << field << " in " << issue.dump();
        }
        EXPECT_GE(issue["location"]["lines"]["begin"].get<int>(), 1) << issue.dump();
        EXPECT_TRUE(fingerprints.insert(issue["fingerprint"]).second) << issue.dump();
        const int number = std::stoi(issue["check_name"].get<std::string>());
        count(counts[issue["location"]["path"]], number >= 5300 && number <= 5399,
              bands.at(issue["severity"]));
    }
    return counts;
}

std::vector<std::string> exportArguments(const std::string& input, const std::string& folder) {
    return {"--platform=P",
            "--input=" + input,
            "--output=" + folder + "/summary.txt",
            "--typ_name=T",
            "--typ_var=V",
            "--sarif_output=" + folder + "/log.sarif",
            "--codequality_output=" + folder + "/quality.json"};
}

TEST(ReviewExport, CoversExactlyTheFindingsTheSummaryCounts) {
    for (const unsigned seed : {1u, 2u, 3u}) {
        const ScratchDirectory scratch;
        writeFile(scratch.path + "/report.txt", generatedReport(seed, 3000));
        const ProgramResult result =
            runProgram(exportArguments(scratch.path + "/report.txt", scratch.path));
        ASSERT_EQ(result.status, 0) << result.console;
        EXPECT_EQ(result.errors, "");
        const auto expected = summaryCounts(readFile(scratch.path + "/summary.txt"));
        ASSERT_GT(expected.size(), 50u);
        EXPECT_EQ(sarifCounts(json::parse(readFile(scratch.path + "/log.sarif"))), expected);
        EXPECT_EQ(codeQualityCounts(json::parse(readFile(scratch.path + "/quality.json"))),
                  expected);
    }
}

TEST(ReviewExport, FollowsTheRulesOfTheOtherOutputs) {
    const ScratchDirectory scratch;
    const std::string report = scratch.path + "/report.txt";
    writeFile(report, readFile(bundledReport));
    auto arguments = exportArguments(report, scratch.path);
    const auto runWith = [&](const std::string& sarif, const std::string& quality) {
        arguments[5] = "--sarif_output=" + sarif;
        arguments[6] = "--codequality_output=" + quality;
        return runProgram(arguments);
    };
    const std::string sarif = scratch.path + "/log.sarif";
    const std::string quality = scratch.path + "/quality.json";
    for (const auto& [badSarif, badQuality] :
         {std::pair(report, quality), std::pair(sarif, report),
          std::pair(scratch.path + "/missing/log.sarif", quality), std::pair(sarif, ""s)}) {
        const ProgramResult refused = runWith(badSarif, badQuality);
        EXPECT_EQ(refused.status, 253) << badSarif << " " << badQuality;
        EXPECT_EQ(refused.console, "Vendrik error: Could not open output file\n");
        EXPECT_FALSE(fileExists(scratch.path + "/summary.txt")) << badSarif << " " << badQuality;
    }
    EXPECT_EQ(readFile(report), readFile(bundledReport));

    const ProgramResult full = runWith("/dev/full", quality);
    EXPECT_EQ(full.status, 252);
    EXPECT_EQ(full.console, "Vendrik error: Could not write output file\n");
    EXPECT_FALSE(fileExists(quality));
    EXPECT_FALSE(fileExists(scratch.path + "/summary.txt"));

    writeFile(sarif, "previous");
    arguments[1] = "--input=/proc/self/mem"; // opens, and its first read fails
    EXPECT_EQ(runWith(sarif, quality).status, 254);
    EXPECT_EQ(readFile(sarif), "previous");
    EXPECT_FALSE(fileExists(quality));
}

// Under a cap the exports keep the most serious findings, and the history's log keeps them
// all: it is the log that the same run writes without a cap. It follows the file rules of
// the other exports.
TEST(ReviewExport, WritesTheHistoryItsWholeLogBesideACappedOne) {
    const ScratchDirectory scratch;
    const std::string report = scratch.path + "/report.txt";
    writeFile(report, readFile(bundledReport));
    const std::string whole = scratch.path + "/whole.sarif";
    auto arguments = exportArguments(report, scratch.path);
    arguments.push_back("--review_max_findings=50");
    arguments.push_back("--history_sarif_output=" + whole);
    ASSERT_EQ(runProgram(arguments).status, 0);
    const json capped = json::parse(readFile(scratch.path + "/log.sarif"));
    json history = json::parse(readFile(whole));
    EXPECT_EQ(capped["runs"][0]["results"].size(), 50u);
    EXPECT_EQ(capped["runs"][0]["properties"]["omittedFindings"], 249);
    EXPECT_EQ(history["runs"][0]["results"].size(), 299u);
    EXPECT_FALSE(history["runs"][0]["properties"].contains("omittedFindings"));
    EXPECT_EQ(json::parse(readFile(scratch.path + "/quality.json")).size(), 50u);
    // The same as the log of the run without the cap, but for the time of the conversion.
    arguments.erase(arguments.end() - 2);
    ASSERT_EQ(runProgram(arguments).status, 0);
    json uncapped = json::parse(readFile(scratch.path + "/log.sarif"));
    for (json* log : {&uncapped, &history}) {
        (*log)["runs"][0].erase("invocations");
        (*log)["runs"][0]["properties"].erase("date");
        (*log)["runs"][0]["properties"].erase("time");
    }
    EXPECT_EQ(history, uncapped);
    for (const std::string& bad :
         {scratch.path + "/log.sarif", report, scratch.path + "/summary.txt",
          scratch.path + "/missing/h.sarif"}) {
        arguments.back() = "--history_sarif_output=" + bad;
        const ProgramResult refused = runProgram(arguments);
        EXPECT_EQ(refused.status, 253) << bad;
        EXPECT_EQ(refused.console, "Vendrik error: Could not open output file\n") << bad;
    }
    arguments.back() = "--history_sarif_output=/dev/full";
    EXPECT_EQ(runProgram(arguments).status, 252);
}

} // namespace
} // namespace vendrik::test_support
