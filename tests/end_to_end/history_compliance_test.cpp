#include "end_to_end/history_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <tuple>

namespace vendrik::test_support {
namespace {

using nlohmann::json;
using HistoryCompliance = OnEachBackend;

// Rule 17.7 and 11.3 are Required, 11.5 and 15.5 Advisory, 9.1 Mandatory; one finding
// names two guidelines, one none.
const std::string report =
    reportLine("Drivers/adc.c", 10, 5, 3200, "Return value unused", " MISRA C:2012 Rule-17.7") +
    reportLine("Drivers/adc.c", 20, 7, 3305, "Cast of a pointer",
               " MISRA C:2012 Rule-11.3; MISRA C:2012 Rule-11.5") +
    reportLine("App/main.c", 30, 3, 2010, "Early return", " MISRA C:2012 Rule-15.5") +
    reportLine("App/main.c", 40, 9, 2961, "Not initialised", " MISRA C:2012 Rule-9.1") +
    reportLine("App/main.c", 50, 2, 5310, "HIS metric STCYC exceeds 20", " ");

struct Compliance : FindingsHistory {
    explicit Compliance(const std::string& backend) : FindingsHistory(backend) {
        add("aaa111", report, "2026.12.01");
        write("register.yaml", "records:\n"
                               "  - id: DEV-012\n"
                               "    guidelines: [\"Rule 11.3\", \"Rule 11.5\"]\n"
                               "    files: [\"Src/Src_NV/Drivers/*.c\"]\n"
                               "    circumstances: register access through volatile pointers\n"
                               "    reason: hardware access\n"
                               "    risk: reviewed per driver; covered by the HIL tests\n"
                               "    approver: safety lead\n"
                               "    date: 2026-11-02\n");
        write("plan.yaml", "standard: \"MISRA C:2012\"\nguidelines:\n"
                           "  - {guideline: \"Rule 15.5\", category: disapplied}\n");
    }
    std::string write(const std::string& name, const std::string& text) {
        const std::string file = scratch.path + "/" + name;
        writeFile(file, text);
        return file;
    }
    std::vector<std::string> plans() {
        return {"--recategorization=" + scratch.path + "/plan.yaml",
                "--deviations=" + scratch.path + "/register.yaml", "--today=2026-12-09"};
    }
    ProgramResult set(const std::string& file, int line, const std::vector<std::string>& more) {
        std::vector<std::string> arguments = {"triage",
                                              "set",
                                              "--database=" + path,
                                              "--platform=TargetA",
                                              "--project=Ecu",
                                              "--file=Src/Src_NV/" + file,
                                              "--line=" + std::to_string(line),
                                              "--reason=reviewed"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return history(arguments);
    }
    json summary(int status, std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = plans();
        arguments.insert(arguments.end(), more.begin(), more.end());
        arguments.push_back("--format=json");
        const ProgramResult made = run("compliance", arguments);
        EXPECT_EQ(made.status, status) << made.errors;
        return json::parse(made.console);
    }
};

json rowOf(const json& summary, const std::string& guideline) {
    for (const json& row : summary["tables"][0]["rows"]) {
        if (row["guideline"] == guideline) {
            return row;
        }
    }
    return nullptr;
}

// Decisions take a run from not compliant to compliant: each checked against MISRA's rules
// when it is set, the deviation against the register; the counts reconcile with the run.
TEST_P(HistoryCompliance, DecisionsWithRecordsMakeTheRunCompliant) {
    Compliance gcs(GetParam());
    json before = gcs.summary(1);
    EXPECT_EQ(
        before["verdict"]["deciding"],
        json::array({"MISRA C:2012 Rule 9.1", "MISRA C:2012 Rule 11.3", "MISRA C:2012 Rule 17.7"}));
    EXPECT_EQ(rowOf(before, "Rule 11.5")["compliance"], "Violations"); // Advisory
    EXPECT_EQ(rowOf(before, "Rule 15.5")["compliance"], "Disapplied");
    EXPECT_EQ(before["reconciliation"],
              json({{"inRows", 4}, {"apart", 1}, {"allErrors", 5}, {"reconciled", true}}));
    EXPECT_EQ(before["unreferenced"].size(), 1U);

    // Refused when set: accepted on a Required guideline, anything but false positive on a
    // Mandatory one, a deviation citing a record that does not cover the file.
    const std::vector<std::string> plans = {gcs.plans()[0], gcs.plans()[1]};
    const auto refused = [&](const std::string& file, int line, std::vector<std::string> more,
                             const std::string& why) {
        more.insert(more.end(), plans.begin(), plans.end());
        const ProgramResult set = gcs.set(file, line, more);
        EXPECT_EQ(set.status, 2) << why;
        EXPECT_NE(set.errors.find(why), std::string::npos) << set.errors;
    };
    refused("Drivers/adc.c", 10, {"--state=accepted"}, "accepted on the Required Rule 17.7");
    refused("App/main.c", 40, {"--state=deviation", "--record=DEV-012"},
            "deviation on the Mandatory Rule 9.1");
    refused("Drivers/adc.c", 10, {"--state=deviation", "--record=DEV-099"},
            "deviation citing the unknown record DEV-099");
    EXPECT_EQ(gcs.summary(1)["faults"].size(), 0U); // nothing was written

    for (const auto& [file, line, more] :
         {std::tuple<std::string, int, std::vector<std::string>>{
              "Drivers/adc.c", 10, {"--state=false-positive"}},
          {"Drivers/adc.c", 20, {"--state=deviation", "--record=DEV-012"}},
          {"App/main.c", 40, {"--state=false-positive"}}}) {
        std::vector<std::string> arguments = more;
        arguments.insert(arguments.end(), plans.begin(), plans.end());
        const ProgramResult set = gcs.set(file, line, arguments);
        EXPECT_EQ(set.status, 0) << set.errors;
    }
    json after = gcs.summary(0);
    EXPECT_EQ(after["verdict"]["compliant"], true);
    EXPECT_EQ(after["verdict"]["deviated"], json::array({"MISRA C:2012 Rule 11.3"}));
    EXPECT_EQ(rowOf(after, "Rule 11.5")["compliance"], "Deviations");
    EXPECT_EQ(rowOf(after, "Rule 11.3")["records"], json::array({"DEV-012"}));
    EXPECT_EQ(rowOf(after, "Rule 17.7")["falsePositive"], 1);
    EXPECT_EQ(rowOf(after, "Rule 17.7")["compliance"], "Compliant");
    EXPECT_EQ(rowOf(after, "Rule 1.1")["compliance"], "no findings; enforcement not stated");

    // Past the record's expiry the deviation no longer holds, and says why.
    gcs.write("register.yaml", "records:\n  - {id: DEV-012, guidelines: [\"Rule 11.3\", "
                               "\"Rule 11.5\"], circumstances: c, reason: r, risk: k, "
                               "approver: a, date: 2026-01-01, expires: 2026-06-30}\n");
    json expired = gcs.summary(1);
    ASSERT_EQ(expired["faults"].size(), 2U);
    EXPECT_EQ(expired["faults"][0]["fault"],
              "deviation citing the record DEV-012, expired on 2026-06-30");

    // The gate fails on it beside its limits.
    const ProgramResult gate =
        gcs.run("gate", {"--compliance", gcs.plans()[0], gcs.plans()[1], "--today=2026-12-09"});
    EXPECT_EQ(gate.status, 1) << gate.errors;
    EXPECT_NE(gate.console.find("compliance: not compliant: Violations of MISRA C:2012 Rule 11.3"),
              std::string::npos)
        << gate.console;
}

// A rules file's decision is not refused but listed as a fault, and counts as a violation.
TEST_P(HistoryCompliance, ListsARulesFileDecisionThatBreaksTheRules) {
    Compliance gcs(GetParam());
    const std::string rules = gcs.write(
        "rules.yaml", "rules:\n  - number: 2961\n    state: accepted\n    reason: \"later\"\n");
    json summary = gcs.summary(1, {"--decisions=" + rules});
    ASSERT_EQ(summary["faults"].size(), 1U);
    EXPECT_EQ(summary["faults"][0]["source"], "rules " + rules + ":2");
    EXPECT_EQ(summary["faults"][0]["fault"],
              "accepted on the Mandatory Rule 9.1: only false-positive is allowed");
    EXPECT_EQ(rowOf(summary, "Rule 9.1")["open"], 1);
}

TEST_P(HistoryCompliance, RefusesWhatItCannotSummarize) {
    Compliance gcs(GetParam());
    // A run known only from its script.
    const std::string run =
        convertRun(gcs.scratch, "TargetA", "Ecu", "bbb222", report, "2026.12.02", "02:00:00");
    ASSERT_EQ(history({"load", "--database=" + gcs.path, run + ".sql"}).status, 0);
    const ProgramResult scriptOnly = gcs.run("compliance");
    EXPECT_EQ(scriptOnly.status, 2);
    EXPECT_NE(scriptOnly.errors.find("known only from its script"), std::string::npos)
        << scriptOnly.errors;
    // An illegal plan, naming its line and the rule broken; nothing is written.
    const std::string plan =
        gcs.write("illegal.yaml", "standard: \"MISRA C:2012\"\nguidelines:\n"
                                  "  - {guideline: \"Rule 17.7\", category: disapplied}\n");
    const ProgramResult illegal =
        gcs.run("compliance", {"--run=aaa111", "--recategorization=" + plan});
    EXPECT_EQ(illegal.status, 2);
    EXPECT_EQ(illegal.console, "");
    EXPECT_NE(illegal.errors.find(plan + ":3: illegal re-categorization of Rule 17.7 from "
                                         "required to disapplied"),
              std::string::npos)
        << illegal.errors;
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryCompliance, ::testing::ValuesIn(historyBackends()));

} // namespace
} // namespace vendrik::test_support
