#include "history/report/history_page.h"

#include "history/report/compliance_output.h"
#include "history/report/history_output.h"
#include "history/report/trend_chart.h"
#include "history/run_comparison.h"
#include "output/json_text.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <tuple>

namespace vendrik::history {

namespace {

constexpr std::size_t shownRows = 100; ///< of a long list; the page's data holds the rest
constexpr std::size_t recentRuns = 30; ///< the runs over which files' growth counts

/// The values a page shows of a run or a file, in comparedColumns.
constexpr std::size_t pageColumns[] = {valueAt("all_errors"), valueAt("band_8_9"),
                                       valueAt("band_5_7"), valueAt("band_0_4"), valueAt("his")};

/// One platform, project and branch, as its section and its row of the overview show it.
struct Section {
    std::vector<RunTotals> runs; ///< oldest first
    std::vector<FileRow> newestFiles;
    /// The newest run against the run the gate compares it with by default, when there is one.
    std::optional<Comparison> comparison;
    /// The newest run's Guideline Compliance Summary, where plans were given and its log is
    /// loaded.
    std::optional<ComplianceSummary> compliance;
    std::int64_t total() const { return runs.back().counters[valueAt("all_errors")]; }
};

/// The summary of the section's newest run, from the findings and decisions its comparison
/// read, else from the store; nothing when the run's log is not loaded.
std::optional<ComplianceSummary> complianceOf(HistoryStore& store, const Section& section,
                                              const DecisionInputs& decisions,
                                              const CompliancePlans& plans) {
    const RunTotals& newest = section.runs.back();
    std::optional<std::vector<TrackedFinding>> findings;
    Triage triage;
    if (section.comparison && section.comparison->findings) {
        findings = section.comparison->findings->head;
        triage = section.comparison->findings->triage;
    } else if ((findings = store.findings(newest.run, newest.branch))) {
        triage = triageOf(store, decisions, newest.run, newest.branch, *findings);
    } else {
        return std::nullopt;
    }
    return summarizeCompliance(newest.run, newest.branch, std::move(*findings), triage, plans,
                               todayOf(decisions), allErrorsOf(section.newestFiles));
}

Section sectionOf(HistoryStore& store, std::vector<RunTotals> runs, const DecisionInputs& decisions,
                  const CompliancePlans* plans) {
    Section section{std::move(runs), {}, std::nullopt, std::nullopt};
    const auto withCompliance = [&]() -> Section& {
        if (plans != nullptr) {
            section.compliance = complianceOf(store, section, decisions, *plans);
        }
        return section;
    };
    const RunTotals& newest = section.runs.back();
    section.newestFiles = store.files(newest.run, newest.branch);
    std::vector<RunKey> newestFirst;
    for (auto run = section.runs.rbegin(); run != section.runs.rend(); ++run) {
        newestFirst.push_back(run->run);
    }
    const auto reference = previousRunAt(newestFirst, 0);
    if (!reference) {
        return std::move(withCompliance());
    }
    section.comparison = compareStoredRuns(store, newestFirst[*reference], newest.run,
                                           section.newestFiles, newest.branch);
    applyDecisions(store, decisions, newest.branch, *section.comparison);
    return std::move(withCompliance());
}

/// "compliant", "not compliant", "does not reconcile", or "no log loaded".
std::string complianceWord(const Section& section) {
    if (!section.compliance) {
        return "no log loaded";
    }
    if (!section.compliance->reconciled()) {
        return "does not reconcile";
    }
    return section.compliance->compliant ? "compliant" : "not compliant";
}

/// The section's compliance: the verdict, the reconciliation and its rows per compliance.
void writeCompliance(std::ostream& out, const Section& section) {
    out << "<h3>MISRA compliance</h3><div class=\"compliance\">";
    if (!section.compliance) {
        out << "<p>No findings to map onto guidelines: load the newest run's SARIF log.</p></div>";
        return;
    }
    const ComplianceSummary& summary = *section.compliance;
    out << "<p class=\"verdict\">" << htmlText(verdictText(summary))
        << "</p><p>Reconciliation: " << htmlText(reconciliationText(summary))
        << "</p><table><tr><th>standard</th>";
    const char* kinds[] = {"Compliant", "Deviations", "Violations", "Disapplied",
                           "no findings; enforcement not stated"};
    for (const char* kind : kinds) {
        out << "<th>" << kind << "</th>";
    }
    out << "</tr>";
    for (const ComplianceTable& table : summary.tables) {
        out << "<tr><td>"
            << htmlText(table.standard->name + " (" + table.standard->editions[table.edition] + ")")
            << "</td>";
        for (const std::string kind : kinds) {
            out << "<td>"
                << std::count_if(table.rows.begin(), table.rows.end(),
                                 [&](const ComplianceRow& row) { return row.compliance == kind; })
                << "</td>";
        }
        out << "</tr>";
    }
    out << "</table></div>";
}

/// "+106 (3 new, 2 fixed)", or "no earlier run".
std::string changeText(const Section& section) {
    if (!section.comparison) {
        return "no earlier run";
    }
    const std::int64_t change = section.comparison->headTotal[valueAt("all_errors")] -
                                section.comparison->baseTotal[valueAt("all_errors")];
    std::string text = signedNumber(change);
    if (const auto& findings = section.comparison->findings) {
        text += " (" + groupedNumber(static_cast<std::int64_t>(findings->match.added.size())) +
                " new, " + groupedNumber(static_cast<std::int64_t>(findings->match.fixed.size())) +
                " fixed)";
    }
    return text;
}

/// "worse", "better" or "" by the sign of `change`.
const char* changeClass(std::int64_t change) {
    return change > 0 ? "worse" : change < 0 ? "better" : "";
}

/// "TargetA / Ecu (branch)", as HTML text.
std::string sectionName(const RunTotals& run) {
    return htmlText(run.run.platform) + " / " + htmlText(run.run.project) +
           (run.branch.empty() ? "" : " (" + htmlText(run.branch) + ")");
}

/// "and 12 more", where a list was cut.
void writeMore(std::ostream& out, std::size_t all, const char* what) {
    if (all > shownRows) {
        out << "<p class=\"more\">and " << all - shownRows << " more" << what << "</p>";
    }
}

/// The newest run's new findings, then its fixed ones: file, line, number, priority, text.
void writeFindingChanges(std::ostream& out, const FindingChanges& changes) {
    for (const bool added : {true, false}) {
        const std::vector<std::size_t>& indexes = added ? changes.match.added : changes.match.fixed;
        const std::vector<TrackedFinding>& findings = added ? changes.head : changes.base;
        const bool decided = added && !changes.triage.decided.empty();
        out << "<h4>" << (added ? "New" : "Fixed")
            << " findings in the newest run: " << indexes.size() << "</h4><table class=\""
            << (added ? "new" : "fixed")
            << "-findings\"><tr><th>file</th><th>line</th><th>number</th><th>priority</th>"
               "<th class=\"text\">text</th>"
            << (decided ? "<th class=\"text\">state</th>" : "") << "</tr>";
        for (std::size_t at = 0; at < std::min(indexes.size(), shownRows); ++at) {
            const TrackedFinding& finding = findings[indexes[at]];
            out << "<tr><td>" << htmlText(finding.file) << "</td><td>" << finding.line
                << "</td><td>" << finding.number << "</td><td>" << finding.priority
                << (finding.his ? " (HIS)" : "") << "</td><td class=\"text\">"
                << htmlText(finding.text) << "</td>";
            if (decided) {
                const AppliedDecision* decision = changes.decisionOn(indexes[at]);
                out << "<td class=\"text\">"
                    << (decision ? htmlText(decision->label()) : std::string("unreviewed"))
                    << "</td>";
            }
            out << "</tr>";
        }
        out << "</table>";
        writeMore(out, indexes.size(), "");
    }
}

/// The newest run's findings by what decisions say of them, the decisions in force with who,
/// when and why, those that end soon and those on no finding; where any decision was read.
void writeDecisions(std::ostream& out, const Section& section) {
    if (!section.comparison || !section.comparison->findings ||
        section.comparison->findings->triage.decided.empty()) {
        return;
    }
    const FindingChanges& changes = *section.comparison->findings;
    const Triage& triage = changes.triage;
    std::int64_t unreviewed = 0;
    std::int64_t confirmed = 0;
    std::int64_t suppressed = 0;
    std::int64_t expired = 0;
    std::vector<std::size_t> decided;
    for (std::size_t at = 0; at < triage.decided.size(); ++at) {
        const auto& decision = triage.decided[at];
        if (!decision) {
            ++unreviewed;
            continue;
        }
        decided.push_back(at);
        (decision->suppresses()                    ? suppressed
         : decision->expired                       ? expired
         : decision->decision.state == "confirmed" ? confirmed
                                                   : unreviewed) += 1;
    }
    out << "<h3>Decisions on the newest run's findings</h3><p class=\"triage\">"
        << groupedNumber(unreviewed) << " unreviewed, " << groupedNumber(confirmed)
        << " confirmed, " << groupedNumber(suppressed) << " suppressed"
        << (expired ? ", " + groupedNumber(expired) + " whose decision expired" : "") << "</p>";
    const auto table = [&](const char* title, const char* kind,
                           const std::vector<std::size_t>& indexes) {
        out << "<h4>" << title << ": " << indexes.size() << "</h4><table class=\"" << kind
            << "\"><tr><th>file</th><th>line</th><th>number</th><th>state</th>"
               "<th class=\"text\">reason</th><th>who</th><th>when</th><th>expires</th>"
               "<th>approver</th><th>source</th></tr>";
        for (std::size_t at = 0; at < std::min(indexes.size(), shownRows); ++at) {
            const TrackedFinding& finding = changes.head[indexes[at]];
            const AppliedDecision& applied = *changes.decisionOn(indexes[at]);
            const Decision& d = applied.decision;
            out << "<tr><td>" << htmlText(finding.file) << "</td><td>" << finding.line
                << "</td><td>" << finding.number << "</td><td>" << htmlText(applied.label())
                << (d.record.empty() ? "" : " " + htmlText(d.record)) << "</td><td class=\"text\">"
                << htmlText(d.reason) << "</td><td>" << htmlText(d.author) << "</td><td>"
                << htmlText(d.at) << "</td><td>" << htmlText(d.expires) << "</td><td>"
                << htmlText(d.approver) << "</td><td>" << htmlText(applied.source) << "</td></tr>";
        }
        out << "</table>";
        writeMore(out, indexes.size(), "");
    };
    table("Decisions in force", "decisions", decided);
    table(("Suppressions that end by " + triage.warnUntil).c_str(), "expiring", triage.expiring);
    out << "<h4>Stale decisions (on no finding of the newest run): "
        << triage.staleStored.size() + triage.staleRules.size()
        << "</h4><table class=\"stale\"><tr><th>file</th><th>line</th><th>state</th>"
           "<th class=\"text\">reason</th><th>source</th></tr>";
    for (const Decision& stale : triage.staleStored) {
        out << "<tr><td>" << htmlText(stale.finding.file) << "</td><td>" << stale.finding.line
            << "</td><td>" << htmlText(stale.state) << "</td><td class=\"text\">"
            << htmlText(stale.reason) << "</td><td>database</td></tr>";
    }
    for (const DecisionRule& rule : triage.staleRules) {
        out << "<tr><td></td><td></td><td>" << htmlText(rule.state) << "</td><td class=\"text\">"
            << htmlText(rule.reason) << "</td><td>rules " << htmlText(triage.rulesPath) << ":"
            << rule.line << "</td></tr>";
    }
    out << "</table>";
}

/// The files whose counts changed, the largest change first, each value as "1 → 9 (+8)".
void writeChangedFiles(std::ostream& out, const Comparison& comparison) {
    const std::vector<const FileChange*> changed = changedFiles(comparison);
    out << "<h4>Files that changed: " << changed.size()
        << "</h4><table class=\"comparison\"><tr><th>file</th>";
    for (const std::size_t column : pageColumns) {
        out << "<th>" << comparedColumns[column] << "</th>";
    }
    out << "</tr>";
    for (std::size_t at = 0; at < std::min(changed.size(), shownRows); ++at) {
        const FileChange& file = *changed[at];
        out << "<tr><td>" << htmlText(file.filename)
            << (!file.base   ? " (new)"
                : !file.head ? " (gone)"
                             : "")
            << "</td>";
        for (const std::size_t column : pageColumns) {
            const std::int64_t change = file.change()[column];
            out << "<td class=\"" << changeClass(change) << "\">"
                << (file.base ? std::to_string((*file.base)[column]) : "-") << " &rarr; "
                << (file.head ? std::to_string((*file.head)[column]) : "-") << " ("
                << signedNumber(change) << ")</td>";
        }
        out << "</tr>";
    }
    out << "</table>";
    writeMore(out, changed.size(), " files");
}

/// What changed in the newest run against the gate's default reference.
void writeNewestChanges(std::ostream& out, const Section& section) {
    out << "<h3>What changed in the newest run</h3>";
    if (!section.comparison) {
        out << "<p>No earlier run with another hash: nothing to compare with.</p>";
        return;
    }
    const Comparison& comparison = *section.comparison;
    out << "<p>" << htmlText(comparison.head.githash) << " (" << htmlText(stampOf(comparison.head))
        << ") against " << htmlText(comparison.base.githash) << " ("
        << htmlText(stampOf(comparison.base))
        << "), the previous run with another hash, as the gate compares by default.</p>";
    if (comparison.findings) {
        writeFindingChanges(out, *comparison.findings);
    } else {
        out << "<p>New and fixed findings: not known (load both runs' SARIF logs).</p>";
    }
    writeChangedFiles(out, comparison);
}

/// A file among those that drive the trend: its findings now and at the start of the recent
/// runs.
struct DrivingFile {
    const FileRow* row;
    std::int64_t now = 0;
    std::int64_t before = 0;
};

/// The files with most findings now, and those that grew most over the recent runs, each
/// with its trend over those runs on one scale for all.
void writeDrivingFiles(std::ostream& out, HistoryStore& store, const Section& section) {
    const std::vector<RunTotals> recent(
        section.runs.end() - static_cast<std::ptrdiff_t>(std::min(section.runs.size(), recentRuns)),
        section.runs.end());
    std::map<std::string, std::int64_t> before;
    for (const FileRow& row : store.files(recent.front().run, recent.front().branch)) {
        before[row.filename] = row.counters[valueAt("all_errors")];
    }
    std::vector<DrivingFile> files;
    for (const FileRow& row : section.newestFiles) {
        const auto found = before.find(row.filename);
        files.push_back(
            {&row, row.counters[valueAt("all_errors")], found == before.end() ? 0 : found->second});
    }
    const auto ranked = [&](auto key) {
        std::vector<DrivingFile> list;
        std::copy_if(files.begin(), files.end(), std::back_inserter(list),
                     [&](const DrivingFile& file) { return key(file) > 0; });
        std::stable_sort(list.begin(), list.end(), [&](const DrivingFile& a, const DrivingFile& b) {
            return key(a) > key(b);
        });
        list.resize(std::min<std::size_t>(list.size(), 10));
        return list;
    };
    const auto most = ranked([](const DrivingFile& file) { return file.now; });
    const auto grown = ranked([](const DrivingFile& file) { return file.now - file.before; });
    std::vector<std::string> names;
    for (const auto* list : {&most, &grown}) {
        for (const DrivingFile& file : *list) {
            if (std::find(names.begin(), names.end(), file.row->filename) == names.end()) {
                names.push_back(file.row->filename);
            }
        }
    }
    const auto trends = store.fileTrends(recent, names);
    std::int64_t top = 1;
    for (const auto& trend : trends) {
        top = std::max(top, *std::max_element(trend.begin(), trend.end()));
    }
    const std::string span =
        " over the last " + std::to_string(recent.size()) + " run" + (recent.size() > 1 ? "s" : "");
    out << "<h3>Files that drive it</h3><p>Trends" << span << ", on one scale from 0 to " << top
        << ".</p>";
    for (const auto* list : {&most, &grown}) {
        const bool growth = list == &grown;
        out << "<h4>" << (growth ? "Files that grew most" + span : "Files with most findings now")
            << "</h4><table class=\"files " << (growth ? "grown" : "most")
            << "-files\"><tr><th>file</th><th>findings now</th><th>change" << span
            << "</th><th>trend</th></tr>";
        if (list->empty()) {
            out << "<tr><td colspan=\"4\">none</td></tr>";
        }
        for (const DrivingFile& file : *list) {
            const std::size_t at = static_cast<std::size_t>(
                std::find(names.begin(), names.end(), file.row->filename) - names.begin());
            const std::int64_t change = file.now - file.before;
            out << "<tr><td>" << htmlText(file.row->filename) << "</td><td>" << file.now
                << "</td><td class=\"" << changeClass(change) << "\">" << file.before << " &rarr; "
                << file.now << " (" << signedNumber(change) << ")</td><td>";
            writeSparkline(out, trends[at], top,
                           htmlText(file.row->filename) + ": " + std::to_string(file.before) +
                               " to " + std::to_string(file.now) + span);
            out << "</td></tr>";
        }
        out << "</table>";
    }
}

/// The newest runs, newest first, with their totals.
void writeRunsTable(std::ostream& out, const std::vector<RunTotals>& runs) {
    out << "<h3>Runs</h3><table class=\"runs\"><tr><th>githash</th><th>date and time</th>"
           "<th>files</th>";
    for (const std::size_t column : pageColumns) {
        out << "<th>" << comparedColumns[column] << "</th>";
    }
    out << "</tr>";
    for (auto run = runs.rbegin();
         run != runs.rend() && run - runs.rbegin() < static_cast<std::ptrdiff_t>(shownRows);
         ++run) {
        const Values values = valuesOf(run->counters);
        out << "<tr class=\"run\" data-run=\"" << htmlText(run->run.githash) << "\"><td>"
            << htmlText(run->run.githash) << "</td><td>" << htmlText(stampOf(run->run))
            << "</td><td>" << run->files << "</td>";
        for (const std::size_t column : pageColumns) {
            out << "<td>" << values[column] << "</td>";
        }
        out << "</tr>";
    }
    out << "</table>";
    writeMore(out, runs.size(), " runs");
}

nlohmann::ordered_json valuesArray(const Values& values) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const std::size_t column : pageColumns) {
        list.push_back(values[column]);
    }
    return list;
}

