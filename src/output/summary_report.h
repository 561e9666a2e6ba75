#pragma once

#include "analysis/finding_counts.h"
#include "output/output_lines.h"

#include <string>
#include <string_view>
#include <vector>

namespace vendrik {

/// The five band counts as quoted numbers in the order all, 8-9, 5-7, 0-4, HIS, joined as
/// "7" ,"2", "3", "1", "1" (blank before the first comma, blank after the others).
std::string bandCountsValueList(const PriorityBandCounts& counts);

/// Appends the text summary: "[files]" with one line per ranked file, an empty line,
/// "[totals]" with the file count and the counts of the whole list, an empty line, "[info]"
/// with platform, project and tool, and a closing empty line: 11 lines plus one per file.
/// Platform, project and file names are written verbatim.
void appendSummaryReport(OutputLines& lines, const std::vector<FileFindings>& ranked,
                         FindingRange allFindings, std::string_view runDate,
                         std::string_view runTime, std::string_view platform,
                         std::string_view typName);

} // namespace vendrik
