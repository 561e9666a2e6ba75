#pragma once

#include "history/store/store.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vendrik::history {

/// How much of a trend one point shows.
enum class Period { run, day, week, month, year };

/// A point of a trend: one run, or the runs of one period when there are too many runs to
/// show one by one. A point's values are those of its last run; the lowest and highest
/// values of its runs are its range.
struct TrendPoint {
    std::size_t first = 0; ///< the index of its first run, in runs oldest first
    std::size_t last = 0;  ///< the index of its last run
    Period period = Period::run;
    /// The run's date, the day ("2026.11.05"), the Monday that starts the week, the month
    /// ("2026.11"), or the year; "unknown date" for runs whose date was not known.
    std::string label;
};

/// `runs` (oldest first) as points: one per run when there are at most `most`; else one per
/// period, the shortest of day, week (from Monday), month and year that gives at most `most`
/// points (a year each when none does).
std::vector<TrendPoint> trendPoints(const std::vector<RunTotals>& runs, std::size_t most = 130);

/// The runs (indexes, oldest first) whose total all_errors differs from the run before by at
/// least 2 % of that run's total, and by one finding at least, in run order.
std::vector<std::size_t> totalJumps(const std::vector<RunTotals>& runs);

/// A value axis: from 0 to `top` in steps of `step`, which is 1, 2 or 5 times a power of ten,
/// with at most five steps, `top` the least multiple of `step` that reaches the highest value
/// (and `step` when that is 0).
struct ValueScale {
    std::int64_t top = 1;
    std::int64_t step = 1;
};
ValueScale valueScale(std::int64_t highest);

/// `value` with a comma between groups of three digits: "-12,345".
std::string groupedNumber(std::int64_t value);

/// A change as groupedNumber writes it, with "+" before a rise: "+1,234", "-5", "0".
std::string signedNumber(std::int64_t change);

/// Writes the chart of the totals of `runs` (oldest first, at least one) as SVG: all_errors,
/// the bands and HIS as lines told apart by colour and dash pattern, a value axis with its
/// grid, a time axis labelled with dates, the range of each point that stands for several
/// runs, the total's jumps (see totalJumps) marked and labelled (rises before falls, larger
/// first, at most eight, apart from each other), and for each point a
/// focusable title with its runs, date, time and values. A legend comes before it and a list
/// of the jumps after it; its text alternative describes the trend in words. `id` is unique
/// in the page; `name` is HTML text.
void writeTotalsChart(std::ostream& out, const std::vector<RunTotals>& runs, const std::string& id,
                      const std::string& name);

/// A small line of `values` on a scale from 0 to `top`, with `label` (HTML text) as its text
/// alternative.
void writeSparkline(std::ostream& out, const std::vector<std::int64_t>& values, std::int64_t top,
                    const std::string& label);

} // namespace vendrik::history
