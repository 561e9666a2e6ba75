#include "end_to_end/history_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

namespace vendrik::test_support {
namespace {

using nlohmann::json;
using HistoryTriage = OnEachBackend;

const std::string base =
    reportLine("a.c", 10, 3, 2000, "No else") + reportLine("b.c", 5, 5, 2982, "Redundant");
// Two new findings: a.c:30 and c.c:7.
const std::string next =
    base + reportLine("a.c", 30, 9, 2880, "Unreachable") + reportLine("c.c", 7, 4, 1503, "Unused");

/// A history of two runs, the second adding two findings.
struct Triaged : FindingsHistory {
    explicit Triaged(const std::string& backend) : FindingsHistory(backend) {
        add("aaa111", base, "2026.12.01");
        add("bbb222", next, "2026.12.02");
    }
    ProgramResult triage(const std::string& command, std::vector<std::string> more) {
        std::vector<std::string> arguments = {"triage", command, "--database=" + path,
                                              "--platform=TargetA", "--project=Ecu"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return history(arguments);
    }
    void set(const std::string& file, int line, const std::string& state,
             std::vector<std::string> more = {}) {
        more.insert(more.end(), {"--file=Src/Src_NV/" + file, "--line=" + std::to_string(line),
                                 "--state=" + state});
        if (std::none_of(more.begin(), more.end(),
                         [](const std::string& o) { return o.rfind("--reason", 0) == 0; })) {
            more.push_back("--reason=checked by hand");
        }
        const ProgramResult set = triage("set", more);
        ASSERT_EQ(set.status, 0) << set.errors;
    }
    json list(std::vector<std::string> more = {}) {
        more.push_back("--format=json");
        const ProgramResult listed = triage("list", more);
        EXPECT_EQ(listed.status, 0) << listed.errors;
        return json::parse(listed.console);
    }
};

/// "file:line state source" of each entry of a JSON list with decisions.
std::set<std::string> decided(const json& entries) {
    std::set<std::string> found;
    for (const json& entry : entries) {
        found.insert(entry.value("file", std::string("-")) + ":" +
                     std::to_string(entry.value("line", 0)) + " " +
                     entry["decision"]["state"].get<std::string>() +
                     (entry["decision"]["expired"].get<bool>() ? " expired" : "") + " " +
                     entry["decision"]["source"].get<std::string>().substr(0, 5));
    }
    return found;
}

TEST_P(HistoryTriage, SuppressedFindingsLeaveTheGateButAreListedApart) {
    Triaged db(GetParam());
    EXPECT_EQ(db.gateJson({"--max-new=0"})["limitsPassed"], json({"new 2 > 0"}));
    db.set("a.c", 30, "false-positive", {"--author=ana"});
    db.set("c.c", 7, "confirmed");
    json gate = db.gateJson({"--max-new=0"});
    EXPECT_EQ(gate["limitsPassed"], json({"new 1 > 0"})) << "a confirmed finding still counts";
    EXPECT_EQ(gate["suppressed"], 1);
    db.set("c.c", 7, "deviation", {"--record=DEV-012"});
    gate = db.gateJson({"--max-new=0"});
    EXPECT_EQ(gate["passed"], true) << gate.dump(1);
    EXPECT_EQ(db.gateJson({"--max-new=0", "--count-suppressed"})["passed"], false);
    const ProgramResult text = db.run("gate", {"--max-new=0"});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.console.find("Suppressed new findings (not counted): 2"), std::string::npos)
        << text.console;
    EXPECT_NE(text.console.find("[false-positive: checked by hand (ana, "), std::string::npos);
    EXPECT_NE(text.console.find("record DEV-012; database)]"), std::string::npos);
    // Every change is kept, oldest first; the newest is in force.
    const ProgramResult log = db.triage("log", {"--format=json"});
    const json events = json::parse(log.console);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1]["decision"]["state"], "confirmed");
    EXPECT_EQ(events[2]["decision"]["state"], "deviation");
    EXPECT_EQ(decided(db.list()), (std::set<std::string>{"Src/Src_NV/a.c:30 false-positive datab",
                                                         "Src/Src_NV/c.c:7 deviation datab"}));
}

