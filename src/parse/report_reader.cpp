#include "parse/report_reader.h"

#include <algorithm>
#include <cstdint>
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

/// Where one finding goes in the order: its file's rank among the report's file names, the
/// numbers that come next in findingLess, and where the finding stands in the list.
struct SortKey {
    std::uint32_t fileRank;
    std::uint32_t line;
    std::uint32_t messageNumber;
    std::uint32_t index;
};

/// Sorts the list by findingLess. Sorting the records themselves would move every string
/// many times and compare file names over and over; instead each file name is ranked once,
/// small keys are sorted, and every record is then moved to its place once.
void sortFindings(FindingsList& findings) {
    std::unordered_map<std::string_view, std::uint32_t> fileIds;
    std::vector<std::string_view> files;
    std::vector<SortKey> keys;
    keys.reserve(findings.size());
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const Finding& finding = findings[i];
        const auto [entry, added] =
            fileIds.try_emplace(finding.file, static_cast<std::uint32_t>(files.size()));
        if (added) {
            files.push_back(finding.file);
        }
        keys.push_back(
            {entry->second, finding.line, finding.messageNumber, static_cast<std::uint32_t>(i)});
    }
    std::vector<std::uint32_t> byName(files.size());
    for (std::uint32_t id = 0; id < byName.size(); ++id) {
        byName[id] = id;
    }
    std::sort(byName.begin(), byName.end(),
              [&](std::uint32_t a, std::uint32_t b) { return files[a] < files[b]; });
    std::vector<std::uint32_t> rank(files.size());
    for (std::uint32_t position = 0; position < byName.size(); ++position) {
        rank[byName[position]] = position;
    }
    for (SortKey& key : keys) {
        key.fileRank = rank[key.fileRank];
    }
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
        if (a.fileRank != b.fileRank) {
            return a.fileRank < b.fileRank;
        }
        if (a.line != b.line) {
            return a.line < b.line;
        }
        if (a.messageNumber != b.messageNumber) {
            return a.messageNumber < b.messageNumber;
        }
        return findings[a.index].messageText < findings[b.index].messageText;
    });

    // Move every record to its place, following the cycles of the permutation.
    std::vector<std::uint32_t> source(keys.size());
    for (std::size_t position = 0; position < keys.size(); ++position) {
        source[position] = keys[position].index;
    }
    for (std::size_t start = 0; start < source.size(); ++start) {
        if (source[start] == start) {
            continue;
        }
        Finding held = std::move(findings[start]);
        std::size_t position = start;
        while (source[position] != start) {
            const std::size_t from = source[position];
            findings[position] = std::move(findings[from]);
            source[position] = static_cast<std::uint32_t>(position);
            position = from;
        }
        findings[position] = std::move(held);
        source[position] = static_cast<std::uint32_t>(position);
    }
}

} // namespace

void readReport(std::istream& input, FindingsList& findings) {
    findings.clear();
    std::string line;
    while (std::getline(input, line)) {
        const bool endedByLineFeed = !input.eof();
        if (endedByLineFeed && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        Finding finding;
        if (parseReportLine(finding, line)) {
            findings.push_back(std::move(finding));
        }
    }
    sortFindings(findings);
    findings.erase(std::unique(findings.begin(), findings.end(), sameFinding), findings.end());
}

} // namespace vendrik
