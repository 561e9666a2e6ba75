#pragma once

#include "history/run_comparison.h"
#include "history/triage.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace vendrik::history {

enum class Format { text, markdown, json };

/// `text` (a name from the database) as `format` shows it safely. Text and Markdown show
/// control characters (C0, DEL, and C1 in UTF-8) as \xNN for each byte, so no name can start a line
/// or move the terminal's cursor; Markdown also writes &, <, >, |, [, ], `, * (and a backslash
/// before punctuation) as character references, so no name can end a table cell, make a link or
/// carry HTML. JSON takes the text as it is (its writer escapes).
std::string shown(std::string_view text, Format format);

/// `bytes` as HTML text, in an element or a quoted attribute: read as UTF-8, other bytes as
/// Windows-1252 (as the converter's exports read them), with &, <, > and " as references and
/// control characters as \xNN, as shown writes them.
std::string htmlText(std::string_view bytes);

/// A finding as JSON: fingerprint, file, line, number, priority, his, text, reference.
nlohmann::json findingJson(const TrackedFinding& finding);

/// "false-positive: REASON (AUTHOR, AT; expires D; record R; approved by A; SOURCE)", the
/// parts that the decision has, as `format` shows them.
std::string decisionText(const AppliedDecision& applied, Format format);

/// A decision as JSON: state, expired, suppressed, reason, author, at, expires, record,
/// approver (null where it has none) and source.
nlohmann::json decisionJson(const AppliedDecision& applied);

/// How a run's date and time read: "0000.00.00 00:00:00" is "unknown time".
std::string stampOf(const RunKey& run);

/// The runs, one per line (platform, project, hash with the branch in brackets where it has
/// one, date and time, files, all_errors, the bands 8-9, 5-7, 0-4, his), under a heading.
void printRuns(std::ostream& out, const std::vector<RunTotals>& runs);

/// Every file of both runs with each compared column's base, head and change; the files that
/// appear and disappear; the totals. JSON keys are the table's column names.
void printComparison(std::ostream& out, const Comparison& comparison, Format format);

/// The gate's verdict: the files whose watched counts grew first, then those that improved,
/// then the limits passed.
void printGate(std::ostream& out, const Comparison& comparison, const GateResult& gate,
               const std::vector<std::size_t>& watched, Format format);

} // namespace vendrik::history