/// Everything a section shows, whole: its runs, the newest run's files, and what changed.
nlohmann::ordered_json sectionData(const Section& section) {
    const RunTotals& newest = section.runs.back();
    nlohmann::ordered_json data = {
        {"platform", utf8Text(newest.run.platform)}, {"project", utf8Text(newest.run.project)},
        {"branch", utf8Text(newest.branch)},         {"columns", nlohmann::ordered_json::array()},
        {"runs", nlohmann::ordered_json::array()},   {"files", nlohmann::ordered_json::array()}};
    for (const std::size_t column : pageColumns) {
        data["columns"].push_back(comparedColumns[column]);
    }
    for (const RunTotals& run : section.runs) {
        data["runs"].push_back({utf8Text(run.run.githash), utf8Text(run.run.date),
                                utf8Text(run.run.time), run.files,
                                valuesArray(valuesOf(run.counters))});
    }
    for (const FileRow& file : section.newestFiles) {
        data["files"].push_back({utf8Text(file.filename), valuesArray(valuesOf(file.counters))});
    }
    if (!section.comparison) {
        return data;
    }
    const Comparison& comparison = *section.comparison;
    data["reference"] = {utf8Text(comparison.base.githash), utf8Text(comparison.base.date),
                         utf8Text(comparison.base.time)};
    data["changedFiles"] = nlohmann::ordered_json::array();
    for (const FileChange* file : changedFiles(comparison)) {
        data["changedFiles"].push_back({utf8Text(file->filename),
                                        file->base ? valuesArray(*file->base) : nullptr,
                                        file->head ? valuesArray(*file->head) : nullptr});
    }
    if (const auto& findings = comparison.findings) {
        for (const bool added : {true, false}) {
            auto& list = data[added ? "new" : "fixed"] = nlohmann::ordered_json::array();
            for (const std::size_t at : added ? findings->match.added : findings->match.fixed) {
                list.push_back(nlohmann::ordered_json(
                    findingJson(added ? findings->head[at] : findings->base[at])));
            }
        }
    }
    return data;
}

