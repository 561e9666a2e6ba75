#include "history/history_page.h"

#include "history/finding_match.h"
#include "history/history_output.h"
#include "history/run_comparison.h"
#include "output/json_text.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace vendrik::history {

namespace {

/// `bytes` as HTML text: read as UTF-8, other bytes as Windows-1252 (as the converter's
/// exports read them), so that the page is the UTF-8 it declares.
std::string escaped(std::string_view bytes) {
    std::string html;
    for (const char c : utf8Text(bytes)) {
        switch (c) {
        case '&':
            html += "&amp;";
            break;
        case '<':
            html += "&lt;";
            break;
        case '>':
            html += "&gt;";
            break;
        case '"':
            html += "&quot;";
            break;
        default:
            html += c;
        }
    }
    return html;
}

struct Series {
    const char* name;
    const char* colour;
    std::size_t column; ///< in comparedColumns
};
constexpr Series trendSeries[] = {{"priority 8-9", "#c0392b", valueAt("band_8_9")},
                                  {"priority 5-7", "#e67e22", valueAt("band_5_7")},
                                  {"priority 0-4", "#2980b9", valueAt("band_0_4")},
                                  {"HIS", "#8e44ad", valueAt("his")}};

/// An SVG line chart of `values` (one vector per series, one value per run, oldest first).
void writeChart(std::ostream& out, const std::vector<RunTotals>& runs,
                const std::vector<std::vector<std::int64_t>>& values,
                const std::vector<Series>& series, int width, int height, bool points) {
    std::int64_t top = 1;
    for (const auto& line : values) {
        for (const std::int64_t value : line) {
            top = std::max(top, value);
        }
    }
    const int margin = points ? 30 : 2;
    const auto x = [&](std::size_t index) {
        return runs.size() < 2 ? width / 2.0
                               : margin + (width - 2.0 * margin) * static_cast<double>(index) /
                                              static_cast<double>(runs.size() - 1);
    };
    const auto y = [&](std::int64_t value) {
        return height - margin -
               (height - 2.0 * margin) * static_cast<double>(value) / static_cast<double>(top);
    };
    out << "<svg class=\"chart\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << ' ' << height << "\" role=\"img\">";
    if (points) {
        out << "<line x1=\"" << margin << "\" y1=\"" << height - margin << "\" x2=\""
            << width - margin << "\" y2=\"" << height - margin
            << "\" stroke=\"#888\"/><text x=\"2\" y=\"" << margin - 8 << "\" font-size=\"11\">"
            << top << "</text>";
    }
    for (std::size_t line = 0; line < values.size(); ++line) {
        out << "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" << series[line].colour
            << "\" points=\"";
        for (std::size_t index = 0; index < values[line].size(); ++index) {
            out << x(index) << ',' << y(values[line][index]) << ' ';
        }
        out << "\"/>";
        for (std::size_t index = 0; points && index < values[line].size(); ++index) {
            const RunKey& run = runs[index].run;
            out << "<circle class=\"point\" data-run=\"" << escaped(run.githash) << "\" cx=\""
                << x(index) << "\" cy=\"" << y(values[line][index]) << "\" r=\"4\" fill=\""
                << series[line].colour << "\"><title>" << escaped(run.githash) << ' '
                << escaped(stampOf(run)) << ": " << series[line].name << ' ' << values[line][index]
                << "</title></circle>";
        }
    }
    out << "</svg>";
}

/// The trend of the totals by band and HIS, with its legend.
void writeTotalsChart(std::ostream& out, const std::vector<RunTotals>& runs) {
    std::vector<std::vector<std::int64_t>> totals;
    for (const Series& series : trendSeries) {
        totals.emplace_back();
        for (const RunTotals& run : runs) {
            totals.back().push_back(valuesOf(run.counters)[series.column]);
        }
    }
    out << "<h3>Findings per run</h3><div class=\"legend\">";
    for (const Series& series : trendSeries) {
        out << "<span style=\"color:" << series.colour << "\">&#9632; " << series.name
            << "</span> ";
    }
    out << "</div>";
    writeChart(out, runs, totals, {std::begin(trendSeries), std::end(trendSeries)}, 720, 240, true);
}

/// The ten files with most findings in the newest run (most first; by name among equals),
/// each with its trend over the runs.
void writeTopFiles(std::ostream& out, HistoryStore& store, const std::vector<RunTotals>& runs,
                   const std::vector<FileRow>& newestFiles) {
    std::vector<const FileRow*> ranked;
    for (const FileRow& file : newestFiles) {
        ranked.push_back(&file);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const FileRow* a, const FileRow* b) {
        return a->counters[valueAt("all_errors")] > b->counters[valueAt("all_errors")];
    });
    ranked.resize(std::min<std::size_t>(ranked.size(), 10));
    std::vector<std::string> names;
    for (const FileRow* file : ranked) {
        names.push_back(file->filename);
    }
    const auto trends = store.fileTrends(runs, names);
    out << "<h3>Files with most findings now</h3><table class=\"files\"><tr><th>file</th>"
           "<th>all_errors</th><th>trend</th></tr>";
    for (std::size_t index = 0; index < ranked.size(); ++index) {
        out << "<tr><td>" << escaped(ranked[index]->filename) << "</td><td>"
            << ranked[index]->counters[valueAt("all_errors")] << "</td><td>";
        writeChart(out, runs, {trends[index]}, {{"all_errors", "#555", valueAt("all_errors")}}, 120,
                   24, false);
        out << "</td></tr>";
    }
    out << "</table>";
}

