#include "parse/report_reader.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>

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

/// Where a finding goes in the order: its file's number, the numbers that come next in
/// findingLess, and where the finding was read. Small, so that sorting moves little.
struct SortKey {
    std::uint32_t file;
    std::uint32_t line;
    std::uint32_t messageNumber;
    std::uint32_t index;
};

/// Findings in report order, in large blocks: no allocation per finding, and no block
/// ever moves.
struct ReadFindings {
    static constexpr std::size_t blockSize = std::size_t{1} << 15;
    std::vector<std::unique_ptr<Finding[]>> blocks;
    std::size_t count = 0;

    void push(const Finding& finding) {
        if (count % blockSize == 0) {
            blocks.push_back(std::make_unique_for_overwrite<Finding[]>(blockSize));
        }
        blocks.back()[count % blockSize] = finding;
        ++count;
    }
    const Finding& operator[](std::size_t index) const {
        return blocks[index / blockSize][index % blockSize];
    }
};

/// The file names of a report, each kept once, numbered in the order first seen.
struct FileNames {
    std::unordered_map<std::string_view, std::uint32_t> numbers;
    std::vector<std::string_view> names;
    std::uint32_t last = 0; // reports tend to list one file's warnings together

    std::uint32_t numberOf(std::string_view file, TextStore& texts) {
        if (!names.empty() && names[last].size() == file.size() && names[last] == file) {
            return last;
        }
        auto found = numbers.find(file);
        if (found == numbers.end()) {
            names.push_back(keepText(texts, file));
            found =
                numbers.emplace(names.back(), static_cast<std::uint32_t>(names.size() - 1)).first;
        }
        last = found->second;
        return last;
    }
};

/// Sorts the keys by findingLess: by file name rank (counted into place), then within
/// each file by line, message number and message text.
void sortKeys(std::vector<SortKey>& keys, const std::vector<std::string_view>& names,
              const ReadFindings& read) {
    std::vector<std::uint32_t> byName(names.size());
    for (std::uint32_t number = 0; number < byName.size(); ++number) {
        byName[number] = number;
    }
    std::sort(byName.begin(), byName.end(),
              [&](std::uint32_t a, std::uint32_t b) { return names[a] < names[b]; });
    std::vector<std::size_t> start(names.size() + 1, 0);
    std::vector<std::uint32_t> rank(names.size());
    for (std::uint32_t position = 0; position < byName.size(); ++position) {
        rank[byName[position]] = position;
    }
    for (const SortKey& key : keys) {
        ++start[rank[key.file] + 1];
    }
    for (std::size_t i = 1; i < start.size(); ++i) {
        start[i] += start[i - 1];
    }
    std::vector<SortKey> sorted(keys.size());
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (const SortKey& key : keys) {
        sorted[next[rank[key.file]]++] = key;
    }
    for (std::size_t file = 0; file + 1 < start.size(); ++file) {
        std::sort(sorted.begin() + static_cast<std::ptrdiff_t>(start[file]),
                  sorted.begin() + static_cast<std::ptrdiff_t>(start[file + 1]),
                  [&](const SortKey& a, const SortKey& b) {
                      if (a.line != b.line) {
                          return a.line < b.line;
                      }
                      if (a.messageNumber != b.messageNumber) {
                          return a.messageNumber < b.messageNumber;
                      }
                      return read[a.index].messageText < read[b.index].messageText;
                  });
    }
    keys = std::move(sorted);
}

} // namespace

void readReport(std::istream& input, FindingsList& list) {
    list = FindingsList{};
    ReadFindings read; // in report order
    std::vector<SortKey> keys;
    FileNames files;
    std::string line;
    while (std::getline(input, line)) {
        const bool endedByLineFeed = !input.eof();
        if (endedByLineFeed && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        Finding finding;
        if (!parseReportLine(finding, line)) {
            continue;
        }
        // The texts view the line, which the next read overwrites: keep them in the list.
        // The message text, the reference text and the rule standard all lie in the line's
        // tail, which is kept in one piece.
        const std::uint32_t file = files.numberOf(finding.file, list.texts);
        finding.file = files.names[file];
        const std::size_t tailStart =
            static_cast<std::size_t>(finding.messageText.data() - line.data());
        const char* tail = keepText(list.texts, std::string_view(line).substr(tailStart)).data();
        auto moved = [&](std::string_view text) {
            return text.empty() ? text
                                : std::string_view(tail + (text.data() - line.data() - tailStart),
                                                   text.size());
        };
        finding.messageText = moved(finding.messageText);
        finding.referenceText = moved(finding.referenceText);
        finding.ruleStandard = moved(finding.ruleStandard);
        keys.push_back(
            {file, finding.line, finding.messageNumber, static_cast<std::uint32_t>(read.count)});
        read.push(finding);
    }

    sortKeys(keys, files.names, read);
    list.findings.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + 16 < keys.size()) {
            __builtin_prefetch(&read[keys[i + 16].index]);
        }
        const SortKey& key = keys[i];
        const Finding& finding = read[key.index];
        const bool repeated = i > 0 && keys[i - 1].file == key.file &&
                              keys[i - 1].line == key.line &&
                              keys[i - 1].messageNumber == key.messageNumber &&
                              list.findings.back().messageText == finding.messageText;
        if (!repeated) {
            list.findings.push_back(finding);
        }
    }
}

} // namespace vendrik
