#include "output/sarif_log.h"

#include "test_support/findings.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

namespace vendrik {
namespace {

using nlohmann::json;
using test_support::sortedList;
using test_support::testFinding;

json sarifOf(std::vector<Finding> findings,
             const SarifRun& run = {"P", "T", "4f2a9c1", "2026.12.08", "23:59:07"}) {
    const FindingsList list = sortedList(std::move(findings));
    std::string text;
    EXPECT_TRUE(writeSarifLog(
        list, run,
        [&](std::string_view piece) {
            text += piece;
            return true;
        },
        selectReviewFindings(list, run.cap)));
    return json::parse(text);
}

Finding withReference(Finding finding, std::string_view reference) {
    finding.referenceText = reference;
    return finding;
}

TEST(SarifLog, DescribesTheRunAndOneRulePerMessageNumber) {
    const json log = sarifOf({withReference(testFinding("Src\\Src_NV\\b.c", 3, 4, 2000, "No else"),
                                            " MISRA C:2012 Rule-15.7"),
                              testFinding("Src\\Src_NV\\a.c", 7, 2, 5310, "Too long"),
                              testFinding("Src\\Src_NV\\c.c", 9, 4, 2000, "No else")});
    EXPECT_EQ(log["version"], "2.1.0");
    ASSERT_EQ(log["runs"].size(), 1u);
    const json& run = log["runs"][0];
    EXPECT_EQ(run["tool"]["driver"]["name"], "QAC");
    EXPECT_EQ(run["tool"]["driver"]["version"], "8.1.2.R");
    EXPECT_EQ(run["conversion"]["tool"]["driver"]["name"], "Vendrik");
    EXPECT_EQ(run["conversion"]["tool"]["driver"]["version"], "1.2.0.0");
    EXPECT_EQ(run["properties"], json({{"platform", "P"},
                                       {"project", "T"},
                                       {"githash", "4f2a9c1"},
                                       {"date", "2026.12.08"},
                                       {"time", "23:59:07"}}));
    EXPECT_FALSE(run.contains("versionControlProvenance")) << "no repository: no placeholder";
    EXPECT_EQ(run["invocations"], json::parse(R"([{"executionSuccessful":true}])"));
    EXPECT_EQ(run["artifacts"], json::parse(R"([
        {"location":{"uri":"Src/Src_NV/a.c","uriBaseId":"SRCROOT"}},
        {"location":{"uri":"Src/Src_NV/b.c","uriBaseId":"SRCROOT"}},
        {"location":{"uri":"Src/Src_NV/c.c","uriBaseId":"SRCROOT"}}])"));
    EXPECT_EQ(run["automationDetails"]["id"], "vendrik/P/T/");

    const json& rules = run["tool"]["driver"]["rules"];
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0]["id"], "2000");
    EXPECT_EQ(rules[0]["name"], "QacMessage2000");
    EXPECT_EQ(rules[0]["shortDescription"]["text"], "No else.");
    EXPECT_EQ(rules[0]["fullDescription"]["text"], "QAC message 2000: No else.");
    EXPECT_EQ(rules[0]["help"]["text"],
              "QAC message 2000: No else. MISRA references: MISRA C:2012 Rule-15.7.");
    EXPECT_EQ(rules[0]["defaultConfiguration"]["level"], "note");
    EXPECT_EQ(rules[0]["properties"], json({{"tags", {"MISRA C:2012 Rule-15.7"}},
                                            {"his", false},
                                            {"misraStandard", "MISRA C:2012"},
                                            {"misraRule", "15.7"}}));
    EXPECT_EQ(rules[1]["id"], "5310");
    EXPECT_EQ(rules[1]["properties"], json({{"tags", {"HIS"}}, {"his", true}}));
    EXPECT_EQ(run["results"][0]["properties"]["tags"], json({"HIS"})) << "a.c: the HIS finding";
    EXPECT_FALSE(run["results"][1]["properties"].contains("tags"));
    for (const json& result : run["results"]) {
        EXPECT_EQ(rules[result["ruleIndex"].get<std::size_t>()]["id"], result["ruleId"]);
    }
}

TEST(SarifLog, GivesEachFindingOneResult) {
    const json log = sarifOf({testFinding("Src\\Src_NV\\a b.c", 0, 9, 1, "x"),
                              testFinding("Src\\Src_NV\\a b.c", 1, 8, 1, "x"),
                              testFinding("Src\\Src_NV\\a b.c", 2, 7, 1, "x"),
                              testFinding("Src\\Src_NV\\a b.c", 3, 5, 1, "x"),
                              testFinding("Src\\Src_NV\\a b.c", 4, 4, 1, "x"),
                              testFinding("Src\\Src_NV\\a b.c", 5, 0, 5300, "x")},
                             {"P", "T", "", "", ""});
    const json& run = log["runs"][0];
    EXPECT_FALSE(run.contains("versionControlProvenance"));
    const json& results = run["results"];
    ASSERT_EQ(results.size(), 6u);
    const char* levels[] = {"error", "error", "warning", "warning", "note", "note"};
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(results[i]["level"], levels[i]) << i;
        EXPECT_EQ(results[i]["message"]["text"], "x.");
        const json& location = results[i]["locations"][0]["physicalLocation"];
        EXPECT_EQ(location["artifactLocation"],
                  json({{"uri", "Src/Src_NV/a%20b.c"}, {"uriBaseId", "SRCROOT"}}));
        EXPECT_EQ(location.contains("region"), i > 0) << i;
        if (i > 0) {
            EXPECT_EQ(location["region"]["startLine"], i);
        }
        EXPECT_EQ(results[i]["properties"]["his"], i == 5);
    }
}

