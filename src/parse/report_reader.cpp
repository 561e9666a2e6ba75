#include "parse/report_reader.h"

#include "parse/key_sort.h"
#include "parse/line_breaks.h"
#include "parse/text_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#ifdef __linux__
#include <unistd.h>
#endif

namespace vendrik {

namespace {

/// A finding as read, packed: its texts are the number of its line's end (see LineEnds), and
/// its file is the one whose records it is kept with.
struct ReadFinding {
    std::uint64_t place; ///< line number, then message number: the order within a file
    std::uint32_t lineEnd;
    std::uint8_t priority;

    std::uint32_t line() const { return static_cast<std::uint32_t>(place >> 32); }
    std::uint32_t messageNumber() const { return static_cast<std::uint32_t>(place); }
};

/// The file names of a report, numbered in the order first seen, each with the records
/// of its findings in the order read.
struct FileNames {
    TextTable table;
    std::vector<std::vector<ReadFinding>> findings; ///< by file number
    std::uint32_t last = 0; // reports tend to list one file's warnings together

    std::vector<ReadFinding>& findingsOf(std::string_view file, TextStore& texts) {
        const std::vector<std::string_view>& names = table.texts;
        if (names.empty() || !sameText(names[last], file)) {
            last = internText(table, texts, file);
            if (last == findings.size()) {
                findings.emplace_back();
            }
        }
        return findings[last];
    }
};

/// The ends of a report's warning lines, from the message text to the end of the line,
/// kept as RecentTexts, each copy with the facts that find its texts in it and with its
/// rule fields, read once per copy. Line ends repeat often: the same message with the same
/// reference on many lines and in many files.
struct LineEnds {
    RecentTexts copies;
    std::vector<LineEndFacts> facts; ///< by number

    std::uint32_t numberOf(const Finding& finding, std::string_view line, TextStore& store) {
        const auto start = static_cast<std::size_t>(finding.messageText.data() - line.data());
        const std::string_view end = line.substr(start);
        const std::uint32_t number = keepRecentText(copies, store, end);
        if (number == facts.size()) {
            Finding rule;
            rule.referenceText = finding.referenceText;
            parseRuleFields(rule);
            facts.push_back({static_cast<std::uint32_t>(finding.messageText.size()),
                             static_cast<std::uint32_t>(end.size() - rule.referenceText.size()),
                             static_cast<std::uint32_t>(rule.ruleStandard.size()), rule.ruleNumber,
                             rule.ruleSubNumber});
        }
        return number;
    }

    std::string_view messageText(std::uint32_t number) const {
        return copies.texts[number].substr(0, facts[number].textLength);
    }
};

/// Sorts each run of records with the same place (sorted by place already) by `less`,
/// which compares records of one place.
template <typename Less> void sortWithinPlaces(std::vector<ReadFinding>& records, Less less) {
    for (std::size_t first = 0; first < records.size();) {
        std::size_t last = first + 1;
        while (last < records.size() && records[last].place == records[first].place) {
            ++last;
        }
        if (last - first > 1) {
            std::sort(records.begin() + static_cast<std::ptrdiff_t>(first),
                      records.begin() + static_cast<std::ptrdiff_t>(last), less);
        }
        first = last;
    }
}

/// Where the next line of `bytes` from `begin` ends, and what follows it.
struct NextLine {
    bool complete = false;                           ///< false: more input is needed to tell
    std::size_t end = 0;                             ///< the line is bytes[begin, end)
    std::size_t next = 0;                            ///< where the line after it starts
    std::size_t firstBreak = std::string_view::npos; ///< a CR inside the line, from its start
};

/// A line ends at LF, which is not part of it, and a CR right before the LF belongs to the
/// line end; any other CR stays in the line. Lines are found with one scan for both.
NextLine findNextLine(std::string_view bytes, std::size_t begin) {
    constexpr std::size_t none = std::string_view::npos;
    NextLine line;
    const std::size_t at = firstLineBreak(bytes, begin);
    if (at == none) {
        return line;
    }
    if (bytes[at] == '\n' || (at + 1 < bytes.size() && bytes[at + 1] == '\n')) {
        line.end = at;
        line.next = bytes[at] == '\n' ? at + 1 : at + 2;
        line.complete = true;
        return line;
    }
    // A CR inside the line, or the last byte read so far: the line goes on to the next LF.
    const std::size_t lineFeed = bytes.find('\n', at + 1);
    if (lineFeed == none) {
        return line;
    }
    line.end = bytes[lineFeed - 1] == '\r' ? lineFeed - 1 : lineFeed;
    line.next = lineFeed + 1;
    line.firstBreak = at - begin;
    line.complete = true;
    return line;
}

/// The largest block the reader asks for: 4 GiB, as the list keeps the texts of a line at
/// 32-bit offsets, and on Linux no more than half the machine's memory, as the system grants
/// more than it can hold and ends the process when the pages are touched.
std::size_t largestBlock() {
    std::uint64_t largest = std::uint64_t{4} << 30;
#ifdef __linux__
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        largest = std::min<std::uint64_t>(largest, static_cast<std::uint64_t>(pages) / 2 *
                                                       static_cast<std::uint64_t>(pageSize));
    }
#endif
    return static_cast<std::size_t>(std::min<std::uint64_t>(largest, SIZE_MAX));
}

/// The bytes read and not yet handed out. The block grows by half when one line fills it,
/// in place where the allocator can (glibc remaps large blocks instead of copying them), so
/// a long line is held in about 1.5 times its length. Growing past largestBlock, or failing
/// to, throws std::bad_alloc.
class ReadBuffer {
  public:
    explicit ReadBuffer(std::size_t size) : bytes_(resized(nullptr, size)), size_(size) {}
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;
    ~ReadBuffer() { std::free(bytes_); }

