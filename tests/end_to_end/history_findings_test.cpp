#include "end_to_end/history_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>

namespace vendrik::test_support {
namespace {

using nlohmann::json;

using HistoryFindings = OnEachBackend;

const std::string night1 =
    reportLine("a.c", 10, 3, 2000, "No else") + reportLine("a.c", 20, 9, 2880, "Unreachable") +
    reportLine("b.c", 5, 5, 2982, "Redundant") + reportLine("b.c", 9, 2, 5310, "Too deep");
// a.c moves down by 3 and gains a copy of its finding above it; b.c loses one and gains one.
const std::string night2 =
    reportLine("a.c", 4, 3, 2000, "No else") + reportLine("a.c", 13, 3, 2000, "No else") +
    reportLine("a.c", 23, 9, 2880, "Unreachable") + reportLine("b.c", 6, 8, 1503, "Unused") +
    reportLine("b.c", 9, 2, 5310, "Too deep");

TEST_P(HistoryFindings, GatesOnTheFindingsThatAreNew) {
    FindingsHistory db(GetParam());
    db.add("bbb222", night2, "2026.12.02"); // loaded out of order
    db.add("aaa111", night1, "2026.12.01");
    const json gate = db.gateJson({"--max-new=1"});
    EXPECT_EQ(gate["passed"], false);
    EXPECT_EQ(gate["base"]["githash"], "aaa111");
    EXPECT_EQ(places(gate["new"]), (Places{"Src/Src_NV/a.c:4 2000", "Src/Src_NV/b.c:6 1503"}));
    EXPECT_EQ(places(gate["fixed"]), Places{"Src/Src_NV/b.c:5 2982"});
    EXPECT_EQ(gate["limitsPassed"], json({"new 2 > 1"}));

    // Per band, and on the growth of the total.
    EXPECT_EQ(db.gateJson({"--watch=his", "--max-new-8-9=1", "--max-new-0-4=0"})["passed"], false);
    EXPECT_EQ(db.gateJson({"--watch=his", "--max-new-8-9=1", "--max-new-his=0"})["passed"], true);
    EXPECT_EQ(db.gateJson({"--watch=his", "--max-increase=1"})["passed"], true);
    EXPECT_EQ(db.gateJson({"--watch=his", "--max-increase=0"})["limitsPassed"],
              json({"increase 1 > 0"}));

    // Text and Markdown list them too; totals come first, then the files that changed.
    const ProgramResult text = db.run("gate", {"--max-new=0"});
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.console.find("New findings: 2\n  Src/Src_NV/a.c:4 2000 (priority 3): No else."),
              std::string::npos)
        << text.console;
    EXPECT_NE(text.console.find("Fixed findings: 1\n  Src/Src_NV/b.c:5 2982 (priority 5)"),
              std::string::npos)
        << text.console;
    const ProgramResult compared = db.run("compare");
    EXPECT_LT(compared.console.find("total"), compared.console.find("Files that changed: 2 of 2"))
        << compared.console;

    // For code review: head's findings with their state, and base's fixed ones.
    const ProgramResult sarif = db.run("compare", {"--format=sarif"});
    ASSERT_EQ(sarif.status, 0) << sarif.errors;
    std::map<std::string, Places> states;
    const json log = json::parse(sarif.console);
    for (const json& result : log["runs"][0]["results"]) {
        const json& location = result["locations"][0]["physicalLocation"];
        states[result["baselineState"].get<std::string>()].push_back(
            location["artifactLocation"]["uri"].get<std::string>() + ":" +
            std::to_string(location["region"]["startLine"].get<int>()));
    }
    EXPECT_EQ(states["new"], (Places{"Src/Src_NV/a.c:4", "Src/Src_NV/b.c:6"}));
    EXPECT_EQ(states["updated"], (Places{"Src/Src_NV/a.c:13", "Src/Src_NV/a.c:23"}));
    EXPECT_EQ(states["unchanged"], Places{"Src/Src_NV/b.c:9"});
    EXPECT_EQ(states["absent"], Places{"Src/Src_NV/b.c:5"});

