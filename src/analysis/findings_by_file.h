#pragma once

#include "parse/report_reader.h"

#include <map>
#include <span>
#include <string_view>
#include <vector>

namespace vendrik {

/// A run of consecutive findings of the findings list. The list owns the findings; every
/// grouping refers to it instead of copying, so it must outlive the groupings.
using FindingRange = std::span<const ListedFinding>;

/// The findings of the whole list, as one range.
inline FindingRange wholeList(const FindingsList& list) {
    return list.findings;
}

/// Findings per normalised file name, in byte-wise file-name order. Every range is
/// non-empty and keeps the list's order. Keys view the file names held by the list.
using FindingsByFile = std::map<std::string_view, FindingRange>;

/// One source file and its findings.
struct FileFindings {
    std::string_view file;
    FindingRange findings;
};

/// Groups a findings list as readReport leaves it (sorted by file first, so the findings
/// of one file stand together) by file. An empty list gives an empty map.
FindingsByFile groupFindingsByFile(const FindingsList& list);

/// The groups as a sequence, most findings first; files with equally many findings in
/// descending byte-wise file-name order.
std::vector<FileFindings> rankFileFindings(const FindingsByFile& groups);

} // namespace vendrik
