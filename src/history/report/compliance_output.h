#pragma once

#include "history/compliance/summary.h"

#include <ostream>
#include <string>

namespace vendrik::history {

/// The formats of writeCompliance.
inline constexpr const char* complianceFormats[] = {"text", "markdown", "json", "csv", "html"};

/// Writes `summary` as `format`: text, markdown, json, csv (one line per row of every
/// table, under a header line; the summary's header as comment lines before it) or html
/// (a printable A4 page: one table per standard, its header repeated on each page). Every
/// output has the header (platform, project, run, tool, converter, standards, plan files
/// with their SHA-256), the verdict with the guidelines that decide it, the reconciliation
/// with the run's all_errors, the rows, the decisions not honoured, and the findings listed
/// apart. Texts from the database and the plans are shown safely in each format.
void writeCompliance(std::ostream& out, const ComplianceSummary& summary,
                     const std::string& format);

/// "compliant", or "not compliant: MISRA C:2012 Rule 17.7, ..." (the deciding guidelines).
std::string verdictText(const ComplianceSummary& summary);

/// "15 findings in the rows + 3 listed apart = 18, the run's all_errors (18)", or with "≠"
/// and "MISMATCH" when they differ.
std::string reconciliationText(const ComplianceSummary& summary);

} // namespace vendrik::history