/// The files that changed from the run before the newest to the newest, and the totals.
void writeNewestComparison(std::ostream& out, HistoryStore& store,
                           const std::vector<RunTotals>& runs,
                           const std::vector<FileRow>& newestFiles) {
    out << "<h3>Newest comparison</h3>";
    if (runs.size() < 2) {
        out << "<p>Only one run: nothing to compare with.</p>";
        return;
    }
    const RunKey& newest = runs.back().run;
    const RunKey& base = runs[runs.size() - 2].run;
    const Comparison comparison =
        compareRuns(base, store.files(base, runs.back().branch), newest, newestFiles);
    constexpr std::size_t columns[] = {valueAt("all_errors"), valueAt("band_8_9"),
                                       valueAt("band_5_7"), valueAt("band_0_4"), valueAt("his")};
    out << "<p>" << escaped(base.githash) << " (" << escaped(stampOf(base)) << ") to "
        << escaped(newest.githash) << " (" << escaped(stampOf(newest))
        << "): the files that changed</p><table class=\"comparison\"><tr><th>file</th>";
    for (const std::size_t column : columns) {
        out << "<th>" << comparedColumns[column] << "</th>";
    }
    out << "</tr>";
    const auto writeRow = [&](const FileChange& file, const std::string& label) {
        out << "<tr><td>" << escaped(label) << "</td>";
        for (const std::size_t column : columns) {
            const std::int64_t change = file.change()[column];
            out << "<td class=\""
                << (change > 0   ? "worse"
                    : change < 0 ? "better"
                                 : "")
                << "\">" << (file.base ? std::to_string((*file.base)[column]) : "-") << " &rarr; "
                << (file.head ? std::to_string((*file.head)[column]) : "-") << "</td>";
        }
        out << "</tr>";
    };
    for (const FileChange& file : comparison.files) {
        const Values change = file.change();
        if (!file.base || !file.head ||
            std::any_of(change.begin(), change.end(), [](std::int64_t v) { return v != 0; })) {
            writeRow(file, file.filename + (!file.base ? " (new)" : !file.head ? " (gone)" : ""));
        }
    }
    writeRow({"total", comparison.baseTotal, comparison.headTotal}, "total");
    out << "</table>";
}

