#include "analysis/findings_by_file.h"

#include <algorithm>

namespace vendrik {

FindingsByFile groupFindingsByFile(const FindingsList& findings) {
    FindingsByFile groups;
    auto first = findings.begin();
    while (first != findings.end()) {
        const std::string_view file = first->file;
        const auto last = std::find_if(first, findings.end(),
                                       [file](const Finding& f) { return f.file != file; });
        groups.emplace(file, FindingRange(first, last));
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
