#include "history/report/history_output.h"

#include "output/json_text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iomanip>

namespace vendrik::history {

namespace {

bool asciiPunctuation(char c) {
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
           (c >= '{' && c <= '~');
}

std::string signedText(std::int64_t value) {
    return value > 0 ? std::string("+").append(std::to_string(value)) : std::to_string(value);
}

/// "3 -> 5 (+2)", with "-" for a side the file lacks.
std::string cellOf(const FileChange& file, std::size_t column) {
    const auto side = [&](const std::optional<Values>& values) {
        return values ? std::to_string((*values)[column]) : std::string("-");
    };
    return side(file.base) + " -> " + side(file.head) + " (" + signedText(file.change()[column]) +
           ")";
}

std::string runText(const RunKey& run, Format format) {
    return shown(run.githash, format) + " (" + shown(stampOf(run), format) + ")";
}

/// Rows of cells as a text table with aligned columns, or as a Markdown table.
void printTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows,
                bool markdown) {
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    for (std::size_t index = 0; index < rows.size(); ++index) {
        for (std::size_t column = 0; column < rows[index].size(); ++column) {
            const std::string& cell = rows[index][column];
            if (markdown) {
                out << "| " << cell << ' ';
            } else {
                const bool last = column + 1 == rows[index].size();
                out << (column == 0 ? "" : "  ") << cell
                    << std::string(last ? 0 : widths[column] - cell.size(), ' ');
            }
        }
        out << (markdown ? "|\n" : "\n");
        if (markdown && index == 0) {
            for (std::size_t column = 0; column < rows[index].size(); ++column) {
                out << (column == 0 ? "|---" : "|---:");
            }
            out << "|\n";
        }
    }
}

nlohmann::json valuesObject(const Values& values) {
    nlohmann::json object = nlohmann::json::object();
    for (std::size_t column = 0; column < values.size(); ++column) {
        object[std::string(comparedColumns[column])] = values[column];
    }
    return object;
}

nlohmann::json runJson(const RunKey& run) {
    return {{"githash", utf8Text(run.githash)},
            {"date", utf8Text(run.date)},
            {"time", utf8Text(run.time)}};
}

nlohmann::json fileJson(const FileChange& file) {
    return {{"filename", utf8Text(file.filename)},
            {"base", file.base ? valuesObject(*file.base) : nlohmann::json()},
            {"head", file.head ? valuesObject(*file.head) : nlohmann::json()},
            {"change", valuesObject(file.change())}};
}

std::vector<std::string> textsOf(std::vector<std::string> names) {
    for (std::string& name : names) {
        name = utf8Text(name);
    }
    return names;
}

std::vector<std::string> namesWhere(const Comparison& comparison, bool appeared) {
    std::vector<std::string> names;
    for (const FileChange& file : comparison.files) {
        if (appeared ? !file.base : !file.head) {
            names.push_back(file.filename);
        }
    }
    return names;
}

/// The table of `files` for `columns`, with a totals row when `totals` is given.
std::vector<std::vector<std::string>> changeTable(const std::vector<const FileChange*>& files,
                                                  const std::vector<std::size_t>& columns,
                                                  const FileChange* totals, Format format) {
    std::vector<std::vector<std::string>> rows(1, {"file"});
    for (const std::size_t column : columns) {
        rows[0].emplace_back(comparedColumns[column]);
    }
    for (const FileChange* file : files) {
        rows.push_back({shown(file->filename, format) + (!file->base   ? " (new)"
                                                         : !file->head ? " (gone)"
                                                                       : "")});
        for (const std::size_t column : columns) {
            rows.back().push_back(cellOf(*file, column));
        }
    }
    if (totals) {
        rows.push_back({"total"});
        for (const std::size_t column : columns) {
            rows.back().push_back(cellOf(*totals, column));
        }
    }
    return rows;
}

std::vector<std::size_t> allColumns() {
    std::vector<std::size_t> columns(comparedColumns.size());
    for (std::size_t column = 0; column < columns.size(); ++column) {
        columns[column] = column;
    }
    return columns;
}

/// "Src/a.c:12 2982 (priority 3): text", or with "HIS" for a HIS finding.
std::string findingText(const TrackedFinding& finding, Format format) {
    return shown(finding.file, format) + ":" + std::to_string(finding.line) + " " +
           std::to_string(finding.number) + " (priority " + std::to_string(finding.priority) +
           (finding.his ? ", HIS" : "") + "): " + shown(finding.text, format);
}

/// Markdown is cut to stay within a merge-request comment: each list within its share.
constexpr std::size_t markdownListShare = 10'000;
constexpr std::size_t markdownTableShare = 14'000;
constexpr std::size_t markdownListItems = 100;

/// `lines` under `title`, the count beside it; Markdown shows the first ones that fit
/// (at most 100, within a share of the comment), then "and N more".
void printList(std::ostream& out, const std::string& title, const std::vector<std::string>& lines,
               Format format) {
    const bool markdown = format == Format::markdown;
    out << '\n' << title << ": " << lines.size() << '\n';
    std::size_t used = 0;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        used += lines[index].size() + 3;
        if (markdown && (index == markdownListItems || used > markdownListShare)) {
            out << "- and " << lines.size() - index << " more\n";
            return;
        }
        out << (markdown ? "- " : "  ") << lines[index] << '\n';
    }
}

