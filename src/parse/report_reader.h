#pragma once

#include "parse/finding.h"
#include "parse/text_store.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string_view>
#include <vector>

namespace vendrik {

/// A finding as the list holds it. Its file and its texts are numbers into the list's
/// tables; findingAt gives the whole record.
struct ListedFinding {
    std::uint32_t file; ///< index into FindingsList::files
    std::uint32_t line;
    std::uint32_t messageNumber;
    std::uint32_t lineEnd; ///< index into FindingsList::lineEnds and lineEndFacts
    std::uint32_t priority;
};

/// Where the texts lie in a kept line end, and the numbers of the rule its reference names
/// (both 0 when it names none).
struct LineEndFacts {
    std::uint32_t textLength;      ///< the message text starts the line end
    std::uint32_t referenceOffset; ///< the reference text runs from here to the end
    std::uint32_t standardLength;  ///< the rule standard starts the reference text
    std::uint32_t ruleNumber;
    std::uint32_t ruleSubNumber;
};

/// The run's findings: recognised only, ordered by file (byte-wise, unsigned bytes, a
/// prefix first), then line, then message number, then message text; no two with all four
/// the same.
/// Each file name is held once, and so mostly is each line end (from the message text to
/// the end of the line: message text and reference text), shared by the findings whose
/// lines end alike (see RecentTexts in text_table.h). Two findings have the same file
/// exactly when they have the same file number.
struct FindingsList {
    std::vector<ListedFinding> findings;
    std::vector<std::string_view> files;    ///< by file number; distinct names
    std::vector<std::string_view> lineEnds; ///< by line-end number
    std::vector<LineEndFacts> lineEndFacts; ///< by line-end number
    TextStore texts;                        ///< owns the bytes of the names and line ends
};

/// The whole record of the finding at `index` (less than the list's size); its texts view
/// the list's store.
Finding findingAt(const FindingsList& list, std::size_t index);

/// The reader takes its input in blocks of this many bytes (a line longer than a block gets
/// room enough). Small enough that a block stays in the processor's cache while its lines
/// are parsed, next to the tables the reader looks lines up in.
inline constexpr std::size_t reportReadBlock = std::size_t{128} * 1024;

/// Replaces the content of `list` with the warnings of the report read from `input` to its
/// end: one candidate per line (a line ends at LF; a CR right before the LF belongs to the
/// line end; a last line without LF counts), recognised ones kept, sorted as the list is,
/// and of findings equal in file, line, message number and message text only one kept.
/// Lines that are not warnings are dropped silently. A stream that stops delivering bytes ends the
/// reading with what was read so far; after a read error the stream is bad, and the list must not
/// be trusted. A line is held in about 1.5 times its length; std::bad_alloc when memory runs out,
/// or for a line that needs a block beyond 4 GiB (or, on Linux, half the machine's memory).
void readReport(std::istream& input, FindingsList& list);

} // namespace vendrik
