#include "history/report/trend_chart.h"

#include "history/report/history_output.h"
#include "history/run_comparison.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>

namespace vendrik::history {

namespace {

/// The day of a date "YYYY.MM.DD", or nothing when it is not a date.
std::optional<std::chrono::sys_days> dayOf(const std::string& date) {
    unsigned year = 0;
    unsigned month = 0;
    unsigned day = 0;
    if (std::sscanf(date.c_str(), "%4u.%2u.%2u", &year, &month, &day) != 3) {
        return std::nullopt;
    }
    const std::chrono::year_month_day ymd{std::chrono::year(static_cast<int>(year)),
                                          std::chrono::month(month), std::chrono::day(day)};
    return ymd.ok() ? std::optional(std::chrono::sys_days(ymd)) : std::nullopt;
}

/// The label of the period of `kind` that holds `date`.
std::string periodOf(Period kind, const std::string& date) {
    const auto day = dayOf(date);
    if (!day) {
        return "unknown date";
    }
    switch (kind) {
    case Period::week: {
        const std::chrono::year_month_day monday(
            *day - (std::chrono::weekday(*day) - std::chrono::Monday));
        char text[16];
        std::snprintf(text, sizeof text, "%04d.%02u.%02u", static_cast<int>(monday.year()),
                      static_cast<unsigned>(monday.month()), static_cast<unsigned>(monday.day()));
        return text;
    }
    case Period::month:
        return date.substr(0, 7);
    case Period::year:
        return date.substr(0, 4);
    default:
        return date;
    }
}

std::vector<TrendPoint> grouped(const std::vector<RunTotals>& runs, Period kind) {
    std::vector<TrendPoint> points;
    for (std::size_t at = 0; at < runs.size(); ++at) {
        std::string label =
            kind == Period::run ? runs[at].run.date : periodOf(kind, runs[at].run.date);
        if (kind != Period::run && !points.empty() && points.back().label == label) {
            points.back().last = at;
        } else {
            points.push_back({at, at, kind, std::move(label)});
        }
    }
    return points;
}

struct ChartLine {
    const char* name;
    const char* colour; ///< of the Okabe-Ito palette, told apart with common colour blindness
    const char* dashes; ///< "" for a solid line
    std::size_t column; ///< in comparedColumns
};
constexpr ChartLine totalLines[] = {{"total", "#000000", "", valueAt("all_errors")},
                                    {"priority 8-9", "#d55e00", "9 3", valueAt("band_8_9")},
                                    {"priority 5-7", "#e69f00", "4 3", valueAt("band_5_7")},
                                    {"priority 0-4", "#0072b2", "12 3 3 3", valueAt("band_0_4")},
                                    {"HIS", "#cc79a7", "2 2", valueAt("his")}};

/// The change of a jump: "+106 (+4.9 %)", or "+3 (from 0)".
std::string jumpText(std::int64_t before, std::int64_t after) {
    std::string text = signedNumber(after - before);
    if (before == 0) {
        return text + " (from 0)";
    }
    char percent[32];
    std::snprintf(percent, sizeof percent, " (%+.1f %%)",
                  100.0 * static_cast<double>(after - before) / static_cast<double>(before));
    return text + percent;
}

/// Where the chart's parts go.
struct Frame {
    static constexpr int width = 760;
    static constexpr int height = 300;
    static constexpr int left = 60;
    static constexpr int right = 40;
    static constexpr int top = 52; ///< room for three rows of jump labels
    static constexpr int bottom = 36;
    std::size_t points = 1;
    std::int64_t highest = 1;
    double x(std::size_t point) const {
        return points < 2 ? (left + width - right) / 2.0
                          : left + (width - left - right) * static_cast<double>(point) /
                                       static_cast<double>(points - 1);
    }
    double y(std::int64_t value) const {
        return top + (height - top - bottom) *
                         (1.0 - static_cast<double>(value) / static_cast<double>(highest));
    }
    /// The width of the strip around a point that hovering or focusing answers to.
    double strip() const {
        return (width - left - right) / static_cast<double>(std::max<std::size_t>(points, 1));
    }
};

/// The lowest and the highest value of `column` in the runs from `first` to `last`.
std::pair<std::int64_t, std::int64_t> rangeOf(const std::vector<Values>& values, std::size_t column,
                                              std::size_t first, std::size_t last) {
    std::pair<std::int64_t, std::int64_t> range(values[first][column], values[first][column]);
    for (std::size_t at = first; at <= last; ++at) {
        range.first = std::min(range.first, values[at][column]);
        range.second = std::max(range.second, values[at][column]);
    }
    return range;
}

/// "name 12", or "name 12 (10 to 14)" where the point's runs differ.
std::string valueText(const ChartLine& line, const std::vector<Values>& values,
                      const TrendPoint& point) {
    const auto [lowest, highest] = rangeOf(values, line.column, point.first, point.last);
    std::string text =
        std::string(line.name) + " " + std::to_string(values[point.last][line.column]);
    return lowest == highest
               ? text
               : text + " (" + std::to_string(lowest) + " to " + std::to_string(highest) + ")";
}

/// What a point stands for: "HASH 2026.11.05 02:00:00", or "week of 2026.11.02, 7 runs, the
/// last HASH ...", then its values.
std::string pointTitle(const std::vector<RunTotals>& runs, const std::vector<Values>& values,
                       const TrendPoint& point) {
    const RunKey& last = runs[point.last].run;
    std::string title;
    if (point.period != Period::run) {
        title = (point.period == Period::week ? "week of " : "") + point.label + ", " +
                std::to_string(point.last - point.first + 1) + " run" +
                (point.last > point.first ? "s" : "") + ", the last ";
    }
    title += htmlText(last.githash) + " " + htmlText(stampOf(last)) + ":";
    for (const ChartLine& line : totalLines) {
        title += (&line == totalLines ? " " : ", ") + valueText(line, values, point);
    }
    return title;
}

/// How the chart reads in words: the runs it covers, then each line from its first to its
/// last value with its lowest and highest.
std::string chartDescription(const std::vector<RunTotals>& runs, const std::vector<Values>& values,
                             const std::vector<TrendPoint>& points) {
    std::string text = std::to_string(runs.size()) + " run" + (runs.size() > 1 ? "s" : "") +
                       " from " + htmlText(stampOf(runs.front().run)) + " to " +
                       htmlText(stampOf(runs.back().run));
    constexpr const char* periods[] = {"", "day", "week", "month", "year"};
    if (points.front().period != Period::run) {
        text += std::string(", one point per ") + periods[static_cast<int>(points.front().period)];
    }
    text += ".";
    for (const ChartLine& line : totalLines) {
        const auto [lowest, highest] = rangeOf(values, line.column, 0, values.size() - 1);
        text += std::string(" ") + line.name + " from " +
                std::to_string(values.front()[line.column]) + " to " +
                std::to_string(values.back()[line.column]) + " (lowest " + std::to_string(lowest) +
                ", highest " + std::to_string(highest) + ").";
    }
    return text;
}

void writeAxes(std::ostream& out, const Frame& frame, const ValueScale& scale,
               const std::vector<RunTotals>& runs, const std::vector<TrendPoint>& points) {
    for (std::int64_t value = 0; value <= scale.top; value += scale.step) {
        out << "<line class=\"grid\" x1=\"" << Frame::left << "\" x2=\""
            << Frame::width - Frame::right << "\" y1=\"" << frame.y(value) << "\" y2=\""
            << frame.y(value) << "\"/><text class=\"value-tick\" x=\"" << Frame::left - 6
            << "\" y=\"" << frame.y(value) + 4 << "\" text-anchor=\"end\">" << groupedNumber(value)
            << "</text>";
    }
    // At most eight dates: evenly spread from the first, and the last, where there is room
    // for it beside the one before.
    std::vector<std::size_t> ticks;
    const std::size_t every = std::max<std::size_t>(1, (points.size() + 5) / 7);
    for (std::size_t point = 0; point + 1 < points.size(); point += every) {
        ticks.push_back(point);
    }
    if (!ticks.empty() && frame.x(points.size() - 1) - frame.x(ticks.back()) < 80) {
        ticks.pop_back();
    }
    ticks.push_back(points.size() - 1);
    std::string previous;
    for (const std::size_t point : ticks) {
        std::string label =
            (points[point].period == Period::week ? "week " : "") + points[point].label;
        if (label == previous && points[point].period == Period::run) {
            label = runs[points[point].last].run.time; // runs of one day: their times
        } else {
            previous = label;
        }
        out << "<line class=\"tick\" x1=\"" << frame.x(point) << "\" x2=\"" << frame.x(point)
            << "\" y1=\"" << Frame::height - Frame::bottom << "\" y2=\""
            << Frame::height - Frame::bottom + 5 << "\"/><text class=\"date-tick\" x=\""
            << frame.x(point) << "\" y=\"" << Frame::height - Frame::bottom + 18
            << "\" text-anchor=\"middle\">" << htmlText(label) << "</text>";
    }
}

void writeLines(std::ostream& out, const Frame& frame, const std::vector<Values>& values,
                const std::vector<TrendPoint>& points) {
    for (const ChartLine& line : totalLines) {
        std::string ranges;
        for (std::size_t point = 0; point < points.size(); ++point) {
            const auto [lowest, highest] =
                rangeOf(values, line.column, points[point].first, points[point].last);
            if (lowest != highest) {
                ranges.append("M")
                    .append(std::to_string(frame.x(point)))
                    .append(" ")
                    .append(std::to_string(frame.y(lowest)))
                    .append("V")
                    .append(std::to_string(frame.y(highest)));
            }
        }
        if (!ranges.empty()) {
            out << "<path class=\"range\" d=\"" << ranges << "\" stroke=\"" << line.colour
                << "\" stroke-width=\"4\" stroke-opacity=\"0.3\"/>";
        }
        out << "<polyline class=\"line\" data-line=\"" << line.name << "\" fill=\"none\" stroke=\""
            << line.colour << "\" stroke-width=\"" << (*line.dashes ? "2" : "2.5") << "\""
            << (*line.dashes ? std::string(" stroke-dasharray=\"") + line.dashes + "\"" : "")
            << " points=\"";
        for (std::size_t point = 0; point < points.size(); ++point) {
            out << frame.x(point) << ',' << frame.y(values[points[point].last][line.column]) << ' ';
        }
        out << "\"/>";
    }
}

/// A jump of the total that the chart labels, at the point that holds its run.
struct Jump {
    std::size_t run;
    std::size_t point;
    friend bool operator<(const Jump& a, const Jump& b) { return a.run < b.run; }
};

/// The jumps to label: rises before falls, the larger first (the later of equal ones), none
/// nearer than 100 pixels to one taken, at most eight; in run order.
std::vector<Jump> labelledJumps(const std::vector<std::size_t>& jumps,
                                const std::vector<Values>& values,
                                const std::vector<TrendPoint>& points, const Frame& frame) {
    constexpr std::size_t total = valueAt("all_errors");
    const auto size = [&](std::size_t at) {
        const std::int64_t step = values[at][total] - values[at - 1][total];
        return std::pair(step > 0, step < 0 ? -step : step);
    };
    std::vector<std::size_t> largest(jumps.rbegin(), jumps.rend());
    std::stable_sort(largest.begin(), largest.end(),
                     [&](std::size_t a, std::size_t b) { return size(a) > size(b); });
    std::vector<Jump> chosen;
    for (const std::size_t run : largest) {
        const auto point = static_cast<std::size_t>(
            std::partition_point(points.begin(), points.end(),
                                 [&](const TrendPoint& p) { return p.last < run; }) -
            points.begin());
        const bool apart = std::none_of(chosen.begin(), chosen.end(), [&](const Jump& jump) {
            return std::abs(frame.x(jump.point) - frame.x(point)) < 100;
        });
        if (apart && chosen.size() < 8) {
            chosen.push_back({run, point});
        }
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

/// The marker and label of each jump, the labels on three rows so that near ones stay apart.
void writeJumps(std::ostream& out, const Frame& frame, const std::vector<RunTotals>& runs,
                const std::vector<Values>& values, const std::vector<TrendPoint>& points,
                const std::vector<Jump>& jumps) {
    constexpr std::size_t total = valueAt("all_errors");
    double lastX = -1000;
    int row = 0;
    for (const Jump& jump : jumps) {
        const double x = frame.x(jump.point);
        row = x - lastX < 220 ? (row + 1) % 3 : 0;
        lastX = x;
        const double labelY = 14 + 13 * row;
        const double lineY = frame.y(values[points[jump.point].last][total]);
        out << "<g class=\"jump\" data-run=\"" << htmlText(runs[jump.run].run.githash)
            << "\"><line x1=\"" << x << "\" x2=\"" << x << "\" y1=\"" << labelY + 3 << "\" y2=\""
            << lineY - 8 << "\" stroke=\"#666\" stroke-dasharray=\"1 2\"/><path d=\"M" << x - 5
            << ' ' << lineY - 12 << "h10l-5 8z\" fill=\"#000\"/><text x=\"" << x << "\" y=\""
            << labelY << "\" text-anchor=\""
            << (x < 160                  ? "start"
                : x > Frame::width - 160 ? "end"
                                         : "middle")
            << "\">" << jumpText(values[jump.run - 1][total], values[jump.run][total]) << ' '
            << htmlText(runs[jump.run].run.githash.substr(0, 8)) << ' '
            << htmlText(runs[jump.run].run.date) << "</text></g>";
    }
}

} // namespace

std::vector<TrendPoint> trendPoints(const std::vector<RunTotals>& runs, std::size_t most) {
    if (runs.size() <= most) {
        return grouped(runs, Period::run);
    }
    std::vector<TrendPoint> points;
    for (const Period kind : {Period::day, Period::week, Period::month, Period::year}) {
        points = grouped(runs, kind);
        if (points.size() <= most) {
            break;
        }
    }
    return points;
}

std::vector<std::size_t> totalJumps(const std::vector<RunTotals>& runs) {
    constexpr std::size_t total = valueAt("all_errors");
    std::vector<std::size_t> jumps;
    for (std::size_t at = 1; at < runs.size(); ++at) {
        const std::int64_t step = runs[at].counters[total] - runs[at - 1].counters[total];
        if (step != 0 && (step < 0 ? -step : step) * 50 >= runs[at - 1].counters[total]) {
            jumps.push_back(at);
        }
    }
    return jumps;
}

ValueScale valueScale(std::int64_t highest) {
    for (std::int64_t power = 1;; power *= 10) {
        for (const std::int64_t step : {power, 2 * power, 5 * power}) {
            if (highest <= 5 * step) {
                return {std::max<std::int64_t>(1, (highest + step - 1) / step) * step, step};
            }
        }
    }
}

std::string groupedNumber(std::int64_t value) {
    const std::string digits = std::to_string(value);
    const std::size_t sign = value < 0 ? 1 : 0;
    std::string text = digits.substr(0, sign);
    for (std::size_t at = sign; at < digits.size(); ++at) {
        if (at > sign && (digits.size() - at) % 3 == 0) {
            text += ',';
        }
        text += digits[at];
    }
    return text;
}

std::string signedNumber(std::int64_t change) {
    return (change > 0 ? std::string("+") : std::string()).append(groupedNumber(change));
}

void writeTotalsChart(std::ostream& out, const std::vector<RunTotals>& runs, const std::string& id,
                      const std::string& name) {
    std::vector<Values> values;
    std::int64_t highest = 0;
    for (const RunTotals& run : runs) {
        values.push_back(valuesOf(run.counters));
        for (const ChartLine& line : totalLines) {
            highest = std::max(highest, values.back()[line.column]);
        }
    }
    const std::vector<TrendPoint> points = trendPoints(runs);
    const ValueScale scale = valueScale(highest);
    const Frame frame{points.size(), scale.top};
    const std::vector<std::size_t> allJumps = totalJumps(runs);
    const std::vector<Jump> jumps = labelledJumps(allJumps, values, points, frame);

    out << "<div class=\"legend\">";
    for (const ChartLine& line : totalLines) {
        out << "<span><svg width=\"30\" height=\"10\" aria-hidden=\"true\"><line x1=\"0\" y1=\"5\" "
               "x2=\"30\" y2=\"5\" stroke=\""
            << line.colour << "\" stroke-width=\"2.5\""
            << (*line.dashes ? std::string(" stroke-dasharray=\"") + line.dashes + "\"" : "")
            << "/></svg> " << line.name << "</span> ";
    }
    out << "</div><svg class=\"chart trend\" width=\"" << Frame::width << "\" height=\""
        << Frame::height << "\" viewBox=\"0 0 " << Frame::width << ' ' << Frame::height
        << "\" role=\"img\" aria-labelledby=\"" << id << "-title " << id << "-desc\"><title id=\""
        << id << "-title\">Findings per run, " << name << "</title><desc id=\"" << id << "-desc\">"
        << chartDescription(runs, values, points) << "</desc>";
    writeAxes(out, frame, scale, runs, points);
    writeLines(out, frame, values, points);
    writeJumps(out, frame, runs, values, points, jumps);
    for (std::size_t point = 0; point < points.size(); ++point) {
        const double x = frame.x(point);
        out << "<g class=\"point\" tabindex=\"0\" data-run=\""
            << htmlText(runs[points[point].last].run.githash) << "\"><title>"
            << pointTitle(runs, values, points[point]) << "</title><rect x=\""
            << x - frame.strip() / 2 << "\" y=\"" << Frame::top << "\" width=\"" << frame.strip()
            << "\" height=\"" << Frame::height - Frame::top - Frame::bottom
            << "\" fill=\"transparent\"/><circle cx=\"" << x << "\" cy=\""
            << frame.y(values[points[point].last][valueAt("all_errors")]) << "\" r=\""
            << (points.size() > 40 ? 1.5 : 3) << "\"/></g>";
    }
    out << "</svg>";
    if (!jumps.empty()) {
        out << "<p>Jumps in the total";
        if (jumps.size() < allJumps.size()) {
            out << ", " << jumps.size() << " of " << allJumps.size()
                << " (the rises, then the largest falls)";
        }
        out << ":</p><ul class=\"jumps\">";
        for (const Jump& jump : jumps) {
            const std::int64_t before = values[jump.run - 1][valueAt("all_errors")];
            const std::int64_t after = values[jump.run][valueAt("all_errors")];
            out << "<li>" << htmlText(runs[jump.run].run.githash) << " ("
                << htmlText(stampOf(runs[jump.run].run)) << "): " << groupedNumber(before)
                << " &rarr; " << groupedNumber(after) << ", " << jumpText(before, after) << "</li>";
        }
        out << "</ul>";
    }
}

void writeSparkline(std::ostream& out, const std::vector<std::int64_t>& values, std::int64_t top,
                    const std::string& label) {
    constexpr int width = 120;
    constexpr int height = 24;
    const auto x = [&](std::size_t at) {
        return values.size() < 2 ? width / 2.0
                                 : 2 + (width - 4.0) * static_cast<double>(at) /
                                           static_cast<double>(values.size() - 1);
    };
    const auto y = [&](std::int64_t value) {
        return height - 2 -
               (height - 4.0) * static_cast<double>(value) /
                   static_cast<double>(std::max<std::int64_t>(top, 1));
    };
    out << "<svg class=\"sparkline\" width=\"" << width << "\" height=\"" << height
        << "\" role=\"img\" aria-label=\"" << label << "\"><polyline fill=\"none\" stroke=\"#000\" "
        << "stroke-width=\"1.5\" points=\"";
    for (std::size_t at = 0; at < values.size(); ++at) {
        out << x(at) << ',' << y(values[at]) << ' ';
    }
    out << "\"/>";
    if (!values.empty()) {
        out << "<circle cx=\"" << x(values.size() - 1) << "\" cy=\"" << y(values.back())
            << "\" r=\"2\"/>";
    }
    out << "</svg>";
}

} // namespace vendrik::history
