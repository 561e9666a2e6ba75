#include "parse/report_reader.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace vendrik {

bool findingLess(const Finding& a, const Finding& b) {
    if (const int byFile = a.file.compare(b.file); byFile != 0) {
        return byFile < 0;
    }
    return std::tie(a.line, a.messageNumber, a.messageText) <
           std::tie(b.line, b.messageNumber, b.messageText);
}

bool sameFinding(const Finding& a, const Finding& b) {
    return a.line == b.line && a.messageNumber == b.messageNumber && a.file == b.file &&
           a.messageText == b.messageText;
}

namespace {

/// The findings of one source file, in report order until sorted.
struct FileBucket {
    std::string file;
    std::deque<Finding> findings;
};

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};

/// findingLess for two findings of the same file.
bool lessInFile(const Finding& a, const Finding& b) {
    return std::tie(a.line, a.messageNumber, a.messageText) <
           std::tie(b.line, b.messageNumber, b.messageText);
}

} // namespace

// The findings are gathered per file while reading, so that sorting only ever moves
// findings within one file, where they are close together, and the list is then filled
// file by file in one sequential pass. Each finding is held in one place at any time.
void readReport(std::istream& input, FindingsList& findings,
                std::pmr::memory_resource* textStore) {
    findings.clear();
    std::deque<FileBucket> buckets;
    std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> bucketOf;
    FileBucket* current = nullptr; // reports tend to list one file's warnings together
    std::string line;
    while (std::getline(input, line)) {
        const bool endedByLineFeed = !input.eof();
        if (endedByLineFeed && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        Finding finding = emptyFinding(textStore);
        if (!parseReportLine(finding, line)) {
            continue;
        }
        if (current == nullptr || std::string_view(current->file) != finding.file) {
            auto found = bucketOf.find(std::string_view(finding.file));
            if (found == bucketOf.end()) {
                buckets.push_back({std::string(finding.file), {}});
                found = bucketOf.emplace(buckets.back().file, buckets.size() - 1).first;
            }
            current = &buckets[found->second];
        }
        current->findings.push_back(std::move(finding));
    }

    std::vector<FileBucket*> byName;
    byName.reserve(buckets.size());
    for (FileBucket& bucket : buckets) {
        byName.push_back(&bucket);
    }
    std::sort(byName.begin(), byName.end(),
              [](const FileBucket* a, const FileBucket* b) { return a->file < b->file; });
    for (FileBucket* bucket : byName) {
        std::deque<Finding>& group = bucket->findings;
        std::sort(group.begin(), group.end(), lessInFile);
        const auto unique = std::unique(group.begin(), group.end(), sameFinding);
        std::move(group.begin(), unique, std::back_inserter(findings));
        group = {}; // its memory goes back before the next file's is moved
    }
}

} // namespace vendrik
