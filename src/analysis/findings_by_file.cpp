#include "analysis/findings_by_file.h"

#include <algorithm>
#include <cstdint>

namespace vendrik {

FindingsByFile groupFindingsByFile(const FindingsList& list) {
    FindingsByFile groups;
    const FindingRange findings = wholeList(list);
    std::size_t first = 0;
    while (first < findings.size()) {
        const std::uint32_t file = findings[first].file;
        std::size_t last = first + 1;
        while (last < findings.size() && findings[last].file == file) {
            ++last;
        }
        groups.emplace(list.files[file], findings.subspan(first, last - first));
        first = last;
    }
    return groups;
}

std::vector<FileFindings> rankFileFindings(const FindingsByFile& groups) {
    std::vector<FileFindings> ranked;
    ranked.reserve(groups.size());
    for (const auto& [file, findings] : groups) {
        ranked.push_back({file, findings});
    }
    std::sort(ranked.begin(), ranked.end(), [](const FileFindings& a, const FileFindings& b) {
        if (a.findings.size() != b.findings.size()) {
            return a.findings.size() > b.findings.size();
        }
        return a.file > b.file;
    });
    return ranked;
}

} // namespace vendrik