/// The number of kept findings of base's file `from` that moved with it.
std::size_t movedCount(const FindingChanges& changes, const std::string& from) {
    return static_cast<std::size_t>(
        std::count_if(changes.match.kept.begin(), changes.match.kept.end(), [&](const auto& pair) {
            return changes.base[pair.first].file == from &&
                   findingMoved(changes.base[pair.first], changes.head[pair.second]);
        }));
}

} // namespace

std::string decisionText(const AppliedDecision& applied, Format format) {
    const Decision& d = applied.decision;
    std::string about;
    const auto add = [&](const std::string& part) { about += (about.empty() ? "" : "; ") + part; };
    if (!d.author.empty()) {
        add(shown(d.author, format) + (d.at.empty() ? "" : ", " + shown(d.at, format)));
    }
    if (!d.expires.empty() && !applied.expired) {
        add("expires " + shown(d.expires, format));
    }
    if (!d.record.empty()) {
        add("record " + shown(d.record, format));
    }
    if (!d.approver.empty()) {
        add("approved by " + shown(d.approver, format));
    }
    add(shown(applied.source, format));
    return applied.label() + ": " + shown(d.reason, format) + " (" + about + ")";
}

namespace {

/// A finding with its decision, where it has one.
std::string decidedText(const FindingChanges& changes, std::size_t index, Format format) {
    const AppliedDecision* decision = changes.decisionOn(index);
    return findingText(changes.head[index], format) +
           (decision ? " [" + decisionText(*decision, format) + "]" : "");
}

/// The suppressions that end soon and the decisions that apply to no finding of head, where
/// any decision was read.
void printTriageNotes(std::ostream& out, const FindingChanges& changes, Format format) {
    const Triage& triage = changes.triage;
    if (triage.decided.empty()) {
        return;
    }
    std::vector<std::string> lines;
    for (const std::size_t index : triage.expiring) {
        lines.push_back(decidedText(changes, index, format));
    }
    printList(out, "Suppressions expiring by " + triage.warnUntil, lines, format);
    lines.clear();
    for (const Decision& stale : triage.staleStored) {
        lines.push_back(
            shown(stale.finding.file, format) + ":" + std::to_string(stale.finding.line) + " " +
            std::to_string(stale.finding.number) + " " + stale.state + ": " +
            shown(stale.reason, format) + " (database, " + shown(stale.author, format) + ")");
    }
    for (const DecisionRule& rule : triage.staleRules) {
        lines.push_back(decisionText(decisionOfRule(rule, triage.rulesPath), format));
    }
    printList(out, "Stale decisions (on no finding of head)", lines, format);
}

/// The new and the fixed findings, and the files moved, or a line saying why they are not
/// known; with `suppressedApart`, the new findings that decisions suppress in a list of
/// their own.
void printFindingChanges(std::ostream& out, const Comparison& comparison, Format format,
                         bool suppressedApart = false) {
    if (!comparison.findings) {
        out << "\nNew and fixed findings: not known (load both runs' SARIF logs)\n";
        return;
    }
    const FindingChanges& changes = *comparison.findings;
    std::vector<std::string> suppressed;
    for (const bool added : {true, false}) {
        std::vector<std::string> lines;
        for (const std::size_t index : added ? changes.match.added : changes.match.fixed) {
            if (!added) {
                lines.push_back(findingText(changes.base[index], format));
            } else if (suppressedApart && changes.suppressed(index)) {
                suppressed.push_back(decidedText(changes, index, format));
            } else {
                lines.push_back(decidedText(changes, index, format));
            }
        }
        printList(out, added ? "New findings" : "Fixed findings", lines, format);
    }
    if (suppressedApart && !changes.triage.decided.empty()) {
        printList(out, "Suppressed new findings (not counted)", suppressed, format);
    }
    if (!changes.match.movedFiles.empty()) {
        std::vector<std::string> lines;
        for (const auto& [from, to] : changes.match.movedFiles) {
            lines.push_back(shown(from, format) + " -> " + shown(to, format) + " (" +
                            std::to_string(movedCount(changes, from)) + " findings moved)");
        }
        printList(out, "Moved files", lines, format);
    }
    printTriageNotes(out, changes, format);
}

/// Changed files as a table; Markdown keeps the first rows that fit within a share of the
/// comment, then "and N more".
void printFileTable(std::ostream& out, const std::vector<const FileChange*>& files,
                    const std::vector<std::size_t>& columns, Format format) {
    std::vector<std::vector<std::string>> rows = changeTable(files, columns, nullptr, format);
    std::size_t kept = rows.size();
    if (format == Format::markdown) {
        std::size_t used = 0;
        for (kept = 0; kept < rows.size(); ++kept) {
            for (const std::string& cell : rows[kept]) {
                used += cell.size() + 3;
            }
            if (used > markdownTableShare) {
                break;
            }
        }
    }
    const std::size_t cut = rows.size() - kept;
    rows.resize(kept);
    printTable(out, rows, format == Format::markdown);
    if (cut > 0) {
        out << "\nand " << cut << " more\n";
    }
}

void addFindingsJson(nlohmann::json& document, const Comparison& comparison) {
    document["new"] = nullptr;
    document["fixed"] = nullptr;
    if (!comparison.findings || !comparison.hasBase) {
        return;
    }
    const FindingChanges& changes = *comparison.findings;
    document["new"] = nlohmann::json::array();
    document["fixed"] = nlohmann::json::array();
    for (const std::size_t index : changes.match.added) {
        nlohmann::json finding = findingJson(changes.head[index]);
        if (const AppliedDecision* decision = changes.decisionOn(index)) {
            finding["decision"] = decisionJson(*decision);
        }
        document["new"].push_back(std::move(finding));
    }
    if (!changes.triage.decided.empty()) {
        const Triage& triage = changes.triage;
        document["suppressed"] = static_cast<std::int64_t>(
            std::count_if(changes.match.added.begin(), changes.match.added.end(),
                          [&](std::size_t index) { return changes.suppressed(index); }));
        document["expiring"] = nlohmann::json::array();
        for (const std::size_t index : triage.expiring) {
            nlohmann::json finding = findingJson(changes.head[index]);
            finding["decision"] = decisionJson(*changes.decisionOn(index));
            document["expiring"].push_back(std::move(finding));
        }
        document["stale"] = nlohmann::json::array();
        for (const Decision& stale : triage.staleStored) {
            document["stale"].push_back(
                {{"file", utf8Text(stale.finding.file)},
                 {"line", stale.finding.line},
                 {"number", stale.finding.number},
                 {"fingerprint", utf8Text(stale.finding.fingerprint)},
                 {"decision", decisionJson(AppliedDecision{stale, "database", false})}});
        }
        for (const DecisionRule& rule : triage.staleRules) {
            document["stale"].push_back(
                {{"decision", decisionJson(decisionOfRule(rule, triage.rulesPath))}});
        }
    }
    for (const std::size_t index : changes.match.fixed) {
        document["fixed"].push_back(findingJson(changes.base[index]));
    }
    if (!changes.match.movedFiles.empty()) {
        document["moved"] = nlohmann::json::array();
        for (const auto& [from, to] : changes.match.movedFiles) {
            document["moved"].push_back({{"from", utf8Text(from)},
                                         {"to", utf8Text(to)},
                                         {"findings", movedCount(changes, from)}});
        }
    }
}

} // namespace

