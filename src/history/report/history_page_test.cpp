#include "history/report/history_page.h"

#include "test_support/history_scripts.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <sstream>

namespace vendrik::history {
namespace {

/// A store of runs held in memory: each run with its rows, newest first.
class FakeStore : public HistoryStore {
  public:
    // The page only reads.
    bool isStoredIn(const std::string&) const override { return false; }
    LoadResult loadScript(const std::string&, const std::string&) override { throw unused(); }
    LoadResult loadLog(const LoggedRun&, const std::optional<std::string>&) override {
        throw unused();
    }
    void recordGate(const RunKey&, const std::string&, bool) override { throw unused(); }
    void recordDecisions(const std::vector<Decision>&) override { throw unused(); }
    std::vector<Decision> decisions(const std::string&, const std::string&,
                                    const std::string&) override {
        return {};
    }
    static StoreError unused() { return StoreError("the page's fake store takes no loads"); }
    void add(const RunKey& run, std::vector<FileRow> rows) {
        RunTotals totals{run, static_cast<std::int64_t>(rows.size()), {}, {}};
        for (const FileRow& row : rows) {
            for (std::size_t column = 0; column < row.counters.size(); ++column) {
                totals.counters[column] += row.counters[column];
            }
        }
        runs_.insert(runs_.begin(), totals);
        std::sort(rows.begin(), rows.end(),
                  [](const FileRow& a, const FileRow& b) { return a.filename < b.filename; });
        rows_[run.githash] = std::move(rows);
    }
    std::vector<RunTotals> runs(const std::optional<std::string>&,
                                const std::optional<std::string>&,
                                const std::optional<std::string>&) override {
        return runs_;
    }
    std::vector<RunKey> passedRuns(const std::string&, const std::string&,
                                   const std::string&) override {
        return {};
    }
    std::optional<std::vector<TrackedFinding>> findings(const RunKey& run,
                                                        const std::string&) override {
        const auto found = findings_.find(run.githash);
        return found == findings_.end() ? std::nullopt : std::optional(found->second);
    }
    std::map<std::string, std::vector<TrackedFinding>> findings_; ///< by hash
    std::vector<RunKey> runKeys(const std::string&, const std::string&,
                                const std::string&) override {
        std::vector<RunKey> keys;
        for (const RunTotals& run : runs_) {
            keys.push_back(run.run);
        }
        return keys;
    }
    std::vector<FileRow> files(const RunKey& run, const std::string&) override {
        return rows_.at(run.githash);
    }
    std::vector<std::vector<std::int64_t>>
    fileTrends(const std::vector<RunTotals>& runs,
               const std::vector<std::string>& filenames) override {
        std::vector<std::vector<std::int64_t>> trends;
        for (const std::string& name : filenames) {
            trends.emplace_back();
            for (const RunTotals& run : runs) {
                std::int64_t found = 0;
                for (const FileRow& row : rows_.at(run.run.githash)) {
                    found = row.filename == name ? row.counters[0] : found;
                }
                trends.back().push_back(found);
            }
        }
        return trends;
    }

