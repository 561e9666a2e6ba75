#include "history/history_page.h"

#include "test_support/history_scripts.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace vendrik::history {
namespace {

/// A store of runs held in memory: each run with its rows, newest first.
class FakeStore : public HistoryStore {
  public:
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

TEST(HistoryPage, RanksFilesAndShowsWhatChanged) {
    using testing::fileRow;
    FakeStore store;
    store.add({"P", "Q", "old", "2026.12.01", "02:00:00"},
              {fileRow("same.c", 4), fileRow("gone.c", 1), fileRow("grew.c", 1)});
    store.add(
        {"P", "Q", "new", "2026.12.02", "02:00:00"},
        {fileRow("same.c", 4), fileRow("grew.c", 9), fileRow("also4.c", 4), fileRow("fresh.c", 2)});
    const std::string page = pageOf(store);
    const std::size_t top = page.find("Files with most findings now");
    const std::size_t comparison = page.find("Newest comparison");
    ASSERT_NE(top, std::string::npos);
    ASSERT_NE(comparison, std::string::npos);
    // Most findings first; equal counts by name.
    const auto ranked = positions(page, {">grew.c<", ">also4.c<", ">same.c<", ">fresh.c<"}, top);
    EXPECT_TRUE(std::is_sorted(ranked.begin(), ranked.end()) && ranked.back() < comparison)
        << page.substr(top, comparison - top);
    // Only files that changed, by name, then the total.
    const std::string changed = page.substr(comparison);
    EXPECT_EQ(changed.find(">same.c<"), std::string::npos) << changed;
    const auto rows =
        positions(changed, {">fresh.c (new)<", ">gone.c (gone)<", ">grew.c<", ">total<"}, 0);
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()) && rows.back() != std::string::npos)
        << changed;
    EXPECT_NE(changed.find("<td class=\"worse\">1 &rarr; 9</td>"), std::string::npos);
}

// The overview: a row per platform and project, linked to its section, with the newest
// total and its change since the previous run with another hash; each section's headline
// says the same.
TEST(HistoryPage, OpensWithAnOverviewOfEverySection) {
    using testing::fileRow;
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
    store.add({"P", "Q", "h1", "2026.12.01", "02:00:00"}, {testing::fileRow("a.c", 1)});
    store.add({"P", "Q", "h2", "2026.12.02", "02:00:00"}, {testing::fileRow("a.c", 150)});
    const TrackedFinding gone = {"f", "Src/a.c", 1, 2000, 3, false, "</svg> ]]> \"x\"", ""};
    store.findings_["h1"] = {gone};
    for (int line = 1; line <= 150; ++line) {
        store.findings_["h2"].push_back(
            {"f" + std::to_string(line), "Src/a.c", line, 2001, 9, false, "<script>y", ""});
    }
    const std::string page = pageOf(store);
    EXPECT_NE(page.find("New findings in the newest run: 150</h3>"), std::string::npos);
    EXPECT_NE(page.find("<p>and 50 more</p>"), std::string::npos);
    EXPECT_NE(page.find("<td>&lt;/svg&gt; ]]&gt; &quot;x&quot;</td>"), std::string::npos);
    for (const char* raw : {"<script>y", "</svg> ]]>"}) {
        EXPECT_EQ(page.find(raw), std::string::npos) << raw;
    }
}

TEST(HistoryPage, EscapesEveryNameFromTheDatabase) {
    FakeStore store;
    store.add({"<P>", "Q&amp;", "<b>hash", "2026.12.01", "02:00:00"},
              {testing::fileRow("<script>x.c", 3)});
    const std::string page = pageOf(store);
    for (const char* raw : {"<script>", "<b>", "<P>"}) {
        EXPECT_EQ(page.find(raw), std::string::npos) << raw;
    }
    for (const char* escaped : {"&lt;script&gt;x.c", "&lt;b&gt;hash", "&lt;P&gt; / Q&amp;amp;"}) {
        EXPECT_NE(page.find(escaped), std::string::npos) << escaped;
    }
}

} // namespace
} // namespace vendrik::history
