#include "end_to_end/history_fixture.h"
#include "test_support/history_scripts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace vendrik::test_support {
namespace {

/// The report of night `night`: findings in five files that come and go from night to night,
/// one file's lines moved from night 8 on, and one finding new each night.
std::string nightReport(int night) {
    std::string report;
    for (int file = 0; file < 5; ++file) {
        for (int finding = 0; finding < 6; ++finding) {
            if ((night + file + finding) % 5 != 0) {
                report += reportLine(std::string(1, static_cast<char>('a' + file)) + ".c",
                                     10 * finding + (night >= 8 && file == 2 ? 3 : 0), 3 + finding,
                                     2000 + finding, "Finding " + std::to_string(finding));
            }
        }
    }
    return report + reportLine("a.c", 100 + night, 9, 3000, "New " + std::to_string(night));
}

/// What the reading commands say of the database `path`: the runs, the page (written into
/// `folder`), and each run compared with the run before it.
std::string everythingIn(const std::string& path, const std::string& folder, int nights) {
    std::string said = history({"runs", "--database=" + path}).console;
    for (int night = 2; night <= nights; ++night) {
        said += history({"compare", "--database=" + path, "--platform=TargetA", "--project=Ecu",
                         "--head=night" + std::to_string(night), "--format=json"})
                    .console;
    }
    EXPECT_EQ(history({"page", "--database=" + path, "--output=" + folder + "/page.html"}).status,
              0);
    return said + readFile(folder + "/page.html");
}

using HistoryConcurrency = OnEachBackend;

// Sixteen loads of distinct runs at once, and four more of one of them: none fails, every run
// is there once, and the database says what loading them one by one in order into SQLite says
// (the same runs, totals, findings and spans).
TEST_P(HistoryConcurrency, LoadsAtOnceAsOneByOne) {
    constexpr int nights = 16;
    ScratchDirectory scratch;
    std::vector<std::string> runs;
    for (int night = 1; night <= nights; ++night) {
        runs.push_back(convertRun(
            scratch, "TargetA", "Ecu", "night" + std::to_string(night), nightReport(night),
            "2026.11." + std::string(night < 10 ? "0" : "") + std::to_string(night), "02:00:00"));
    }
    const ResultsDatabase database(GetParam());
    const std::string& together = database.target;
    std::vector<ProgramResult> loaded(nights + 4);
    std::vector<std::thread> loads;
    for (std::size_t at = 0; at < loaded.size(); ++at) {
        const std::string& run = runs[at < nights ? at : 4];
        loads.emplace_back([&, at, run] {
            loaded[at] = history({"load", "--database=" + together, run + ".sql", run + ".sarif"});
        });
    }
    for (std::thread& load : loads) {
        load.join();
    }
    std::size_t present = 0;
    for (std::size_t at = 0; at < loaded.size(); ++at) {
        EXPECT_EQ(loaded[at].status, 0) << at << ": " << loaded[at].errors;
        present += occurrences(loaded[at].console, "is already in the database; nothing added");
    }
    EXPECT_EQ(present, 8u) << "the script and the log of one run, loaded five times";

    const std::string oneByOne = scratch.path + "/one-by-one.db";
    for (const std::string& run : runs) {
        ASSERT_EQ(history({"load", "--database=" + oneByOne, run + ".sql", run + ".sarif"}).status,
                  0);
    }
    const std::string expected = everythingIn(oneByOne, scratch.path, nights);
    const std::string found = everythingIn(together, scratch.path, nights);
    const auto differ = std::mismatch(found.begin(), found.end(), expected.begin(), expected.end());
    EXPECT_TRUE(found == expected)
        << "first difference at byte " << differ.first - found.begin() << ": "
        << found.substr(static_cast<std::size_t>(
                            std::max<std::ptrdiff_t>(0, differ.first - found.begin() - 200)),
                        400);
    EXPECT_NE(expected.find("night16"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryConcurrency, ::testing::ValuesIn(historyBackends()),
                         [](const auto& backend) { return backend.param; });

} // namespace
} // namespace vendrik::test_support
