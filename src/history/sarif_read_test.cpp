#include "history/sarif_read.h"

#include "test_support/history_scripts.h"

#include <gtest/gtest.h>

namespace vendrik::history {
namespace {

const RunKey loggedRun = {"Target A", "Ecu", "4f1c2e9", "2026.12.08", "23:59:07"};

TEST(SarifRead, ReadsTheRunAndEveryFindingOfTheConvertersLog) {
    const std::string log = test_support::logOf(
        loggedRun, {{"Src\\Src_NV\\my file \xc3\xa9.c", 12, 9, 5310, "Too deep"},
                    {"Src\\Src_NV\\a.c", 0, 4, 2000, "No else"}});
    ASSERT_TRUE(looksLikeSarifLog(" \n" + log));
    const LoggedRun logged = readSarifLog(log);
    EXPECT_EQ(logged.run, loggedRun);
    EXPECT_EQ(logged.branch, "");
    ASSERT_EQ(logged.findings.size(), 2u);
    const TrackedFinding& first = logged.findings[0];
    EXPECT_EQ(first.file, "Src/Src_NV/a.c");
    EXPECT_EQ(first.line, 0) << "no region";
    EXPECT_EQ(first.number, 2000);
    EXPECT_EQ(first.priority, 4);
    EXPECT_FALSE(first.his);
    EXPECT_EQ(first.text, "No else.");
    EXPECT_EQ(first.fingerprint.size(), 18u);
    const TrackedFinding& second = logged.findings[1];
    EXPECT_EQ(second.file, "Src/Src_NV/my file \xc3\xa9.c") << "escapes decoded";
    EXPECT_EQ(second.line, 12);
    EXPECT_TRUE(second.his);
}

TEST(SarifRead, RefusesWhatIsNotTheConvertersLog) {
    const std::string log = test_support::logOf(loggedRun, {{"Src\\Src_NV\\a.c", 3}});
    const auto changed = [&](const std::string& from, const std::string& to) {
        std::string text = log;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {log.substr(0, log.size() / 2), "it is not well-formed JSON (was it cut short?)"},
        {"[]", "it is not a SARIF 2.1.0 log"},
        {changed("\"2.1.0\"", "\"2.0.0\""), "it is not a SARIF 2.1.0 log"},
        {changed("\"2.1.0\"", "2.1"), "it is not a SARIF 2.1.0 log"},
        {changed("\"startLine\":3", "\"startLine\":\"3\""),
         "result 1 has no startLine of the right kind"},
        {changed("\"results\":[", "\"results\":[7,"), "result 1 has no ruleId of the right kind"},
        {changed("\"Vendrik\"", "\"Other\""), "its conversion does not name Vendrik"},
        {changed("\"githash\"", "\"hash\""),
         "the run's properties has no githash of the right kind"},
        {changed("2026.12.08", "08.12.2026"),
         "the run's date and time are not YYYY.MM.DD and HH:MM:SS"},
        {changed("\"ruleId\":\"2000\"", "\"ruleId\":\"R2000\""),
         "result 1 has the rule id R2000, not a message number"},
        {changed("\"priority\":3", "\"priority\":\"3\""),
         "result 1 has no priority of the right kind"},
        {changed("Src/Src_NV/a.c", "Src/%zz.c"), "the location Src/%zz.c has a malformed escape"},
        {changed("vendrikFinding/v1", "other/v1"),
         "result 1 has no vendrikFinding/v1 of the right kind"},
        {changed("23:59:07", "23:59"), "the run's date and time are not YYYY.MM.DD and HH:MM:SS"},
        {changed("Src/Src_NV/a.c", "Src/Src_NV/a.c%4"),
         "the location Src/Src_NV/a.c%4 has a malformed escape"},
        {changed("\"results\":[", "\"results\":{\"a\":"), "the run's results are not an array"},
        {changed("\"locations\":[{", "\"locations\":[{},{"), "result 1 has not one location"},
        {changed("\"locations\":[{", "\"locations\":[7,{"), "result 1 has not one location"},
        {changed("\"locations\":[", "\"locations\":[],\"x\":["), "result 1 has not one location"},
        {changed("\"runs\":[", "\"runs\":[{},"), "it holds 2 runs, not one"},
        // Numbers beyond the converter's ranges.
        {changed("\"startLine\":3", "\"startLine\":9223372036854775808"),
         "result 1 has the startLine 9223372036854775808, outside 1 to 4294967295"},
        {changed("\"startLine\":3", "\"startLine\":18446744073709551615"),
         "result 1 has the startLine 18446744073709551615, outside 1 to 4294967295"},
        {changed("\"startLine\":3", "\"startLine\":4294967296"),
         "result 1 has the startLine 4294967296, outside 1 to 4294967295"},
        {changed("\"startLine\":3", "\"startLine\":0"),
         "result 1 has the startLine 0, outside 1 to 4294967295"},
        {changed("\"priority\":3", "\"priority\":10"),
         "result 1 has the priority 10, outside 0 to 9"},
        {changed("\"priority\":3", "\"priority\":-1"),
         "result 1 has the priority -1, outside 0 to 9"},
        {changed("\"ruleId\":\"2000\"", "\"ruleId\":\"4294967296\""),
         "result 1 has the rule id 4294967296, not a message number"},
    };
    for (const auto& [text, reason] : cases) {
        try {
            readSarifLog(text);
            ADD_FAILURE() << reason;
        } catch (const StoreError& error) {
            EXPECT_EQ(error.what(), "refused: not a SARIF log of the converter: " + reason);
        }
    }
}

// Nesting is refused past maxLogDepth, wherever it is, before it costs memory; what the
// history does not keep is skipped, however it is nested or typed.
TEST(SarifRead, SkipsWhatItDoesNotKeepAndRefusesDeepNesting) {
    const std::string log = test_support::logOf(loggedRun, {{"Src\\Src_NV\\a.c", 3}});
    const auto withProperty = [&](const std::string& value) {
        std::string text = log;
        const std::string properties = "\"properties\":{\"platform\"";
        return text.insert(text.find(properties) + 14, "\"extra\":" + value + ",");
    };
    const auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    // The log nests its run's properties 3 deep: root, runs, the run.
    EXPECT_EQ(readSarifLog(withProperty(nested(maxLogDepth - 4))).findings.size(), 1u);
    for (const std::size_t depth : {maxLogDepth - 3, std::size_t(500000)}) {
        try {
            readSarifLog(withProperty(nested(depth)));
            ADD_FAILURE() << depth;
        } catch (const StoreError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "refused: not a SARIF log of the converter: it nests deeper than 64 levels");
        }
    }
    EXPECT_EQ(readSarifLog(withProperty("{\"results\":7,\"runs\":[1]}")).findings.size(), 1u);
    std::string extras = log;
    extras.replace(extras.find("\"ruleId\""), 8, "\"kind\":{\"a\":[1]},\"ruleId\"");
    extras.replace(extras.find("\"version\""), 9, "\"extra\":[{}],\"version\"");
    EXPECT_EQ(readSarifLog(extras).findings, readSarifLog(log).findings);
}

// The reference is the rule's first tag that is not HIS; a rule tagged HIS alone has none.
TEST(SarifRead, TakesTheMisraTagAsTheReference) {
    const std::string log = test_support::logOf(loggedRun, {{"Src\\Src_NV\\a.c", 3, 3, 5310, "t"}});
    ASSERT_NE(log.find("\"tags\":[\"HIS\"]"), std::string::npos) << log;
    EXPECT_EQ(readSarifLog(log).findings.at(0).reference, "");
    std::string tagged = log;
    tagged.replace(tagged.find("\"tags\":[\"HIS\"]"), 14,
                   "\"tags\":[\"HIS\",7,\"MISRA C:2012 Rule-15.5\"]");
    EXPECT_EQ(readSarifLog(tagged).findings.at(0).reference, "MISRA C:2012 Rule-15.5");
}

// A log that the converter's cap cut holds only some of the run's findings.
TEST(SarifRead, RefusesALogThatLeftFindingsOut) {
    std::string log = test_support::logOf(loggedRun, {{"Src\\Src_NV\\a.c", 3}});
    const std::size_t at = log.find("\"platform\"");
    EXPECT_EQ(readSarifLog(std::string(log).insert(at, "\"omittedFindings\":0,")).findings.size(),
              1u);
    try {
        readSarifLog(log.insert(at, "\"reviewMaxFindings\":1,\"omittedFindings\":249,"));
        ADD_FAILURE();
    } catch (const StoreError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "refused: the log leaves out 249 findings (--review_max_findings), and the "
                  "history keeps a run's findings whole: load the log of a conversion without "
                  "the cap (--history_sarif_output)");
    }
}

} // namespace
} // namespace vendrik::history