nlohmann::json decisionJson(const AppliedDecision& applied) {
    const Decision& d = applied.decision;
    const auto optional = [](const std::string& text) {
        return text.empty() ? nlohmann::json() : nlohmann::json(utf8Text(text));
    };
    return {{"state", d.state},
            {"expired", applied.expired},
            {"suppressed", applied.suppresses()},
            {"reason", utf8Text(d.reason)},
            {"author", optional(d.author)},
            {"at", optional(d.at)},
            {"expires", optional(d.expires)},
            {"record", optional(d.record)},
            {"approver", optional(d.approver)},
            {"source", utf8Text(applied.source)}};
}

nlohmann::json findingJson(const TrackedFinding& finding) {
    return {{"fingerprint", utf8Text(finding.fingerprint)},
            {"file", utf8Text(finding.file)},
            {"line", finding.line},
            {"number", finding.number},
            {"priority", finding.priority},
            {"his", finding.his},
            {"text", utf8Text(finding.text)},
            {"reference", utf8Text(finding.reference)}};
}

namespace {

/// The length of the control character at `at` in `text`: 1 for C0 and DEL, 2 for a C1
/// character in UTF-8 (U+0080 to U+009F, which terminals may obey too), else 0.
std::size_t controlAt(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == 0x7F) {
        return 1;
    }
    const bool c1 = byte == 0xC2 && at + 1 < text.size() &&
                    (static_cast<unsigned char>(text[at + 1]) & 0xE0) == 0x80;
    return c1 ? 2 : 0;
}

