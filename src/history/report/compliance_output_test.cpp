#include "history/report/compliance_output.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vendrik::history {
namespace {

/// A summary of one Required guideline deviated under a record whose id is `record`, and a
/// finding without a reference whose text is `text`.
ComplianceSummary hostileSummary(const Catalogue& catalogue, const std::string& record,
                                 const std::string& text) {
    ComplianceSummary summary;
    summary.run = {"TargetA", "Ecu|1", "abc", "2026.12.01", "02:00:00"};
    summary.today = "2026-12-09";
    ComplianceTable& table = summary.tables.emplace_back();
    table.standard = catalogue.standard("MISRA C:2012");
    table.edition = 2;
    table.claimed = true;
    ComplianceRow& row = table.rows.emplace_back();
    row.guideline = table.standard->guideline("Rule 11.3");
    row.compliance = "Deviations";
    row.deviated = 1;
    row.records = {record};
    TrackedFinding finding;
    finding.file = "Src/a.c";
    finding.text = text;
    summary.findings = {finding};
    summary.unreferenced = {0};
    summary.inRows = 1;
    summary.apart = 1;
    summary.allErrors = 2;
    summary.compliant = true;
    return summary;
}

std::string written(const ComplianceSummary& summary, const std::string& format) {
    std::ostringstream out;
    writeCompliance(out, summary, format);
    return out.str();
}

// Texts from the plans and the database cannot end a cell, start a formula, move the
// terminal or make an element, in any format.
TEST(ComplianceOutput, ShowsHostileTextsSafelyInEachFormat) {
    const Catalogue catalogue = builtInCatalogue();
    const ComplianceSummary summary =
        hostileSummary(catalogue, "=HYPERLINK(\"x\")|<b>", "line\x1b[2Jbreak\n| cell |");
    const std::string csv = written(summary, "csv");
    EXPECT_NE(csv.find("\"'=HYPERLINK(\"\"x\"\")|<b>\""), std::string::npos) << csv;
    const std::string markdown = written(summary, "markdown");
    EXPECT_EQ(markdown.find("| <b>"), std::string::npos);
    EXPECT_EQ(markdown.find("\x1b"), std::string::npos);
    EXPECT_NE(markdown.find("Ecu&#124;1"), std::string::npos) << markdown;
    const std::string text = written(summary, "text");
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_NE(text.find("line\\x1B[2Jbreak\\x0A| cell |"), std::string::npos) << text;
    const std::string html = written(summary, "html");
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_NE(html.find("=HYPERLINK(&quot;x&quot;)|&lt;b&gt;"), std::string::npos);
    EXPECT_NE(written(summary, "json").find("\"records\": [\n"), std::string::npos);
}

TEST(ComplianceOutput, SaysWhetherTheCountsReconcile) {
    const Catalogue catalogue = builtInCatalogue();
    ComplianceSummary summary = hostileSummary(catalogue, "DEV-1", "t");
    EXPECT_EQ(reconciliationText(summary),
              "1 findings in the rows + 1 listed apart = 2, the run's all_errors (2)");
    summary.allErrors = 3;
    EXPECT_EQ(reconciliationText(summary),
              "1 findings in the rows + 1 listed apart = 2, MISMATCH: the run's all_errors is 3");
    EXPECT_EQ(verdictText(summary),
              "compliant: no Mandatory or Required guideline shows Violations");
    summary.compliant = false;
    summary.deciding = {"MISRA C:2012 Rule 11.3", "MISRA C:2012 Rule 2.2"};
    EXPECT_EQ(verdictText(summary),
              "not compliant: Violations of MISRA C:2012 Rule 11.3, MISRA C:2012 Rule 2.2");
}

} // namespace
} // namespace vendrik::history
