#include "history/sarif_read.h"

#include "test_support/history_scripts.h"

#include <gtest/gtest.h>

namespace vendrik::history {
namespace {

const RunKey loggedRun = {"Target A", "Ecu", "4f1c2e9", "2026.12.08", "23:59:07"};

TEST(SarifRead, ReadsTheRunAndEveryFindingOfTheConvertersLog) {
    const std::string log =
        testing::logOf(loggedRun, {{"Src\\Src_NV\\my file \xc3\xa9.c", 12, 9, 5310, "Too deep"},
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
    const std::string log = testing::logOf(loggedRun, {{"Src\\Src_NV\\a.c", 3}});
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

} // namespace
} // namespace vendrik::history
