#include "history/report/trend_chart.h"

#include "test_support/history_scripts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>

namespace vendrik::history {
namespace {

/// `count` runs, one a night from `first` (days since 1970) or all of one date when `nights`
/// is false, with all_errors from `totals` (the last repeated).
std::vector<RunTotals> nightlyRuns(std::size_t count, int first, bool nights = true,
                                   const std::vector<std::int64_t>& totals = {10}) {
    std::vector<RunTotals> runs;
    for (std::size_t at = 0; at < count; ++at) {
        const std::chrono::year_month_day day(
            std::chrono::sys_days(std::chrono::days(first + (nights ? static_cast<int>(at) : 0))));
        char date[16];
        std::snprintf(date, sizeof date, "%04d.%02u.%02u", static_cast<int>(day.year()),
                      static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
        char time[16];
        std::snprintf(time, sizeof time, "02:%02zu:%02zu", at / 60 % 60, at % 60);
        RunTotals run{{"P", "Q", "h" + std::to_string(at), date, time}, 1, {}, ""};
        run.counters[0] = totals[std::min(at, totals.size() - 1)];
        runs.push_back(run);
    }
    return runs;
}

constexpr int monday2026_11_02 = 20759; // days since 1970.01.01

TEST(TrendChart, ShowsManyRunsAsPeriods) {
    struct Case {
        std::size_t runs;
        bool nights;
        Period period;
        std::size_t points;
        const char* firstLabel;
    };
    const Case cases[] = {
        {3, true, Period::run, 3, "2026.11.02"},     {130, true, Period::run, 130, "2026.11.02"},
        {131, false, Period::day, 1, "2026.11.02"},  // runs of one day
        {300, true, Period::week, 43, "2026.11.02"}, // weeks from Monday
        {3000, true, Period::month, 99, "2026.11"},  {4000, true, Period::year, 12, "2026"},
    };
    for (const Case& test : cases) {
        const auto runs = nightlyRuns(test.runs, monday2026_11_02, test.nights);
        const auto points = trendPoints(runs);
        const std::string name = std::to_string(test.runs) + (test.nights ? " nights" : " runs");
        ASSERT_EQ(points.size(), test.points) << name;
        EXPECT_EQ(points.front().period, test.period) << name;
        EXPECT_EQ(points.front().label, test.firstLabel) << name;
        EXPECT_EQ(points.front().first, 0u) << name;
        EXPECT_EQ(points.back().last, runs.size() - 1) << name;
        for (std::size_t at = 1; at < points.size(); ++at) {
            EXPECT_EQ(points[at].first, points[at - 1].last + 1) << name << " point " << at;
        }
    }
    // A week runs from Monday: the Sunday after 2026.11.02 is in it, the Monday after is not.
    const auto weeks = trendPoints(nightlyRuns(300, monday2026_11_02 - 1), 130);
    EXPECT_EQ(weeks[0].label, "2026.10.26");
    EXPECT_EQ(weeks[0].last, 0u);
    EXPECT_EQ(weeks[1].label, "2026.11.02");
    EXPECT_EQ(weeks[1].last, 7u);
    // Runs whose date was not known form a period of their own.
    auto unknown = nightlyRuns(200, monday2026_11_02);
    unknown[0].run.date = unknown[1].run.date = "0000.00.00";
    EXPECT_EQ(trendPoints(unknown).front().label, "unknown date");
    EXPECT_EQ(trendPoints(unknown).front().last, 1u);
}

TEST(TrendChart, FindsTheJumpsOfTheTotal) {
    struct Case {
        std::vector<std::int64_t> totals;
        std::vector<std::size_t> jumps;
    };
    const Case cases[] = {
        {{100, 101, 103, 100, 150}, {3, 4}}, // +2 from 101 is under 2 %, -3 from 103 not
        {{1000, 1020, 1039}, {1}},           // 2 % exactly, then 1.9 %
        {{0, 0, 1, 1}, {2}},                 // from none
        {{50, 50, 50}, {}},
        {{7}, {}},
    };
    for (const Case& test : cases) {
        const auto runs = nightlyRuns(test.totals.size(), monday2026_11_02, true, test.totals);
        EXPECT_EQ(totalJumps(runs), test.jumps) << ::testing::PrintToString(test.totals);
    }
}

TEST(TrendChart, ScalesAndGroupsNumbers) {
    const std::pair<std::int64_t, std::pair<std::int64_t, std::int64_t>> scales[] = {
        {0, {1, 1}},     {1, {1, 1}},         {5, {5, 1}},         {6, {6, 2}},
        {11, {15, 5}},   {1021, {1500, 500}}, {2290, {2500, 500}}, {75000, {80000, 20000}},
        {100, {100, 20}}};
    for (const auto& [highest, expected] : scales) {
        const ValueScale scale = valueScale(highest);
        EXPECT_EQ(std::pair(scale.top, scale.step), expected) << highest;
    }
    const std::pair<std::int64_t, const char*> numbers[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {-12345, "-12,345"}, {1234567, "1,234,567"}};
    for (const auto& [value, text] : numbers) {
        EXPECT_EQ(groupedNumber(value), text) << value;
    }
    EXPECT_EQ(signedNumber(1234), "+1,234");
    EXPECT_EQ(signedNumber(0), "0");
    EXPECT_EQ(signedNumber(-5), "-5");
}

// The chart of 300 nights: a point a week with its range, the dates on the time axis, the
// jump labelled with its run, and a description in words.
TEST(TrendChart, DrawsAxesRangesAndJumps) {
    std::vector<std::int64_t> totals(300, 2184);
    std::fill(totals.begin() + 150, totals.end(), 2290);
    const auto runs = nightlyRuns(300, monday2026_11_02, true, totals);
    std::ostringstream out;
    writeTotalsChart(out, runs, "c", "P / Q");
    const std::string chart = out.str();
    const auto count = [&](const std::string& text) {
        return test_support::occurrences(chart, text);
    };
    EXPECT_EQ(count("<g class=\"point\" tabindex=\"0\""), 43u);
    EXPECT_EQ(count("class=\"date-tick\""), 8u);
    EXPECT_NE(chart.find(">week 2026.11.02</text>"), std::string::npos);
    EXPECT_EQ(count("class=\"value-tick\""), 6u); // 0 to 2,500 by 500
    EXPECT_NE(chart.find(">2,500</text>"), std::string::npos);
    EXPECT_EQ(count("<g class=\"jump\" data-run=\"h150\">"), 1u);
    EXPECT_NE(chart.find("+106 (+4.9 %) h150 2027.04.01"), std::string::npos);
    EXPECT_NE(chart.find("<li>h150 (2027.04.01 02:02:30): 2,184 &rarr; 2,290, +106 (+4.9 %)</li>"),
              std::string::npos);
    // The week of the jump shows its range; its title the period, its runs and its values.
    EXPECT_EQ(count("<path class=\"range\""), 1u);
    EXPECT_NE(chart.find("week of 2027.03.29, 7 runs, the last h153 2027.04.04 02:02:33: total "
                         "2290 (2184 to 2290), priority 8-9 0, priority 5-7 0,"),
              std::string::npos);
    EXPECT_NE(chart.find("<desc id=\"c-desc\">300 runs from 2026.11.02 02:00:00 to 2027.08.28 "
                         "02:04:59, one point per week. total from 2184 to 2290 (lowest 2184, "
                         "highest 2290)."),
              std::string::npos);
    // Told apart by more than colour: every band and HIS has its own dash pattern.
    for (const char* dashes : {"9 3", "4 3", "12 3 3 3", "2 2"}) {
        EXPECT_EQ(count(std::string("stroke-dasharray=\"") + dashes + "\""), 2u) << dashes;
    }
}

// Of many jumps, the rises and then the largest falls are labelled, apart from each other; the
// list under the chart says how many there are.
TEST(TrendChart, LabelsTheLargestJumpsApart) {
    std::vector<std::int64_t> totals = {10000}; // a clean-up of 3 % every 50 nights, a jump
    for (std::size_t run = 1; run < 3000; ++run) {
        totals.push_back(run % 50 == 0 ? totals.back() * 97 / 100 : totals.back());
        totals.back() += run == 1500 ? 500 : run == 2925 ? totals.back() / 40 : 0;
    }
    std::ostringstream out;
    writeTotalsChart(out, nightlyRuns(3000, monday2026_11_02, true, totals), "c", "P / Q");
    const std::string chart = out.str();
    std::vector<double> labels;
    for (auto at = chart.find("<g class=\"jump\""); at != std::string::npos;
         at = chart.find("<g class=\"jump\"", at + 1)) {
        labels.push_back(std::stod(chart.substr(chart.find("x1=\"", at) + 4)));
    }
    ASSERT_EQ(labels.size(), 7u); // as many as fit 100 pixels apart
    for (std::size_t at = 1; at < labels.size(); ++at) {
        EXPECT_GE(labels[at] - labels[at - 1], 100) << at;
    }
    EXPECT_NE(chart.find("<g class=\"jump\" data-run=\"h1500\">"), std::string::npos);
    EXPECT_NE(chart.find("<g class=\"jump\" data-run=\"h2925\">"), std::string::npos); // a rise
    EXPECT_NE(chart.find("<g class=\"jump\" data-run=\"h50\">"), std::string::npos);
    EXPECT_NE(chart.find("<p>Jumps in the total, 7 of 60 (the rises, then the largest falls):</p>"),
              std::string::npos);
}

} // namespace
} // namespace vendrik::history