/// Appends the `length` bytes at `at` of `text` as \xNN each.
void appendEscaped(std::string& out, std::string_view text, std::size_t at, std::size_t length) {
    for (const char c : text.substr(at, length)) {
        const auto byte = static_cast<unsigned char>(c);
        out += "\\x";
        out += "0123456789ABCDEF"[byte >> 4];
        out += "0123456789ABCDEF"[byte & 0xF];
    }
}

} // namespace

std::string htmlText(std::string_view bytes) {
    std::string html;
    const std::string text = utf8Text(bytes);
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (const std::size_t control = controlAt(text, at)) {
            appendEscaped(html, text, at, control);
            at += control - 1;
            continue;
        }
        switch (text[at]) {
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
            html += text[at];
        }
    }
    return html;
}

std::string shown(std::string_view text, Format format) {
    if (format == Format::json) {
        return std::string(text);
    }
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (const std::size_t control = controlAt(text, at)) {
            appendEscaped(out, text, at, control);
            at += control - 1;
            continue;
        }
        if (format == Format::markdown) {
            switch (c) {
            case '&':
                out += "&amp;";
                continue;
            case '<':
                out += "&lt;";
                continue;
            case '>':
                out += "&gt;";
                continue;
            case '|':
                out += "&#124;";
                continue;
            case '[':
                out += "&#91;";
                continue;
            case ']':
                out += "&#93;";
                continue;
            case '`':
                out += "&#96;";
                continue;
            case '*':
                out += "&#42;";
                continue;
            case '\\':
                if (at + 1 < text.size() && asciiPunctuation(text[at + 1])) {
                    out += "&#92;";
                    continue;
                }
                break;
            default:
                break;
            }
        }
        out += c;
    }
    return out;
}

std::string stampOf(const RunKey& run) {
    return run.date == "0000.00.00" && run.time == "00:00:00" ? "unknown time"
                                                              : run.date + " " + run.time;
}

void printRuns(std::ostream& out, const std::vector<RunTotals>& runs) {
    std::vector<std::vector<std::string>> rows = {{"platform", "project", "githash",
                                                   "date and time", "files", "all_errors",
                                                   "band_8_9", "band_5_7", "band_0_4", "his"}};
    for (const RunTotals& run : runs) {
        const Values values = valuesOf(run.counters);
        rows.push_back(
            {shown(run.run.platform, Format::text), shown(run.run.project, Format::text),
             shown(run.run.githash, Format::text) +
                 (run.branch.empty() ? "" : " (" + shown(run.branch, Format::text) + ")"),
             stampOf(run.run), std::to_string(run.files),
             std::to_string(values[valueAt("all_errors")]),
             std::to_string(values[valueAt("band_8_9")]),
             std::to_string(values[valueAt("band_5_7")]),
             std::to_string(values[valueAt("band_0_4")]), std::to_string(values[valueAt("his")])});
    }
    printTable(out, rows, false);
}

