#include "history/report/compliance_output.h"

#include "history/report/history_output.h"
#include "output/text_format.h"
#include "version_record.h"

#include <nlohmann/json.hpp>

namespace vendrik::history {

namespace {

using nlohmann::json;

std::string capitalized(Category category) {
    std::string name(categoryName(category));
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

std::string converterVersion() {
    return "Vendrik " + std::to_string(versionMajor) + "." + std::to_string(versionMinor) + "." +
           std::to_string(versionPatch) + "." + std::to_string(versionTweak);
}

std::string editionOf(const ComplianceTable& table) {
    return table.standard->name + " (" + table.standard->editions[table.edition] +
           (table.claimed ? ", claimed" : "") + ")";
}

/// The header's fields, in order, as plain texts.
std::vector<std::pair<std::string, std::string>> headerOf(const ComplianceSummary& summary) {
    std::string standards;
    for (const ComplianceTable& table : summary.tables) {
        standards += (standards.empty() ? "" : "; ") + editionOf(table);
    }
    std::vector<std::pair<std::string, std::string>> fields = {
        {"Platform", summary.run.platform},
        {"Project", summary.run.project},
        {"Branch", summary.branch.empty() ? "(none)" : summary.branch},
        {"Run", summary.run.githash + " (" + stampOf(summary.run) + ")"},
        {"Tool", std::string(toolLabel)},
        {"Converter", converterVersion()},
        {"Standards", standards},
        {"Judged on", summary.today},
    };
    for (const PlanFile& file : summary.planFiles) {
        fields.emplace_back("Plan file", file.path + " (SHA-256 " + file.sha256 + ")");
    }
    return fields;
}

/// The cells of a row, as plain texts.
std::vector<std::string> cellsOf(const ComplianceRow& row) {
    std::string records;
    for (const std::string& record : row.records) {
        records += (records.empty() ? "" : ", ") + record;
    }
    return {row.guideline->id,
            capitalized(row.misra),
            capitalized(row.project),
            row.compliance,
            std::to_string(row.open),
            std::to_string(row.deviated),
            std::to_string(row.accepted),
            std::to_string(row.falsePositive),
            records};
}

const std::vector<std::string> columnNames = {"Guideline",  "MISRA category", "Category",
                                              "Compliance", "Open",           "Deviated",
                                              "Accepted",   "False positive", "Records"};

std::string where(const TrackedFinding& finding) {
    return finding.file + ":" + std::to_string(finding.line) + " (message " +
           std::to_string(finding.number) + ")";
}

/// The lists after the tables, each a heading and its lines, as plain texts.
std::vector<std::pair<std::string, std::vector<std::string>>>
listsOf(const ComplianceSummary& summary) {
    std::vector<std::pair<std::string, std::vector<std::string>>> lists;
    auto& faults = lists
                       .emplace_back("Decisions not honoured, counted as violations",
                                     std::vector<std::string>())
                       .second;
    for (const DecisionFaultAt& fault : summary.faults) {
        faults.push_back(where(summary.findings[fault.finding]) + ", " + fault.guideline + ": " +
                         fault.fault + " (" + fault.source + ")");
    }
    auto& none =
        lists.emplace_back("Findings without a MISRA reference", std::vector<std::string>()).second;
    for (const std::size_t at : summary.unreferenced) {
        const TrackedFinding& finding = summary.findings[at];
        none.push_back(where(finding) + ": " + finding.text +
                       (finding.reference.empty() ? "" : " [" + finding.reference + "]"));
    }
    auto& unknown =
        lists.emplace_back("References the catalogue does not hold", std::vector<std::string>())
            .second;
    for (const UnknownReference& part : summary.unknown) {
        unknown.push_back(where(summary.findings[part.finding]) + ": " + part.part.standard + " " +
                          part.part.guideline + ": " + part.why);
    }
    return lists;
}

void writeText(std::ostream& out, const ComplianceSummary& summary, Format format) {
    const bool markdown = format == Format::markdown;
    out << (markdown ? "# " : "") << "Guideline Compliance Summary\n\n";
    for (const auto& [label, value] : headerOf(summary)) {
        out << (markdown ? "- " : "") << label << ": " << shown(value, format) << '\n';
    }
    out << '\n'
        << (markdown ? "**Verdict: " : "Verdict: ") << shown(verdictText(summary), format)
        << (markdown ? "**" : "") << '\n';
    out << (markdown ? "\n" : "") << "Reconciliation: " << reconciliationText(summary) << '\n';
    for (const ComplianceTable& table : summary.tables) {
        out << '\n' << (markdown ? "## " : "") << shown(editionOf(table), format) << "\n\n";
        if (markdown) {
            std::string rule = "|";
            for (const std::string& name : columnNames) {
                out << "| " << name << ' ';
                rule += "---|";
            }
            out << "|\n" << rule << '\n';
        }
        for (const ComplianceRow& row : table.rows) {
            const std::vector<std::string> cells = cellsOf(row);
            if (markdown) {
                for (const std::string& cell : cells) {
                    out << "| " << shown(cell, format) << ' ';
                }
                out << "|\n";
                continue;
            }
            out << "  " << cells[0]
                << std::string(cells[0].size() < 11 ? 11 - cells[0].size() : 1, ' ') << cells[1]
                << " -> " << cells[2] << ": " << cells[3] << " (open " << cells[4] << ", deviated "
                << cells[5] << ", accepted " << cells[6] << ", false positive " << cells[7]
                << (cells[8].empty() ? "" : "; records " + shown(cells[8], format)) << ")\n";
        }
    }
    for (const auto& [heading, lines] : listsOf(summary)) {
        out << '\n' << (markdown ? "## " : "") << heading << " (" << lines.size() << ")\n";
        out << (markdown && !lines.empty() ? "\n" : "");
        for (const std::string& line : lines) {
            out << (markdown ? "- " : "  ") << shown(line, format) << '\n';
        }
    }
}

json rowJson(const ComplianceRow& row) {
    return {{"guideline", row.guideline->id},
            {"misraCategory", categoryName(row.misra)},
            {"category", categoryName(row.project)},
            {"compliance", row.compliance},
            {"enforcement", row.enforcement.empty() ? json(nullptr) : json(row.enforcement)},
            {"open", row.open},
            {"deviated", row.deviated},
            {"accepted", row.accepted},
            {"falsePositive", row.falsePositive},
            {"records", row.records}};
}

void writeJson(std::ostream& out, const ComplianceSummary& summary) {
    json document = {{"platform", summary.run.platform},
                     {"project", summary.run.project},
                     {"branch", summary.branch},
                     {"run",
                      {{"githash", summary.run.githash},
                       {"date", summary.run.date},
                       {"time", summary.run.time}}},
                     {"tool", toolLabel},
                     {"converter", converterVersion()},
                     {"today", summary.today},
                     {"planFiles", json::array()},
                     {"verdict",
                      {{"compliant", summary.compliant},
                       {"text", verdictText(summary)},
                       {"deciding", summary.deciding},
                       {"deviated", summary.deviated},
                       {"enforcementNotStated", summary.unenforced}}},
                     {"reconciliation",
                      {{"inRows", summary.inRows},
                       {"apart", summary.apart},
                       {"allErrors", summary.allErrors},
                       {"reconciled", summary.reconciled()}}},
                     {"tables", json::array()},
                     {"faults", json::array()},
                     {"unreferenced", json::array()},
                     {"unknownReferences", json::array()}};
    for (const PlanFile& file : summary.planFiles) {
        document["planFiles"].push_back({{"path", file.path}, {"sha256", file.sha256}});
    }
    for (const ComplianceTable& table : summary.tables) {
        json rows = json::array();
        for (const ComplianceRow& row : table.rows) {
            rows.push_back(rowJson(row));
        }
        document["tables"].push_back({{"standard", table.standard->name},
                                      {"edition", table.standard->editions[table.edition]},
                                      {"claimed", table.claimed},
                                      {"rows", std::move(rows)}});
    }
    for (const DecisionFaultAt& fault : summary.faults) {
        document["faults"].push_back({{"finding", findingJson(summary.findings[fault.finding])},
                                      {"guideline", fault.guideline},
                                      {"source", fault.source},
                                      {"fault", fault.fault}});
    }
    for (const std::size_t at : summary.unreferenced) {
        document["unreferenced"].push_back(findingJson(summary.findings[at]));
    }
    for (const UnknownReference& part : summary.unknown) {
        document["unknownReferences"].push_back(
            {{"finding", findingJson(summary.findings[part.finding])},
             {"standard", part.part.standard},
             {"guideline", part.part.guideline},
             {"why", part.why}});
    }
    out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

/// A CSV field, quoted; a text that a spreadsheet would take for a formula gets a leading '.
std::string csvField(std::string text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos) {
        text.insert(0, "'");
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

void writeCsv(std::ostream& out, const ComplianceSummary& summary) {
    for (const auto& [label, value] : headerOf(summary)) {
        out << "# " << label << ": " << shown(value, Format::text) << '\n';
    }
    out << "# Verdict: " << shown(verdictText(summary), Format::text) << '\n';
    out << "# Reconciliation: " << reconciliationText(summary) << '\n';
    out << "standard,edition,guideline,misra_category,category,compliance,open,deviated,"
           "accepted,false_positive,records\n";
    for (const ComplianceTable& table : summary.tables) {
        for (const ComplianceRow& row : table.rows) {
            out << csvField(table.standard->name) << ','
                << csvField(table.standard->editions[table.edition]);
            for (const std::string& cell : cellsOf(row)) {
                out << ',' << csvField(cell);
            }
            out << '\n';
        }
    }
}

void writeHtml(std::ostream& out, const ComplianceSummary& summary) {
    const std::string identity = summary.run.platform + " / " + summary.run.project + ", run " +
                                 summary.run.githash + " (" + stampOf(summary.run) + ")";
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src 'unsafe-inline'\">\n<title>Guideline Compliance Summary: "
        << htmlText(identity)
        << "</title>\n<style>\n"
           "@page { size: A4; margin: 14mm 12mm; }\n"
           "body { font: 10pt sans-serif; color: #111; }\n"
           "table { border-collapse: collapse; width: 100%; margin-bottom: 1em; }\n"
           "thead { display: table-header-group; }\n"
           "tr { break-inside: avoid; }\n"
           "th, td { border: 1px solid #999; padding: 2px 4px; text-align: left; }\n"
           "td.n { text-align: right; }\n"
           "th.run { background: #eee; font-weight: normal; }\n"
           ".Violations { background: #fdd; } .Deviations { background: #ffd; }\n"
           "section { break-before: page; } section:first-of-type { break-before: auto; }\n"
           "</style>\n</head>\n<body>\n<h1>Guideline Compliance Summary</h1>\n<dl>\n";
    for (const auto& [label, value] : headerOf(summary)) {
        out << "<dt>" << label << "</dt><dd>" << htmlText(value) << "</dd>\n";
    }
    out << "</dl>\n<p id=\"verdict\" class=\""
        << (summary.compliant ? "compliant" : "not-compliant")
        << "\"><strong>Verdict: " << htmlText(verdictText(summary)) << "</strong></p>\n"
        << "<p id=\"reconciliation\">Reconciliation: " << htmlText(reconciliationText(summary))
        << "</p>\n";
    for (const ComplianceTable& table : summary.tables) {
        out << "<section>\n<h2>" << htmlText(editionOf(table)) << "</h2>\n<table>\n<thead>\n"
            << "<tr><th class=\"run\" colspan=\"" << columnNames.size() << "\">"
            << htmlText(identity + "; " + editionOf(table) + "; " + verdictText(summary))
            << "</th></tr>\n<tr>";
        for (const std::string& name : columnNames) {
            out << "<th>" << name << "</th>";
        }
        out << "</tr>\n</thead>\n<tbody>\n";
        for (const ComplianceRow& row : table.rows) {
            const std::vector<std::string> cells = cellsOf(row);
            out << "<tr class=\""
                << (row.compliance.starts_with("no findings") ? "unstated" : row.compliance)
                << "\">";
            for (std::size_t at = 0; at < cells.size(); ++at) {
                out << (at >= 4 && at <= 7 ? "<td class=\"n\">" : "<td>") << htmlText(cells[at])
                    << "</td>";
            }
            out << "</tr>\n";
        }
        out << "</tbody>\n</table>\n</section>\n";
    }
    for (const auto& [heading, lines] : listsOf(summary)) {
        out << "<h2>" << heading << " (" << lines.size() << ")</h2>\n";
        if (!lines.empty()) {
            out << "<ul>\n";
            for (const std::string& line : lines) {
                out << "<li>" << htmlText(line) << "</li>\n";
            }
            out << "</ul>\n";
        }
    }
    out << "</body>\n</html>\n";
}

} // namespace

std::string verdictText(const ComplianceSummary& summary) {
    const auto listed = [](const std::vector<std::string>& guidelines) {
        std::string list;
        for (const std::string& guideline : guidelines) {
            list += (list.empty() ? "" : ", ") + guideline;
        }
        return list;
    };
    if (!summary.compliant) {
        return "not compliant: Violations of " + listed(summary.deciding);
    }
    return "compliant: no Mandatory or Required guideline shows Violations" +
           (summary.deviated.empty() ? std::string()
                                     : "; Deviations of " + listed(summary.deviated)) +
           (summary.unenforced > 0
                ? "; " + std::to_string(summary.unenforced) +
                      " guidelines without findings and without a stated enforcement"
                : std::string());
}

std::string reconciliationText(const ComplianceSummary& summary) {
    const std::int64_t total = summary.inRows + summary.apart;
    return std::to_string(summary.inRows) + " findings in the rows + " +
           std::to_string(summary.apart) + " listed apart = " + std::to_string(total) +
           (summary.reconciled() ? ", the run's all_errors ("
                                 : ", MISMATCH: the run's all_errors is ") +
           std::to_string(summary.allErrors) + (summary.reconciled() ? ")" : "");
}

void writeCompliance(std::ostream& out, const ComplianceSummary& summary,
                     const std::string& format) {
    if (format == "json") {
        writeJson(out, summary);
    } else if (format == "csv") {
        writeCsv(out, summary);
    } else if (format == "html") {
        writeHtml(out, summary);
    } else {
        writeText(out, summary, format == "markdown" ? Format::markdown : Format::text);
    }
}

} // namespace vendrik::history