  private:
    std::vector<RunTotals> runs_;
    std::map<std::string, std::vector<FileRow>> rows_;
};

std::string pageOf(FakeStore& store) {
    std::ostringstream page;
    writeHistoryPage(page, store);
    return page.str();
}

/// The positions of `texts` in `page`, in order; npos for one that is missing.
std::vector<std::size_t> positions(const std::string& page, const std::vector<std::string>& texts,
                                   std::size_t from) {
    std::vector<std::size_t> found;
    for (const std::string& text : texts) {
        found.push_back(page.find(text, from));
    }
    return found;
}

/// The section's embedded data.
nlohmann::json dataOf(const std::string& page, std::size_t section = 0) {
    const std::string open = "id=\"section-" + std::to_string(section) + "-data\">";
    const std::size_t from = page.find(open) + open.size();
    return nlohmann::json::parse(page.substr(from, page.find("</script>", from) - from));
}

// The files that drive the trend: most findings now, and most growth over the last 30 runs,
// on one scale; then the files that changed in the newest run, the largest change first.
TEST(HistoryPage, RanksFilesAndShowsWhatChanged) {
    using test_support::fileRow;
    FakeStore store;
    store.add({"P", "Q", "h0", "2026.11.01", "02:00:00"},
              {fileRow("same.c", 4), fileRow("grew.c", 0), fileRow("gone.c", 1)});
    for (int night = 1; night <= 30; ++night) { // the first run leaves the last 30
        store.add({"P", "Q", "h" + std::to_string(night), "2026.11." + std::to_string(night + 1),
                   "02:00:00"},
                  {fileRow("same.c", 4), fileRow("grew.c", 1), fileRow("gone.c", 1),
                   fileRow("long.c", 8)});
    }
    store.add({"P", "Q", "new", "2026.12.02", "02:00:00"},
              {fileRow("same.c", 4), fileRow("grew.c", 9), fileRow("also4.c", 4),
               fileRow("fresh.c", 2), fileRow("long.c", 8)});
    const std::string page = pageOf(store);
    const std::size_t most = page.find("Files with most findings now");
    const std::size_t grown = page.find("Files that grew most over the last 30 runs");
    const std::size_t changed = page.find("<h4>Files that changed: 4</h4>");
    ASSERT_LT(changed, most);
    ASSERT_LT(most, grown);
    // Most findings first; equal counts by name.
    const auto ranked =
        positions(page, {">grew.c<", ">long.c<", ">also4.c<", ">same.c<", ">fresh.c<"}, most);
    EXPECT_TRUE(std::is_sorted(ranked.begin(), ranked.end()) && ranked.back() < grown)
        << page.substr(most, grown - most);
    // Growth from the first of the last 30 runs: long.c stayed at 8; grew.c from 1.
    const std::string growth = page.substr(grown, page.find("<h3>Runs", grown) - grown);
    const auto growing = positions(growth, {">grew.c<", ">also4.c<", ">fresh.c<"}, 0);
    EXPECT_TRUE(std::is_sorted(growing.begin(), growing.end()) &&
                growing.back() != std::string::npos)
        << growth;
    EXPECT_EQ(growth.find("long.c"), std::string::npos) << growth;
    EXPECT_NE(growth.find("<td class=\"worse\">1 &rarr; 9 (+8)</td>"), std::string::npos);
    EXPECT_NE(growth.find("aria-label=\"grew.c: 1 to 9 over the last 30 runs\""),
              std::string::npos);
    // One scale for every sparkline: long.c's 8 is below grew.c's 9.
    EXPECT_NE(page.find("Trends over the last 30 runs, on one scale from 0 to 9."),
              std::string::npos);
    // The changed files: the largest change first, each value from base to head.
    const auto rows = positions(
        page, {">grew.c<", ">also4.c (new)<", ">fresh.c (new)<", ">gone.c (gone)<"}, changed);
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()) && rows.back() < most)
        << page.substr(changed, most - changed);
    EXPECT_NE(page.find("<td class=\"worse\">1 &rarr; 9 (+8)</td>", changed), std::string::npos);
    const std::string comparison = page.substr(changed, most - changed);
    EXPECT_EQ(comparison.find("same.c"), std::string::npos) << comparison;
}

// Long lists are cut, the page's data holds them whole.
TEST(HistoryPage, CutsLongListsAndEmbedsTheWholeData) {
    FakeStore store;
    for (int run = 0; run < 120; ++run) {
        const std::string day = std::to_string(run / 60 + 1);
        store.add({"P", "Q", "h" + std::to_string(run), "2026.12.0" + day,
                   "02:" + std::to_string(10 + run % 60 / 2) + ":" + std::to_string(10 + run % 2)},
                  {test_support::fileRow("a.c", run)});
    }
    const std::string page = pageOf(store);
    EXPECT_NE(page.find("<tr class=\"run\" data-run=\"h119\">"), std::string::npos);
    EXPECT_NE(page.find("<tr class=\"run\" data-run=\"h20\">"), std::string::npos);
    EXPECT_EQ(page.find("<tr class=\"run\" data-run=\"h19\">"), std::string::npos);
    EXPECT_NE(page.find("<p class=\"more\">and 20 more runs</p>"), std::string::npos);
    const nlohmann::json data = dataOf(page);
    ASSERT_EQ(data.at("runs").size(), 120u);
    EXPECT_EQ(data.at("runs").at(0),
              nlohmann::json::parse(R"(["h0","2026.12.01","02:10:10",1,[0,0,0,0,0]])"));
    EXPECT_EQ(data.at("reference").at(0), "h118");
    EXPECT_EQ(data.at("changedFiles").at(0),
              nlohmann::json::parse(R"(["a.c",[118,0,0,118,0],[119,0,0,119,0]])"));
}