/// The runs, newest first, with their totals.
void writeRunsTable(std::ostream& out, const std::vector<RunTotals>& runs) {
    out << "<h3>Runs</h3><table class=\"runs\"><tr><th>githash</th><th>date and time</th>"
           "<th>files</th><th>all_errors</th><th>8-9</th><th>5-7</th><th>0-4</th><th>his</th>"
           "</tr>";
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        const Values values = valuesOf(run->counters);
        out << "<tr class=\"run\" data-run=\"" << escaped(run->run.githash) << "\"><td>"
            << escaped(run->run.githash) << "</td><td>" << escaped(stampOf(run->run)) << "</td><td>"
            << run->files << "</td>";
        for (const std::size_t column :
             {valueAt("all_errors"), valueAt("band_8_9"), valueAt("band_5_7"), valueAt("band_0_4"),
              valueAt("his")}) {
            out << "<td>" << values[column] << "</td>";
        }
        out << "</tr>";
    }
    out << "</table>";
}

/// What a section's headline and the overview say of it: the newest run's total and its
/// change since the reference run (the newest older one with another hash, as the gate's
/// default), in findings where both runs' logs are loaded.
struct Headline {
    std::int64_t total = 0;
    std::optional<std::int64_t> change;  ///< nothing without a reference run
    std::optional<std::size_t> newCount; ///< with both runs' findings
    std::optional<std::size_t> fixedCount;
    std::optional<FindingChanges> findings; ///< the reference's and the newest run's
};

/// `runs` oldest first.
Headline headlineOf(HistoryStore& store, const std::vector<RunTotals>& runs) {
    const RunTotals& newest = runs.back();
    Headline headline;
    headline.total = newest.counters[valueAt("all_errors")];
    const auto reference = std::find_if(runs.rbegin(), runs.rend(), [&](const RunTotals& run) {
        return run.run.githash != newest.run.githash;
    });
    if (reference == runs.rend()) {
        return headline;
    }
    headline.change = headline.total - reference->counters[valueAt("all_errors")];
    auto before = store.findings(reference->run, newest.branch);
    auto now = store.findings(newest.run, newest.branch);
    if (before && now) {
        FindingMatch match = matchFindings(*before, *now);
        headline.newCount = match.added.size();
        headline.fixedCount = match.fixed.size();
        headline.findings = FindingChanges{std::move(*before), std::move(*now), std::move(match)};
    }
    return headline;
}

/// The newest run's new findings, then its fixed ones, against the reference run: the first
/// 100 of each (file, line, number, priority, text), then "and N more".
void writeFindingChanges(std::ostream& out, const Headline& headline) {
    if (!headline.findings) {
        return;
    }
    const FindingChanges& changes = *headline.findings;
    for (const bool added : {true, false}) {
        const std::vector<std::size_t>& indexes = added ? changes.match.added : changes.match.fixed;
        const std::vector<TrackedFinding>& findings = added ? changes.head : changes.base;
        out << "<h3>" << (added ? "New" : "Fixed")
            << " findings in the newest run: " << indexes.size() << "</h3><table class=\""
            << (added ? "new" : "fixed")
            << "-findings\"><tr><th>file</th><th>line</th><th>number</th><th>priority</th>"
               "<th>text</th></tr>";
        constexpr std::size_t shown = 100;
        for (std::size_t at = 0; at < std::min(indexes.size(), shown); ++at) {
            const TrackedFinding& finding = findings[indexes[at]];
            out << "<tr><td>" << escaped(finding.file) << "</td><td>" << finding.line << "</td><td>"
                << finding.number << "</td><td>" << finding.priority
                << (finding.his ? " (HIS)" : "") << "</td><td>" << escaped(finding.text)
                << "</td></tr>";
        }
        out << "</table>";
        if (indexes.size() > shown) {
            out << "<p>and " << indexes.size() - shown << " more</p>";
        }
    }
}

/// "+106 (3 new, 2 fixed)", or "no earlier run".
std::string changeText(const Headline& headline) {
    if (!headline.change) {
        return "no earlier run";
    }
    std::string text = (*headline.change > 0 ? "+" : "") + std::to_string(*headline.change);
    if (headline.newCount) {
        text += " (" + std::to_string(*headline.newCount) + " new, " +
                std::to_string(*headline.fixedCount) + " fixed)";
    }
    return text;
}