/// `data` as the text of a script element: no "<" in it can end the element, and it is
/// ASCII, so that no control character of a name stands in the page raw.
std::string embeddedJson(const nlohmann::ordered_json& data) {
    std::string json;
    for (const char c : data.dump(-1, ' ', true)) {
        switch (c) {
        case '<':
            json += "\\u003c";
            break;
        case '>':
            json += "\\u003e";
            break;
        case '&':
            json += "\\u0026";
            break;
        default:
            json += c;
        }
    }
    return json;
}

/// One row of the overview: the section's name, linked, its total, change and trend.
void writeOverviewRow(std::ostream& out, std::size_t index, const Section& section,
                      bool compliance) {
    const std::int64_t change = section.comparison
                                    ? section.comparison->headTotal[valueAt("all_errors")] -
                                          section.comparison->baseTotal[valueAt("all_errors")]
                                    : 0;
    out << "<tr class=\"overview-row\"><td><a href=\"#section-" << index << "\">"
        << sectionName(section.runs.back()) << "</a></td><td>" << groupedNumber(section.total())
        << "</td><td class=\"" << changeClass(change) << "\">" << changeText(section) << "</td>";
    if (compliance) {
        out << "<td class=\"verdict\">" << complianceWord(section) << "</td>";
    }
    out << "<td>";
    std::vector<std::int64_t> totals;
    std::int64_t top = 1;
    for (const TrendPoint& point : trendPoints(section.runs)) {
        totals.push_back(section.runs[point.last].counters[valueAt("all_errors")]);
        top = std::max(top, totals.back());
    }
    writeSparkline(out, totals, top,
                   "total from " + std::to_string(totals.front()) + " to " +
                       std::to_string(totals.back()) + " over " +
                       std::to_string(section.runs.size()) + " runs");
    out << "</td></tr>";
}