TEST_P(HistoryTriage, DecisionsFollowTheFindingAcrossShiftsCopiesAndMoves) {
    Triaged db(GetParam());
    db.set("a.c", 30, "accepted");
    // a.c shifts down by 5 and gains a copy of the decided finding above it.
    db.add("ccc333",
           base + reportLine("a.c", 20, 9, 2880, "Unreachable") +
               reportLine("a.c", 35, 9, 2880, "Unreachable") +
               reportLine("c.c", 7, 4, 1503, "Unused"),
           "2026.12.03");
    EXPECT_EQ(decided(db.list()), std::set<std::string>{"Src/Src_NV/a.c:35 accepted datab"});
    // a.c moves to another folder with its findings.
    std::string moved =
        reportLine("b.c", 5, 5, 2982, "Redundant") + reportLine("c.c", 7, 4, 1503, "Unused");
    for (const auto& [line, number, text] :
         {std::tuple{11, 2000, "No else"}, {21, 2880, "Unreachable"}, {36, 2880, "Unreachable"}}) {
        moved += reportLine("Lib\\a.c", line, 9, number, text);
    }
    db.add("ddd444", moved, "2026.12.04");
    EXPECT_EQ(decided(db.list()), std::set<std::string>{"Src/Src_NV/Lib/a.c:36 accepted datab"});
    EXPECT_EQ(db.gateJson({"--max-new=0"})["limitsPassed"], json::array());
    // Fixed, then back: a new finding that the decision does not reach.
    db.add("eee555", base, "2026.12.05");
    db.add("fff666", next, "2026.12.06");
    EXPECT_EQ(decided(db.list()), std::set<std::string>{});
    EXPECT_EQ(decided(db.list({"--stale"})).size(), 1u);
    EXPECT_EQ(db.gateJson({"--max-new=0"})["stale"].size(), 1u);
}

TEST_P(HistoryTriage, ExpiredDecisionsNoLongerSuppress) {
    Triaged db(GetParam());
    db.set("a.c", 30, "accepted", {"--expires=2026-12-31", "--approver=safety lead"});
    db.set("c.c", 7, "false-positive");
    json gate = db.gateJson({"--max-new=0", "--today=2026-12-15"});
    EXPECT_EQ(gate["passed"], true);
    EXPECT_EQ(places(gate["expiring"]), Places{"Src/Src_NV/a.c:30 2880"});
    EXPECT_EQ(db.gateJson({"--max-new=0", "--today=2026-11-15"})["expiring"].size(), 0u);
    gate = db.gateJson({"--max-new=0", "--today=2027-01-01"});
    EXPECT_EQ(gate["limitsPassed"], json({"new 1 > 0"}));
    EXPECT_EQ(decided(db.list({"--today=2027-01-01"})),
              (std::set<std::string>{"Src/Src_NV/a.c:30 accepted expired datab",
                                     "Src/Src_NV/c.c:7 false-positive datab"}));
    EXPECT_NE(db.run("gate", {"--max-new=0", "--today=2027-01-01"})
                  .console.find("accepted (expired 2026-12-31)"),
              std::string::npos);
}

TEST_P(HistoryTriage, TheRulesFileWinsAndIsRefusedWhenItIsWrong) {
    Triaged db(GetParam());
    db.set("a.c", 30, "false-positive");
    const std::string rules = db.scratch.path + "/rules.yaml";
    writeFile(rules, "rules:\n"
                     "  - file: \"Src/Src_NV/*.c\"\n"
                     "    number: 2880\n"
                     "    state: confirmed\n"
                     "    reason: \"real, fix it\"\n"
                     "  - misra: \"Rule-15.7\"\n"
                     "    text: Unused\n"
                     "    platform: TargetA\n"
                     "    state: accepted\n"
                     "    reason: unused on purpose\n"
                     "  - fingerprint: \"0000000000000000:1\"\n"
                     "    state: accepted\n"
                     "    reason: gone\n");
    EXPECT_EQ(decided(db.list({"--decisions=" + rules})),
              (std::set<std::string>{"Src/Src_NV/a.c:30 confirmed rules",
                                     "Src/Src_NV/c.c:7 accepted rules"}));
    const json gate = db.gateJson({"--max-new=0", "--decisions=" + rules});
    EXPECT_EQ(gate["limitsPassed"], json({"new 1 > 0"}));
    EXPECT_EQ(gate["stale"].size(), 1u) << "the rule at line 11 matches nothing";
    const std::pair<std::string, std::string> refused[] = {
        {"rules:\n  - file: a.c\n    colour: red\n    state: accepted\n    reason: x\n",
         "rules.yaml:3: unknown key 'colour'"},
        {"rules:\n  - number: 1\n    state: accepted\n    reason: x\n    expires: 2026-02-30\n",
         "rules.yaml:2: expires: not a date"},
        {"rules:\n  - number: 2880\n    state: accepted\n    reason: x\n"
         "  - file: \"*/*/a.c\"\n    state: false-positive\n    reason: y\n",
         "rules.yaml:2 and " + rules + ":5 give Src/Src_NV/a.c:30"},
        {"rules:\n  - number: 2880\n    state: deviation\n    reason: x\n",
         "rules.yaml:2: a deviation needs its record"},
        {"rules:\n  - number: 2880\n    state: accepted\n",
         "rules.yaml:2: a decision needs a reason"},
        {"rules: [\n", "rules.yaml:"},
    };
    for (const auto& [text, message] : refused) {
        writeFile(rules, text);
        const ProgramResult gated = db.run("gate", {"--max-new=0", "--decisions=" + rules});
        EXPECT_EQ(gated.status, 2) << text;
        EXPECT_NE(gated.errors.find(message), std::string::npos) << gated.errors;
    }
}