    char* data() const { return bytes_; }
    std::size_t size() const { return size_; }

    void grow() {
        const std::size_t larger = size_ + size_ / 2;
        if (larger > largestBlock()) {
            throw std::bad_alloc();
        }
        bytes_ = resized(bytes_, larger);
        size_ = larger;
    }

  private:
    static char* resized(char* bytes, std::size_t size) {
        void* const block = std::realloc(bytes, size);
        if (block == nullptr) {
            throw std::bad_alloc(); // `bytes` stays, and goes with the buffer
        }
        return static_cast<char*>(block);
    }

    char* bytes_;
    std::size_t size_;
};

/// Calls `visit` with every line of `input` (see findNextLine) and the position of its first
/// line break (a CR), or npos. The input is read in blocks (reportReadBlock); a last line without
/// LF counts, and nothing follows a final LF. Reading ends at the end of the input or when the
/// stream fails. The view is valid during the call only.
template <typename Visit> void forEachLine(std::istream& input, Visit visit) {
    ReadBuffer buffer(reportReadBlock);
    std::size_t begin = 0; // first byte not yet handed out
    std::size_t end = 0;   // end of the bytes read
    bool inputLeft = true;
    for (;;) {
        const std::string_view bytes(buffer.data(), end);
        if (const NextLine line = findNextLine(bytes, begin); line.complete) {
            visit(bytes.substr(begin, line.end - begin), line.firstBreak);
            begin = line.next;
            continue;
        }
        if (!inputLeft) {
            if (begin < end) {
                const std::string_view last = bytes.substr(begin);
                visit(last, firstLineBreak(last, 0));
            }
            return;
        }
        // Keep the unfinished line, make room behind it (more for a very long line), read on.
        if (begin > 0) {
            std::memmove(buffer.data(), buffer.data() + begin, end - begin);
            end -= begin;
            begin = 0;
        }
        if (end == buffer.size()) {
            buffer.grow();
        }
        input.read(buffer.data() + end, static_cast<std::streamsize>(buffer.size() - end));
        const auto count = static_cast<std::size_t>(input.gcount());
        end += count;
        inputLeft = input.good(); // at the end, or failed: what was read still counts
    }
}

} // namespace

Finding findingAt(const FindingsList& list, std::size_t index) {
    const ListedFinding& listed = list.findings[index];
    const std::string_view end = list.lineEnds[listed.lineEnd];
    const LineEndFacts& facts = list.lineEndFacts[listed.lineEnd];
    Finding finding;
    finding.recognised = true;
    finding.line = listed.line;
    finding.priority = listed.priority;
    finding.messageNumber = listed.messageNumber;
    finding.ruleNumber = facts.ruleNumber;
    finding.ruleSubNumber = facts.ruleSubNumber;
    finding.file = list.files[listed.file];
    finding.messageText = end.substr(0, facts.textLength);
    finding.referenceText = end.substr(facts.referenceOffset);
    finding.ruleStandard = finding.referenceText.substr(0, facts.standardLength);
    return finding;
}

// The findings are read into packed records kept with their file; file names and line ends
// are kept once each, or nearly so. Each file's records are then sorted, files in name
// order, and copied into the list over the duplicates.
void readReport(std::istream& input, FindingsList& list) {
    list = FindingsList{};
    FileNames files;
    LineEnds ends;
    std::size_t count = 0;
    forEachLine(input, [&](std::string_view line, std::size_t firstBreak) {
        Finding finding;
        if (!parseWarningLine(finding, line, firstBreak)) {
            return;
        }
        // The texts view the line, which the next read overwrites: keep them in the list.
        files.findingsOf(finding.file, list.texts)
            .push_back({std::uint64_t{finding.line} << 32 | finding.messageNumber,
                        ends.numberOf(finding, line, list.texts),
                        static_cast<std::uint8_t>(finding.priority)});
        ++count;
    });

    const std::vector<std::string_view>& fileNames = files.table.texts;
    std::vector<std::uint32_t> byName(fileNames.size());
    for (std::uint32_t number = 0; number < byName.size(); ++number) {
        byName[number] = number;
    }
    std::sort(byName.begin(), byName.end(),
              [&](std::uint32_t a, std::uint32_t b) { return fileNames[a] < fileNames[b]; });

    // Same line and message number: the message texts decide; the same line end has the
    // same text.
    const auto messageText = [&](const ReadFinding& record) {
        return ends.messageText(record.lineEnd);
    };
    const auto lessInPlace = [&](const ReadFinding& a, const ReadFinding& b) {
        return a.lineEnd != b.lineEnd && messageText(a) < messageText(b);
    };
    const auto sameInFile = [&](const ReadFinding& a, const ReadFinding& b) {
        return a.place == b.place && (a.lineEnd == b.lineEnd || messageText(a) == messageText(b));
    };
    std::vector<ReadFinding> scratch;
    std::vector<ListedFinding>& findings = list.findings;
    findings.reserve(count);
    for (const std::uint32_t number : byName) {
        std::vector<ReadFinding>& records = files.findings[number];
        sortByKey(records, scratch, [](const ReadFinding& record) { return record.place; });
        sortWithinPlaces(records, lessInPlace);
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (i > 0 && sameInFile(records[i - 1], records[i])) {
                continue; // the same finding as the one kept before it
            }
            findings.push_back({number, records[i].line(), records[i].messageNumber(),
                                records[i].lineEnd, records[i].priority});
        }
    }
    list.files = std::move(files.table.texts);
    list.lineEnds = std::move(ends.copies.texts);
    list.lineEndFacts = std::move(ends.facts);
}

} // namespace vendrik