/// One platform, project and branch: its section of the page.
void writeSection(std::ostream& out, HistoryStore& store, const Section& section, std::size_t index,
                  bool compliance) {
    const RunTotals& newest = section.runs.back();
    const std::string id = "section-" + std::to_string(index);
    out << "<section class=\"project\" id=\"" << id << "\" data-platform=\""
        << htmlText(newest.run.platform) << "\" data-project=\"" << htmlText(newest.run.project)
        << "\" data-branch=\"" << htmlText(newest.branch) << "\"><h2>" << sectionName(newest)
        << "</h2><p class=\"headline\"><strong>" << groupedNumber(section.total())
        << "</strong> findings now, " << changeText(section)
        << (section.comparison ? " since the previous run" : "") << "</p><h3>Findings per run</h3>";
    writeTotalsChart(out, section.runs, id + "-chart", sectionName(newest));
    writeNewestChanges(out, section);
    writeDecisions(out, section);
    if (compliance) {
        writeCompliance(out, section);
    }
    writeDrivingFiles(out, store, section);
    writeRunsTable(out, section.runs);
    out << "<script type=\"application/json\" class=\"section-data\" id=\"" << id << "-data\">"
        << embeddedJson(sectionData(section)) << "</script></section>";
}

/// Shows a point's title beside it while the pointer is on it or it has the focus.
constexpr const char* pointTips =
    "<div id=\"tip\" role=\"status\" hidden></div><script>(function(){"
    "var tip=document.getElementById('tip');"
    "function show(e){var p=e.target.closest&&e.target.closest('.point');if(!p)return;"
    "tip.textContent=p.querySelector('title').textContent;var r=p.getBoundingClientRect();"
    "tip.style.left=(window.scrollX+r.left+r.width/2)+'px';"
    "tip.style.top=(window.scrollY+r.top)+'px';tip.hidden=false;}"
    "function hide(){tip.hidden=true;}"
    "document.addEventListener('focusin',show);document.addEventListener('mouseover',show);"
    "document.addEventListener('focusout',hide);document.addEventListener('mouseout',hide);"
    "})();</script>";

} // namespace

