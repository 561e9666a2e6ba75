#pragma once

#include "analysis/finding_counts.h"
#include "output/output_lines.h"

#include <string>
#include <string_view>
#include <vector>

namespace vendrik {

/// The script's first statement: the results table, created if it does not exist.
inline constexpr std::string_view sqlSchemaStatement =
    "create table if not exists testresults (platform, project, tool, githash, date, time, "
    "filename, all_errors, misra_0, misra_1, misra_2, misra_3, misra_4, misra_5, misra_6, "
    "misra_7, misra_8, misra_9, his, UNIQUE (date, time, filename));";

/// How each insert statement of the script starts; the row's values and ");" follow.
inline constexpr std::string_view sqlInsertHead =
    "insert into testresults (platform, project, tool, githash ,date, time, filename, "
    "all_errors, misra_0, misra_1, misra_2, misra_3, misra_4, misra_5, misra_6, misra_7, "
    "misra_8, misra_9, his) values (";

/// The twelve counters, each quoted, in column order: "4" ,"0", "0", ... "1"
/// (blank before the first comma, blank after the others).
std::string countsValueList(const FindingCounts& counts);

/// `text` as a double-quoted SQL value: every double-quote character inside is written
/// twice, which SQLite reads back as one; a NUL byte closes the quotes and is joined in as
/// `|| char(0) ||`, so that the script holds no NUL and the value keeps its bytes; other
/// bytes are copied verbatim. "a\0b" gives "a" || char(0) || "b".
std::string sqlValue(std::string_view text);

/// Appends the schema statement of the table testresults (created if it does not exist),
/// then one insert statement per ranked file with platform, project, tool, hash, run date,
/// run time, platform + "\" + file name and the file's twelve counters. One statement per
/// line; no files gives the schema statement alone.
void appendSqlScript(OutputLines& lines, const std::vector<FileFindings>& ranked,
                     std::string_view runDate, std::string_view runTime, std::string_view platform,
                     std::string_view project, std::string_view hash);

} // namespace vendrik
