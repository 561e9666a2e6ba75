#include "parse/report_reader.h"

#include "parse/prefault.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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

/// A finding as read, packed: its texts are one kept piece of the line (`tail`, from the
/// message text to the end) and lengths and offsets into it.
struct ReadFinding {
    const char* tail;
    std::uint32_t file; ///< number of the file name (see FileNames)
    std::uint32_t line;
    std::uint32_t messageNumber;
    std::uint32_t ruleNumber;
    std::uint32_t ruleSubNumber;
    std::uint32_t tailLength;
    std::uint32_t textLength;      ///< the message text starts the tail
    std::uint32_t referenceOffset; ///< the reference text ends it; the rule standard starts it
    std::uint32_t standardLength;
    std::uint8_t priority;

    std::string_view messageText() const { return {tail, textLength}; }
};

/// Records in large blocks: no allocation per record, and no block ever moves.
template <typename Record> struct BlockStore {
    static constexpr std::size_t blockSize = std::size_t{1} << 16;
    std::vector<std::unique_ptr<Record[]>> blocks;
    std::size_t count = 0;

    void push(const Record& record) {
        if (count % blockSize == 0) {
            blocks.push_back(std::make_unique_for_overwrite<Record[]>(blockSize));
            prefault(blocks.back().get(), blockSize * sizeof(Record));
        }
        blocks.back()[count % blockSize] = record;
        ++count;
    }
    template <typename Visit> void forEach(Visit visit) const {
        for (std::size_t i = 0; i < count; ++i) {
            visit(blocks[i / blockSize][i % blockSize]);
        }
    }
};

/// The file names of a report, each kept once, numbered in the order first seen, with
/// the number of findings of each.
struct FileNames {
    std::unordered_map<std::string_view, std::uint32_t> numbers;
    std::vector<std::string_view> names;
    std::vector<std::size_t> findingCounts;
    std::uint32_t last = 0; // reports tend to list one file's warnings together

    std::uint32_t numberOf(std::string_view file, TextStore& texts) {
        if (!names.empty() && names[last].size() == file.size() && names[last] == file) {
            return last;
        }
        auto found = numbers.find(file);
        if (found == numbers.end()) {
            names.push_back(keepText(texts, file));
            findingCounts.push_back(0);
            found =
                numbers.emplace(names.back(), static_cast<std::uint32_t>(names.size() - 1)).first;
        }
        last = found->second;
        return last;
    }
};

/// Calls `visit` with every line of `input`, read in large blocks: a line ends at LF, which
/// is not part of it, and a CR right before the LF belongs to the line end; a last line
/// without LF counts, and nothing follows a final LF. Reading ends at the end of the input
/// or when the stream fails. The view is valid during the call only.
template <typename Visit> void forEachLine(std::istream& input, Visit visit) {
    std::vector<char> buffer(std::size_t{1} << 20);
    std::size_t begin = 0; // first byte not yet handed out
    std::size_t end = 0;   // end of the bytes read
    bool inputLeft = true;
    for (;;) {
        const void* lineFeed = std::memchr(buffer.data() + begin, '\n', end - begin);
        if (lineFeed != nullptr) {
            const auto at =
                static_cast<std::size_t>(static_cast<const char*>(lineFeed) - buffer.data());
            std::string_view line(buffer.data() + begin, at - begin);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            visit(line);
            begin = at + 1;
            continue;
        }
        if (!inputLeft) {
            if (begin < end) {
                visit(std::string_view(buffer.data() + begin, end - begin));
            }
            return;
        }
        // Keep the unfinished line, make room behind it (more for a very long line), read on.
        std::memmove(buffer.data(), buffer.data() + begin, end - begin);
        end -= begin;
        begin = 0;
        if (end == buffer.size()) {
            buffer.resize(buffer.size() * 2);
        }
        input.read(buffer.data() + end, static_cast<std::streamsize>(buffer.size() - end));
        const auto count = static_cast<std::size_t>(input.gcount());
        end += count;
        inputLeft = input.good(); // at the end, or failed: what was read still counts
    }
}