void printComparison(std::ostream& out, const Comparison& comparison, Format format) {
    const FileChange totals{"total", comparison.baseTotal, comparison.headTotal};
    const std::vector<const FileChange*> changed = changedFiles(comparison);
    if (format == Format::json) {
        nlohmann::json document = {{"platform", utf8Text(comparison.head.platform)},
                                   {"project", utf8Text(comparison.head.project)},
                                   {"base", runJson(comparison.base)},
                                   {"head", runJson(comparison.head)},
                                   {"files", nlohmann::json::array()},
                                   {"appeared", textsOf(namesWhere(comparison, true))},
                                   {"disappeared", textsOf(namesWhere(comparison, false))},
                                   {"totals",
                                    {{"base", valuesObject(comparison.baseTotal)},
                                     {"head", valuesObject(comparison.headTotal)},
                                     {"change", valuesObject(totals.change())}}}};
        for (const FileChange* file : changed) {
            document["files"].push_back(fileJson(*file));
        }
        addFindingsJson(document, comparison);
        out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return;
    }
    const bool markdown = format == Format::markdown;
    out << (markdown ? "### " : "") << shown(comparison.head.platform, format) << " / "
        << shown(comparison.head.project, format) << ": " << runText(comparison.base, format)
        << " -> " << runText(comparison.head, format) << "\n\n";
    printTable(out, changeTable({}, allColumns(), &totals, format), markdown);
    printFindingChanges(out, comparison, format);
    out << "\nFiles that changed: " << changed.size() << " of " << comparison.files.size() << "\n";
    if (!changed.empty()) {
        out << '\n';
        printFileTable(out, changed, allColumns(), format);
    }
    for (const bool appeared : {true, false}) {
        std::vector<std::string> names = namesWhere(comparison, appeared);
        for (std::string& name : names) {
            name = shown(name, format);
        }
        printList(out, appeared ? "Files that appear" : "Files that disappear", names, format);
    }
}

void printGate(std::ostream& out, const Comparison& comparison, const GateResult& gate,
               const std::vector<std::size_t>& watched, Format format) {
    std::string watchedNames;
    for (const std::size_t column : watched) {
        watchedNames += watchedNames.empty() ? "" : ",";
        watchedNames += comparedColumns[column];
    }
    const std::vector<const FileChange*> grown = byLargestChange(gate.grown);
    const std::vector<const FileChange*> improved = byLargestChange(gate.improved);
    if (format == Format::json) {
        nlohmann::json document = {
            {"passed", !gate.failed},
            {"base", comparison.hasBase ? runJson(comparison.base) : nlohmann::json()},
            {"head", runJson(comparison.head)},
            {"watched", watchedNames},
            {"grown", nlohmann::json::array()},
            {"improved", nlohmann::json::array()},
            {"limitsPassed", gate.limitsPassed}};
        for (const FileChange* file : grown) {
            document["grown"].push_back(fileJson(*file));
        }
        for (const FileChange* file : improved) {
            document["improved"].push_back(fileJson(*file));
        }
        addFindingsJson(document, comparison);
        out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return;
    }
    const bool markdown = format == Format::markdown;
    out << (markdown ? "### QAC gate " : "Gate ") << (gate.failed ? "failed" : "passed") << ": "
        << shown(comparison.head.platform, format) << " / "
        << shown(comparison.head.project, format) << ", " << runText(comparison.head, format)
        << " against " << (comparison.hasBase ? runText(comparison.base, format) : "no base run")
        << "\n\n"
        << "Watched: " << watchedNames << "\n";
    for (const std::string& limit : gate.limitsPassed) {
        out << (markdown ? "- " : "  ") << "Limit passed: " << limit << '\n';
    }
    if (comparison.hasBase) {
        printFindingChanges(out, comparison, format, true);
    }
    for (const bool isGrown : {true, false}) {
        const auto& files = isGrown ? grown : improved;
        out << '\n'
            << (isGrown ? "Files whose watched counts grew: " : "Files that improved: ")
            << files.size() << "\n";
        if (!files.empty()) {
            out << '\n';
            printFileTable(out, files, watched, format);
        }
    }
}

} // namespace vendrik::history