TEST_P(HistoryTriage, RefusesDecisionsOnWhatDoesNotExist) {
    Triaged db(GetParam());
    const std::vector<std::vector<std::string>> refused = {
        {"--fingerprint=0000000000000000:1", "--state=accepted", "--reason=x"},
        {"--file=Src/Src_NV/a.c", "--line=31", "--state=accepted", "--reason=x"},
        {"--file=Src/Src_NV/a.c", "--line=30", "--state=accepted", "--reason=x", "--run=zzz"},
        {"--file=Src/Src_NV/a.c", "--line=30", "--state=accepted", "--reason=  "},
        {"--file=Src/Src_NV/a.c", "--line=30", "--state=won't-fix", "--reason=x"},
        {"--file=Src/Src_NV/a.c", "--line=30", "--state=accepted", "--reason=x",
         "--expires=31.12.2026"},
    };
    for (const auto& arguments : refused) {
        const ProgramResult set = db.triage("set", arguments);
        EXPECT_EQ(set.status, 2) << arguments.back();
        EXPECT_NE(set.errors, "");
    }
    EXPECT_EQ(history({"triage", "set", "--database=" + db.path, "--platform=TargetA",
                       "--project=Nope", "--fingerprint=x", "--state=accepted", "--reason=x"})
                  .status,
              2);
    EXPECT_EQ(json::parse(db.triage("log", {"--format=json"}).console).size(), 0u);
}

TEST_P(HistoryTriage, ConcurrentReviewersKeepEveryEvent) {
    Triaged db(GetParam());
    std::vector<std::string> commands;
    for (int reviewer = 0; reviewer < 6; ++reviewer) {
        commands.push_back(
            "'" + std::string(VENDRIK_HISTORY_PROGRAM) + "' triage set '--database=" + db.path +
            "' --platform=TargetA --project=Ecu --file=Src/Src_NV/a.c "
            "--line=30 --state=accepted --reason=r" +
            std::to_string(reviewer) + " --author=reviewer" + std::to_string(reviewer) + " &");
    }
    std::string script;
    for (const std::string& command : commands) {
        script += command + "\n";
    }
    ASSERT_EQ(runCommand({"bash", "-c", script + "wait"}).status, 0);
    const json events = json::parse(db.triage("log", {"--format=json"}).console);
    ASSERT_EQ(events.size(), 6u);
    const json listed = db.list();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0]["decision"]["author"], events[5]["decision"]["author"]);
}

TEST_P(HistoryTriage, ExportsTheDatabasesDecisionsAsARulesFile) {
    Triaged db(GetParam());
    db.set("a.c", 30, "accepted",
           {"--reason=says \"so\": yes\n# not a comment", "--expires=2027-06-30"});
    db.set("c.c", 7, "deviation", {"--record=DEV-012"});
    const ProgramResult exported = db.triage("export", {});
    ASSERT_EQ(exported.status, 0) << exported.errors;
    const std::string rules = db.scratch.path + "/exported.yaml";
    writeFile(rules, exported.console);
    const json fromRules = db.list({"--decisions=" + rules});
    const json fromDatabase = db.list();
    ASSERT_EQ(fromRules.size(), 2u) << exported.console;
    for (std::size_t at = 0; at < 2; ++at) {
        for (const char* key : {"state", "reason", "record", "expires"}) {
            EXPECT_EQ(fromRules[at]["decision"][key], fromDatabase[at]["decision"][key]) << key;
        }
        EXPECT_EQ(fromRules[at]["decision"]["source"].get<std::string>().rfind("rules ", 0), 0u);
    }
}

TEST_P(HistoryTriage, SarifComparisonCarriesSuppressions) {
    Triaged db(GetParam());
    db.set("a.c", 30, "false-positive", {"--reason=sized by the caller"});
    const json log = json::parse(db.run("compare", {"--format=sarif"}).console);
    int suppressed = 0;
    for (const json& result : log["runs"][0]["results"]) {
        if (result.contains("suppressions")) {
            ++suppressed;
            EXPECT_EQ(result["suppressions"],
                      json::parse(R"([{"kind": "external", "status": "accepted",
                                       "justification": "sized by the caller"}])"));
        }
    }
    EXPECT_EQ(suppressed, 1);
    const json omitted =
        json::parse(db.run("compare", {"--format=sarif", "--suppressed=omit"}).console);
    EXPECT_EQ(omitted["runs"][0]["results"].size() + 1, log["runs"][0]["results"].size());
}

TEST_P(HistoryTriage, ShowsHostileTextsAsText) {
    Triaged db(GetParam());
    db.set("a.c", 30, "accepted", {"--reason=line\n| cell <b>\x1b[31m", "--author=\x7f|*x*"});
    const ProgramResult text = db.run("compare");
    EXPECT_NE(text.console.find("accepted: line\\x0A| cell <b>\\x1B[31m (\\x7F|*x*, "),
              std::string::npos)
        << text.console;
    const ProgramResult markdown = db.run("compare", {"--format=markdown"});
    EXPECT_EQ(markdown.console.find("<b>"), std::string::npos);
    EXPECT_EQ(markdown.console.find("|*x*"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryTriage, ::testing::ValuesIn(historyBackends()),
                         [](const auto& backend) { return backend.param; });

} // namespace
} // namespace vendrik::test_support