/// Packs a finding whose texts view `line`, keeping the texts in `texts`.
ReadFinding packFinding(const Finding& finding, std::uint32_t file, std::string_view line,
                        TextStore& texts) {
    const auto tailStart = static_cast<std::size_t>(finding.messageText.data() - line.data());
    const std::string_view tail = keepText(texts, line.substr(tailStart));
    const auto offset = [&](std::string_view text) {
        return static_cast<std::uint32_t>(static_cast<std::size_t>(text.data() - line.data()) -
                                          tailStart);
    };
    return {tail.data(),
            file,
            finding.line,
            finding.messageNumber,
            finding.ruleNumber,
            finding.ruleSubNumber,
            static_cast<std::uint32_t>(tail.size()),
            static_cast<std::uint32_t>(finding.messageText.size()),
            offset(finding.referenceText),
            static_cast<std::uint32_t>(finding.ruleStandard.size()),
            static_cast<std::uint8_t>(finding.priority)};
}

Finding unpackFinding(const ReadFinding& read, std::string_view file) {
    Finding finding;
    finding.recognised = true;
    finding.line = read.line;
    finding.priority = read.priority;
    finding.messageNumber = read.messageNumber;
    finding.ruleNumber = read.ruleNumber;
    finding.ruleSubNumber = read.ruleSubNumber;
    finding.file = file;
    finding.messageText = read.messageText();
    finding.referenceText = {read.tail + read.referenceOffset,
                             read.tailLength - read.referenceOffset};
    finding.ruleStandard = {read.tail + read.referenceOffset, read.standardLength};
    return finding;
}

/// findingLess for two findings of the same file.
bool lessInFile(const Finding& a, const Finding& b) {
    return std::tie(a.line, a.messageNumber, a.messageText) <
           std::tie(b.line, b.messageNumber, b.messageText);
}

} // namespace

// The findings are read into packed records and counted per file. The records are then
// unpacked straight to their file's place in the list, files in name order (one pass), and
// sorted within each file, where they lie close together; the list closes up over the
// duplicates as it goes (one more pass).
void readReport(std::istream& input, FindingsList& list) {
    list = FindingsList{};
    FileNames files;
    BlockStore<ReadFinding> read;
    forEachLine(input, [&](std::string_view line) {
        Finding finding;
        if (!parseReportLine(finding, line)) {
            return;
        }
        // The texts view the line, which the next read overwrites: keep them in the list.
        const std::uint32_t file = files.numberOf(finding.file, list.texts);
        ++files.findingCounts[file];
        read.push(packFinding(finding, file, line, list.texts));
    });

    std::vector<std::uint32_t> byName(files.names.size());
    for (std::uint32_t number = 0; number < byName.size(); ++number) {
        byName[number] = number;
    }
    std::sort(byName.begin(), byName.end(),
              [&](std::uint32_t a, std::uint32_t b) { return files.names[a] < files.names[b]; });
    std::vector<std::size_t> start(files.names.size() + 1, 0); // by file number
    std::size_t position = 0;
    for (const std::uint32_t number : byName) {
        start[number] = position;
        position += files.findingCounts[number];
    }

    std::vector<Finding>& findings = list.findings;
    findings.reserve(read.count);
    prefault(findings.data(), read.count * sizeof(Finding));
    findings.resize(read.count);
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    read.forEach([&](const ReadFinding& record) {
        findings[next[record.file]++] = unpackFinding(record, files.names[record.file]);
    });
    read = {};

    // Sort each file's findings and close up the list over the duplicates.
    std::size_t kept = 0;
    for (const std::uint32_t number : byName) {
        const auto first = findings.begin() + static_cast<std::ptrdiff_t>(start[number]);
        const auto last = first + static_cast<std::ptrdiff_t>(files.findingCounts[number]);
        std::sort(first, last, lessInFile);
        for (auto finding = first; finding != last; ++finding) {
            if (finding == first || !sameFinding(*(finding - 1), *finding)) {
                findings[kept++] = *finding;
            }
        }
    }
    findings.resize(kept);
}

} // namespace vendrik