/// "TargetA / Ecu (branch)".
std::string sectionName(const RunTotals& run) {
    return escaped(run.run.platform) + " / " + escaped(run.run.project) +
           (run.branch.empty() ? "" : " (" + escaped(run.branch) + ")");
}

/// One row of the overview: the section's name, linked, its total, change and trend.
void writeOverviewRow(std::ostream& out, std::size_t section, const std::vector<RunTotals>& runs,
                      const Headline& headline) {
    out << "<tr class=\"overview-row\"><td><a href=\"#section-" << section << "\">"
        << sectionName(runs.back()) << "</a></td><td>" << headline.total << "</td><td class=\""
        << (headline.change && *headline.change > 0   ? "worse"
            : headline.change && *headline.change < 0 ? "better"
                                                      : "")
        << "\">" << changeText(headline) << "</td><td>";
    std::vector<std::int64_t> totals;
    for (const RunTotals& run : runs) {
        totals.push_back(run.counters[valueAt("all_errors")]);
    }
    writeChart(out, runs, {totals}, {{"all_errors", "#555", valueAt("all_errors")}}, 120, 24,
               false);
    out << "</td></tr>";
}

/// One platform, project and branch: its section of the page.
void writeProject(std::ostream& out, HistoryStore& store, const std::vector<RunTotals>& runs,
                  std::size_t section, const Headline& headline) {
    const RunKey& newest = runs.back().run;
    out << "<section class=\"project\" id=\"section-" << section << "\" data-platform=\""
        << escaped(newest.platform) << "\" data-project=\"" << escaped(newest.project)
        << "\" data-branch=\"" << escaped(runs.back().branch) << "\"><h2>"
        << sectionName(runs.back()) << "</h2><p class=\"headline\"><strong>" << headline.total
        << "</strong> findings now, " << changeText(headline)
        << (headline.change ? " since the previous run" : "") << "</p>";
    writeTotalsChart(out, runs);
    writeFindingChanges(out, headline);
    const std::vector<FileRow> newestFiles = store.files(newest, runs.back().branch);
    writeTopFiles(out, store, runs, newestFiles);
    writeNewestComparison(out, store, runs, newestFiles);
    writeRunsTable(out, runs);
    out << "</section>";
}

} // namespace

void writeHistoryPage(std::ostream& out, HistoryStore& store,
                      const std::optional<std::string>& branch) {
    out << "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<title>QAC findings history</title><style>"
           "body{font-family:sans-serif;margin:2em;color:#222}"
           "table{border-collapse:collapse;margin:.5em 0}"
           "td,th{border:1px solid #ccc;padding:2px 8px;text-align:right}"
           "th:first-child{text-align:left}"
           "td:first-child{text-align:left}.chart{background:#fafafa;border:1px solid #ddd}"
           ".files .chart{border:none;background:none}"
           ".worse{color:#c0392b}.better{color:#27ae60}</style></head><body>"
           "<h1>QAC findings history</h1>";
    std::map<std::tuple<std::string, std::string, std::string>, std::vector<RunTotals>> projects;
    for (RunTotals& run : store.runs(std::nullopt, std::nullopt, branch)) {
        projects[{run.run.platform, run.run.project, run.branch}].push_back(std::move(run));
    }
    if (projects.empty()) {
        out << "<p>The database holds no runs.</p>";
    }
    std::vector<Headline> headlines;
    for (auto& [key, runs] : projects) {
        std::reverse(runs.begin(), runs.end()); // oldest first
        headlines.push_back(headlineOf(store, runs));
    }
    if (!projects.empty()) {
        out << "<section class=\"overview\"><h2>Overview</h2><table><tr><th>platform / project"
               "</th><th>findings now</th><th>change</th><th>trend</th></tr>";
        std::size_t section = 0;
        for (const auto& [key, runs] : projects) {
            writeOverviewRow(out, section, runs, headlines[section]);
            ++section;
        }
        out << "</table></section>";
    }
    std::size_t section = 0;
    for (const auto& [key, runs] : projects) {
        writeProject(out, store, runs, section, headlines[section]);
        ++section;
    }
    out << "</body></html>\n";
}

} // namespace vendrik::history