    // The page's overview and headline count them too.
    const std::string output = db.scratch.path + "/page.html";
    ASSERT_EQ(history({"page", "--database=" + db.path, "--output=" + output}).status, 0);
    const std::string page = readFile(output);
    EXPECT_NE(page.find("5</strong> findings now, +1 (2 new, 1 fixed)"), std::string::npos);
    // ... and list them.
    EXPECT_NE(page.find("New findings in the newest run: 2</h4>"), std::string::npos);
    EXPECT_NE(
        page.find(
            "<tr><td>Src/Src_NV/a.c</td><td>4</td><td>2000</td><td>3</td><td class=\"text\">No "
            "else.</td></tr>"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("Fixed findings in the newest run: 1</h4>"), std::string::npos);
}

TEST_P(HistoryFindings, ARetryIsGatedAgainstTheRunBeforeIt) {
    FindingsHistory db(GetParam());
    db.add("aaa111", night1, "2026.12.01");
    db.add("bbb222", night2, "2026.12.02");
    db.add("bbb222", night2, "2026.12.02", "02:30:00"); // the same hash converted again
    const json retry = db.gateJson({"--max-new=0"});
    EXPECT_EQ(retry["passed"], false);
    EXPECT_EQ(retry["base"]["githash"], "aaa111");
    EXPECT_EQ(retry["head"]["time"], "02:30:00");
    // The whole hash names its newest load.
    const json named = db.gateJson({"--max-new=0", "--head=bbb222", "--base=aaa111"});
    EXPECT_EQ(named["head"]["time"], "02:30:00");
}

TEST_P(HistoryFindings, ComparesWithTheLastRunThatPassed) {
    FindingsHistory db(GetParam());
    db.add("aaa111", night1, "2026.12.01");
    EXPECT_EQ(db.run("gate", {"--record"}).status, 0) << "no base: passes";
    db.add("bbb222", night2, "2026.12.02");
    EXPECT_EQ(db.run("gate", {"--record", "--max-new=0"}).status, 1);
    db.add("ccc333", night2, "2026.12.03");
    EXPECT_EQ(db.gateJson({"--max-new=0"})["passed"], true) << "nothing new since bbb222";
    const json gate = db.gateJson({"--max-new=0", "--base=last-passing"});
    EXPECT_EQ(gate["base"]["githash"], "aaa111");
    EXPECT_EQ(gate["passed"], false);
}

TEST_P(HistoryFindings, RecordsARunWithZeroFindings) {
    FindingsHistory db(GetParam());
    db.add("aaa111", night1, "2026.12.01");
    const ProgramResult loaded = db.add("bbb222", "", "2026.12.02");
    EXPECT_NE(loaded.console.find(".sarif: 0 findings added"), std::string::npos) << loaded.console;
    const ProgramResult runs = history({"runs", "--database=" + db.path});
    EXPECT_NE(runs.console.find("bbb222   2026.12.02 02:00:00  0      0 "), std::string::npos)
        << runs.console;
    const json gate = db.gateJson({"--max-new=0"});
    EXPECT_EQ(gate["passed"], true);
    EXPECT_EQ(gate["fixed"].size(), 4u);
}

TEST_P(HistoryFindings, KeepsProjectsAndBranchesApart) {
    FindingsHistory db(GetParam());
    // Two projects of one platform converted in the same second: each keeps its findings
    // (their scripts collide in the table, their logs do not).
    const std::string other =
        convertRun(db.scratch, "TargetA", "Other", "aaa111", night2, "2026.12.01", "02:00:00");
    db.add("aaa111", night1, "2026.12.01");
    EXPECT_EQ(history({"load", "--database=" + db.path, other + ".sarif"}).status, 0);
    const ProgramResult compared =
        history({"compare", "--database=" + db.path, "--platform=TargetA", "--project=Other",
                 "--base=aaa111", "--format=json"});
    EXPECT_EQ(json::parse(compared.console)["totals"]["head"]["all_errors"], 5)
        << compared.console << compared.errors;

    // A merge request's run on its branch does not enter the nightly trend. The converter
    // names the branch in the log.
    const std::string request = convertRun(db.scratch, "TargetA", "Ecu", "fff999", night2,
                                           "2026.12.02", "02:00:00", {"--branch=feature/x"});
    EXPECT_EQ(history({"load", "--database=" + db.path, request + ".sarif"}).status, 0);
    EXPECT_EQ(
        history({"load", "--database=" + db.path, "--branch=feature/x", request + ".sql"}).status,
        0);
    EXPECT_EQ(db.gateJson()["head"]["githash"], "aaa111");
    const ProgramResult feature = db.run("compare", {"--branch=feature/x"});
    EXPECT_NE(feature.console.find("No base run: fff999"), std::string::npos) << feature.console;
    const ProgramResult runs = history({"runs", "--database=" + db.path, "--branch=feature/x"});
    EXPECT_NE(runs.console.find("fff999 (feature/x)"), std::string::npos) << runs.console;
    EXPECT_EQ(runs.console.find("aaa111"), std::string::npos) << runs.console;
    // With no run to compare with, the review log holds head's findings without a state,
    // and the gate's JSON names no new findings.
    const ProgramResult sarif = db.run("compare", {"--branch=feature/x", "--format=sarif"});
    ASSERT_EQ(sarif.status, 0) << sarif.errors;
    const json log = json::parse(sarif.console);
    EXPECT_EQ(log["runs"][0]["results"].size(), 5u);
    EXPECT_FALSE(log["runs"][0]["results"][0].contains("baselineState"));
    EXPECT_EQ(db.gateJson({"--branch=feature/x"})["new"], nullptr);
}

// A file moved to another folder, with one of its findings fixed on the way: its findings
// are moved, not new and fixed, and the SARIF comparison calls them unchanged.
TEST_P(HistoryFindings, FollowsAFileMovedToAnotherFolder) {
    FindingsHistory db(GetParam());
    std::string before;
    std::string after;
    for (int at = 0; at < 5; ++at) {
        const std::string text = "Finding " + std::to_string(at);
        before += reportLine("Drivers\\can.c", 10 + 10 * at, 3, 2000 + at, text);
        if (at != 2) {
            after += reportLine("Hal\\can_bus.c", 12 + 10 * at, 3, 2000 + at, text);
        }
    }
    db.add("aaa111", before + reportLine("b.c", 5, 5, 2982, "Redundant"), "2026.12.01");
    db.add("bbb222", after + reportLine("b.c", 5, 5, 2982, "Redundant"), "2026.12.02");
    const json compared = json::parse(db.run("compare", {"--format=json"}).console);
    EXPECT_EQ(places(compared["new"]), Places{});
    EXPECT_EQ(places(compared["fixed"]), Places{"Src/Src_NV/Drivers/can.c:30 2002"});
    EXPECT_EQ(compared["moved"], json::parse(R"([{"from": "Src/Src_NV/Drivers/can.c",
        "to": "Src/Src_NV/Hal/can_bus.c", "findings": 4}])"));
    const ProgramResult text = db.run("compare");
    EXPECT_NE(text.console.find("Moved files: 1\n  Src/Src_NV/Drivers/can.c -> "
                                "Src/Src_NV/Hal/can_bus.c (4 findings moved)\n"),
              std::string::npos)
        << text.console;
    const json log = json::parse(db.run("compare", {"--format=sarif"}).console);
    std::map<std::string, int> states;
    for (const json& result : log["runs"][0]["results"]) {
        ++states[result["baselineState"].get<std::string>()];
    }
    EXPECT_EQ(states, (std::map<std::string, int>{{"absent", 1}, {"unchanged", 5}}));
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryFindings, ::testing::ValuesIn(historyBackends()),
                         [](const auto& backend) { return backend.param; });

} // namespace
} // namespace vendrik::test_support