// A category for uploads per component, the repository and branch, and a cap that leaves
// findings out: the most serious stay (priority, then the summary's file order), their
// fingerprints as in the whole log, and the log says how many were left out.
TEST(SarifLog, NamesTheUploadAndSaysWhatTheCapLeftOut) {
    const std::vector<Finding> findings = {
        testFinding("Src\\Src_NV\\a.c", 1, 9), testFinding("Src\\Src_NV\\a.c", 2, 3),
        testFinding("Src\\Src_NV\\b.c", 1, 3), testFinding("Src\\Src_NV\\b.c", 2, 3),
        testFinding("Src\\Src_NV\\b.c", 3, 1), testFinding("Src\\Src_NV\\c.c", 1, 9)};
    const json whole = sarifOf(findings);
    const json log =
        sarifOf(findings, {"P", "T", "4f2a9c1", "2026.12.08", "23:59:07", "ecu/core",
                           "https://git.example.com/ecu.git", "main", 4, "2026-12-08T22:59:07Z"});
    const json& run = log["runs"][0];
    EXPECT_EQ(run["automationDetails"]["id"], "ecu/core/");
    EXPECT_EQ(run["versionControlProvenance"],
              json::parse(R"([{"repositoryUri":"https://git.example.com/ecu.git",
                  "revisionId":"4f2a9c1","branch":"refs/heads/main",
                  "mappedTo":{"uriBaseId":"SRCROOT"}}])"));
    EXPECT_EQ(run["properties"]["branch"], "main");
    EXPECT_EQ(run["properties"]["reviewMaxFindings"], 4);
    EXPECT_EQ(run["properties"]["omittedFindings"], 2);
    EXPECT_EQ(run["invocations"][0]["executionSuccessful"], true);
    EXPECT_EQ(run["invocations"][0]["startTimeUtc"], "2026-12-08T22:59:07Z");
    EXPECT_EQ(run["artifacts"].size(), 3u);
    EXPECT_EQ(run["invocations"][0]["toolExecutionNotifications"][0]["message"]["text"],
              "2 of 6 findings left out: --review_max_findings keeps the 4 most serious "
              "(priority, then the summary's file order).");
    // Priority 9 twice; then priority 3, b.c (three findings) before a.c (two).
    std::vector<std::string> kept;
    for (const json& result : run["results"]) {
        kept.push_back(
            result["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]
                .get<std::string>() +
            ":" +
            std::to_string(
                result["locations"][0]["physicalLocation"]["region"]["startLine"].get<int>()));
    }
    EXPECT_EQ(kept, (std::vector<std::string>{"Src/Src_NV/a.c:1", "Src/Src_NV/b.c:1",
                                              "Src/Src_NV/b.c:2", "Src/Src_NV/c.c:1"}));
    EXPECT_EQ(run["results"][3]["partialFingerprints"],
              whole["runs"][0]["results"][5]["partialFingerprints"]);
    const json all = sarifOf(findings, {"P", "T", "", "", "", "", "", "", 6});
    EXPECT_EQ(all["runs"][0]["results"].size(), 6u);
    EXPECT_EQ(all["runs"][0]["properties"]["omittedFindings"], 0);
    EXPECT_FALSE(all["runs"][0]["invocations"][0].contains("toolExecutionNotifications"));
}

// A rule is described by all its findings, whatever their order: every reference of a
// compound one, a text without any finding's identifiers, the level most of them have.
TEST(SarifLog, DescribesEachRuleFromAllItsFindings) {
    const std::vector<Finding> findings = {
        withReference(testFinding("Src\\Src_NV\\a.c", 1, 5, 2982, "'x' is never used"),
                      " MISRA C:2012 Rule-2.2; MISRA C:2012 Rule-1.3"),
        withReference(testFinding("Src\\Src_NV\\b.c", 2, 5, 2982, "'y' is never used"),
                      " MISRA C:2012 Rule-2.2"),
        withReference(testFinding("Src\\Src_NV\\b.c", 3, 9, 2982, "\"z\" is never used"),
                      "MISRA C:2012 Dir-4.1 ;x"),
    };
    for (int turn = 0; turn < 3; ++turn) {
        std::vector<Finding> turned = findings;
        std::rotate(turned.begin(), turned.begin() + turn, turned.end());
        const json log = sarifOf(turned);
        const json& rule = log["runs"][0]["tool"]["driver"]["rules"][0];
        EXPECT_EQ(rule["properties"]["tags"],
                  json({"MISRA C:2012 Dir-4.1", "MISRA C:2012 Rule-1.3", "MISRA C:2012 Rule-2.2"}))
            << turn;
        EXPECT_FALSE(rule["properties"].contains("misraRule")) << "several rules";
        EXPECT_EQ(rule["shortDescription"]["text"], "\"...\" is never used.") << turn;
        EXPECT_EQ(rule["defaultConfiguration"]["level"], "warning") << "priority 5, twice";
    }
    // On a tie, the highest priority's level.
    const json tie = sarifOf(
        {testFinding("Src\\Src_NV\\a.c", 1, 2, 7), testFinding("Src\\Src_NV\\a.c", 2, 8, 7)});
    EXPECT_EQ(tie["runs"][0]["tool"]["driver"]["rules"][0]["defaultConfiguration"]["level"],
              "error");
}