// The overview: a row per platform and project, linked to its section, with the newest
// total and its change since the previous run with another hash; each section's headline
// says the same.
TEST(HistoryPage, OpensWithAnOverviewOfEverySection) {
    using test_support::fileRow;
    FakeStore store;
    store.add({"P", "A", "h1", "2026.12.01", "02:00:00"}, {fileRow("a.c", 7)});
    store.add({"P", "A", "h2", "2026.12.02", "02:00:00"}, {fileRow("a.c", 9)});
    store.add({"P", "A", "h2", "2026.12.02", "03:00:00"}, {fileRow("a.c", 9)}); // a retry
    store.add({"P", "B", "h3", "2026.12.02", "02:00:00"}, {fileRow("b.c", 4)});
    const std::string page = pageOf(store);
    const std::size_t overview = page.find("<section class=\"overview\">");
    const std::size_t first = page.find("<section class=\"project\" id=\"section-0\"");
    ASSERT_NE(overview, std::string::npos);
    ASSERT_LT(overview, first);
    const std::string rows = page.substr(overview, first - overview);
    EXPECT_NE(rows.find("<a href=\"#section-0\">P / A</a></td><td>9</td><td class=\"worse\">+2<"),
              std::string::npos)
        << rows;
    EXPECT_NE(
        rows.find("<a href=\"#section-1\">P / B</a></td><td>4</td><td class=\"\">no earlier run<"),
        std::string::npos)
        << rows;
    EXPECT_NE(page.find("<strong>9</strong> findings now, +2 since the previous run"),
              std::string::npos);
    EXPECT_NE(page.find("id=\"section-1\""), std::string::npos);
}

// The newest run's new and fixed findings: the first 100, then how many more; their texts
// escaped.
TEST(HistoryPage, ListsTheNewestRunsNewFindings) {
    FakeStore store;
    store.add({"P", "Q", "h1", "2026.12.01", "02:00:00"}, {test_support::fileRow("a.c", 1)});
    store.add({"P", "Q", "h2", "2026.12.02", "02:00:00"}, {test_support::fileRow("a.c", 150)});
    const TrackedFinding gone = {"f", "Src/a.c", 1, 2000, 3, false, "</svg> ]]> \"x\"", "", ""};
    store.findings_["h1"] = {gone};
    for (int line = 1; line <= 150; ++line) {
        store.findings_["h2"].push_back(
            {"f" + std::to_string(line), "Src/a.c", line, 2001, 9, false, "<script>y", "", ""});
    }
    const std::string page = pageOf(store);
    EXPECT_NE(page.find("New findings in the newest run: 150</h4>"), std::string::npos);
    EXPECT_NE(page.find("<p class=\"more\">and 50 more</p>"), std::string::npos);
    EXPECT_NE(page.find(">&lt;/svg&gt; ]]&gt; &quot;x&quot;</td>"), std::string::npos);
    for (const char* raw : {"<script>y", "</svg> ]]>"}) {
        EXPECT_EQ(page.find(raw), std::string::npos) << raw;
    }
    // The data holds every new finding, its texts as they are.
    const nlohmann::json data = dataOf(page);
    ASSERT_EQ(data.at("new").size(), 150u);
    EXPECT_EQ(data.at("new").at(0).at("text"), "<script>y");
    EXPECT_EQ(data.at("fixed").at(0).at("text"), "</svg> ]]> \"x\"");
}

// Every name from the database is text wherever it shows: in elements, attributes, the
// charts' titles and the embedded data. The page's own scripts are the only ones.
TEST(HistoryPage, EscapesEveryNameFromTheDatabase) {
    const std::string hostile = "</script><script>x()</script></svg>]]>\"'&amp;";
    FakeStore store;
    for (const char* hash : {"<b>1", "<b>2"}) {
        store.add({"<P>" + hostile, "Q" + hostile, hash + hostile,
                   std::string("2026.12.0") + hash[3], "02:00:00"},
                  {test_support::fileRow("<i>x.c" + hostile, hash[3] == '1' ? 3 : 30)});
        store.findings_[hash + hostile] = {
            {"f", "<i>x.c" + hostile, 1, 2000, 9, false, "text" + hostile, "", ""}};
    }
    store.findings_["<b>2" + hostile][0].text = "new" + hostile;
    const std::string page = pageOf(store);
    const auto count = [&](const std::string& text) {
        return test_support::occurrences(page, text);
    };
    EXPECT_EQ(count("<script"), 2u);
    EXPECT_EQ(count("</script>"), 2u);
    for (const char* raw : {"<b>", "<P>", "<i>", "</svg>]]>"}) {
        EXPECT_EQ(page.find(raw), std::string::npos) << raw;
    }
    for (const char* escaped : {"&lt;i&gt;x.c&lt;/script&gt;&lt;script&gt;x()&lt;/script&gt;&lt;/"
                                "svg&gt;]]&gt;&quot;'&amp;amp;",
                                "&lt;b&gt;2&lt;/script&gt;", "&lt;P&gt;&lt;/script&gt;"}) {
        EXPECT_NE(page.find(escaped), std::string::npos) << escaped;
    }
    const nlohmann::json data = dataOf(page);
    EXPECT_EQ(data.at("platform"), "<P>" + hostile);
    EXPECT_EQ(data.at("new").at(0).at("text"), "new" + hostile);
}

} // namespace
} // namespace vendrik::history