void writeHistoryPage(std::ostream& out, HistoryStore& store,
                      const std::optional<std::string>& branch, const DecisionInputs& decisions,
                      const CompliancePlans* plans) {
    out << "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<title>QAC findings history</title><style>"
           "body{font-family:sans-serif;margin:2em;color:#222}"
           "table{border-collapse:collapse;margin:.5em 0}"
           "td,th{border:1px solid #ccc;padding:2px 8px;text-align:right}"
           "th:first-child,td:first-child,.text{text-align:left}"
           ".chart{background:#fafafa;border:1px solid #ddd;font-size:11px}"
           ".grid{stroke:#ddd}.tick{stroke:#888}.point circle{fill:#000}"
           ".point:focus{outline:none}.point:focus circle,.point:hover circle{r:6}"
           ".legend span{margin-right:1em}.more{color:#555}"
           ".worse{color:#b8400b}.better{color:#006e51}"
           "#tip{position:absolute;transform:translate(-50%,-110%);background:#fff;"
           "border:1px solid #888;padding:4px 6px;font-size:12px;max-width:40em}"
           "</style></head><body><h1>QAC findings history</h1>";
    std::map<std::tuple<std::string, std::string, std::string>, std::vector<RunTotals>> series;
    for (RunTotals& run : store.runs(std::nullopt, std::nullopt, branch)) {
        series[{run.run.platform, run.run.project, run.branch}].push_back(std::move(run));
    }
    std::vector<Section> sections;
    for (auto& [key, runs] : series) {
        std::reverse(runs.begin(), runs.end()); // oldest first
        sections.push_back(sectionOf(store, std::move(runs), decisions, plans));
    }
    if (sections.empty()) {
        out << "<p>The database holds no runs.</p>";
    } else {
        out << "<section class=\"overview\"><h2>Overview</h2><table><tr><th>platform / project"
               "</th><th>findings now</th><th>change since the previous run</th>"
            << (plans != nullptr ? "<th>MISRA compliance</th>" : "") << "<th>trend</th></tr>";
        for (std::size_t index = 0; index < sections.size(); ++index) {
            writeOverviewRow(out, index, sections[index], plans != nullptr);
        }
        out << "</table></section>";
    }
    for (std::size_t index = 0; index < sections.size(); ++index) {
        writeSection(out, store, sections[index], index, plans != nullptr);
    }
    out << pointTips << "</body></html>\n";
}

} // namespace vendrik::history