std::vector<std::string> fingerprints(const json& log) {
    std::vector<std::string> found;
    for (const json& result : log["runs"][0]["results"]) {
        found.push_back(result["partialFingerprints"]["vendrikFinding/v1"]);
    }
    return found;
}

TEST(SarifLog, FingerprintsStayWhenLinesMoveAndDifferWithinARun) {
    const auto findingsAt = [](std::uint32_t first, std::uint32_t second) {
        return std::vector<Finding>{testFinding("Src\\Src_NV\\a.c", first, 3, 2000, "x"),
                                    testFinding("Src\\Src_NV\\a.c", second, 3, 2000, "x"),
                                    testFinding("Src\\Src_NV\\a.c", second + 1, 3, 2000, "y"),
                                    testFinding("Src\\Src_NV\\b.c", first, 3, 2000, "x")};
    };
    const std::vector<std::string> before = fingerprints(sarifOf(findingsAt(10, 20)));
    const std::vector<std::string> after = fingerprints(sarifOf(findingsAt(15, 40)));
    EXPECT_EQ(before, after);
    EXPECT_EQ(std::set(before.begin(), before.end()).size(), before.size());
    EXPECT_EQ(before[0].substr(0, 16), before[1].substr(0, 16)) << "same file, number, text";
    EXPECT_EQ(before[0].substr(16), ":1");
    EXPECT_EQ(before[1].substr(16), ":2");
}

// Two file names whose 64-bit hashes are equal (found by a Pollard-rho search): findings of
// both with the same message number and text still get fingerprints of their own, and the
// first in list order keeps the hash it always had.
TEST(SarifLog, FingerprintsStayUniqueUnderAHashCollision) {
    const char* first = "Src\\Src_NV\\c40cd54e1ab319de1.c";
    const char* second = "Src\\Src_NV\\cda2f1e4f9149c472.c";
    const std::vector<std::string> colliding = fingerprints(
        sarifOf({testFinding(first, 1, 3, 2000, "x"), testFinding(second, 1, 3, 2000, "x"),
                 testFinding(second, 2, 3, 2000, "x")}));
    const std::vector<std::string> alone =
        fingerprints(sarifOf({testFinding(first, 1, 3, 2000, "x")}));
    ASSERT_EQ(colliding.size(), 3u);
    EXPECT_EQ(std::set(colliding.begin(), colliding.end()).size(), 3u)
        << colliding[0] << " " << colliding[1] << " " << colliding[2];
    EXPECT_EQ(colliding[0], alone[0]);
    EXPECT_EQ(colliding[1].substr(0, 16), colliding[2].substr(0, 16));
    EXPECT_EQ(colliding[2].substr(16), ":2");
}

// A large log reaches the sink in pieces of about 1 MiB, never whole.
TEST(SarifLog, HandsTheLogOnInPieces) {
    std::vector<Finding> many;
    for (std::uint32_t line = 1; line <= 20000; ++line) {
        many.push_back(testFinding("Src\\Src_NV\\a.c", line, 3, 2000, "a longer message text"));
    }
    const FindingsList list = sortedList(many);
    std::vector<std::size_t> pieces;
    std::string whole;
    EXPECT_TRUE(writeSarifLog(list, {"P", "T", "", "", ""}, [&](std::string_view piece) {
        pieces.push_back(piece.size());
        whole += piece;
        return true;
    }));
    EXPECT_GT(pieces.size(), 3u);
    EXPECT_LT(*std::max_element(pieces.begin(), pieces.end()), (std::size_t{1} << 20) + 4096);
    EXPECT_EQ(json::parse(whole)["runs"][0]["results"].size(), 20000u);
}

TEST(SarifLog, StopsWhenTheSinkFails) {
    std::vector<Finding> many;
    for (std::uint32_t line = 1; line <= 5000; ++line) {
        many.push_back(testFinding("Src\\Src_NV\\a.c", line, 3, 2000, "a longer message text"));
    }
    const FindingsList list = sortedList(many);
    int pieces = 0;
    EXPECT_FALSE(writeSarifLog(list, {"P", "T", "", "", ""}, [&](std::string_view) {
        ++pieces;
        return false;
    }));
    EXPECT_EQ(pieces, 1);
}

} // namespace
} // namespace vendrik
