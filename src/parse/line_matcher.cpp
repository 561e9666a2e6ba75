#include "parse/line_matcher.h"

#include "parse/line_breaks.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vendrik {

namespace {

constexpr std::size_t none = std::string_view::npos;

enum : unsigned char { Space = 1, Punct = 2, Digit = 4, LineBreak = 8 };

constexpr std::array<unsigned char, 256> makeByteClasses() {
    std::array<unsigned char, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        unsigned char bits = 0;
        if (c == ' ' || (c >= '\t' && c <= '\r')) {
            bits |= Space;
        }
        if ((c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
            (c >= 123 && c <= 126)) {
            bits |= Punct;
        }
        if (c >= '0' && c <= '9') {
            bits |= Digit;
        }
        if (c == '\n' || c == '\r') {
            bits |= LineBreak;
        }
        classes[static_cast<std::size_t>(c)] = bits;
    }
    return classes;
}

constexpr std::array<unsigned char, 256> byteClasses = makeByteClasses();

bool isClass(std::string_view text, std::size_t at, unsigned char cls) {
    return at < text.size() && (byteClasses[static_cast<unsigned char>(text[at])] & cls) != 0;
}

/// Forward scanner over the fixed pieces of a grammar. Every step either consumes its
/// piece and returns true, or returns false; the position is then of no further use.
struct Cursor {
    const char* at;
    const char* end;

    bool run(unsigned char cls) {
        const char* const start = at;
        while (at != end && (byteClasses[static_cast<unsigned char>(*at)] & cls) != 0) {
            ++at;
        }
        return at != start;
    }
    bool run(unsigned char cls, std::string_view& group) {
        const char* const start = at;
        if (!run(cls)) {
            return false;
        }
        group = {start, static_cast<std::size_t>(at - start)};
        return true;
    }
    bool one(unsigned char cls) {
        if (at == end || (byteClasses[static_cast<unsigned char>(*at)] & cls) == 0) {
            return false;
        }
        ++at;
        return true;
    }
    /// The words are literals: their length is known to the compiler, which then compares
    /// them a machine word at a time.
    template <std::size_t size> bool literal(const char (&word)[size]) {
        constexpr std::size_t length = size - 1;
        if (static_cast<std::size_t>(end - at) < length || std::memcmp(at, word, length) != 0) {
            return false;
        }
        at += length;
        return true;
    }
    template <std::size_t size> bool literal(const char (&word)[size], std::string_view& group) {
        const char* const start = at;
        if (!literal(word)) {
            return false;
        }
        group = {start, size - 1};
        return true;
    }
};

/// Where the line breaks (CR, LF) lie. The any-byte pieces cannot hold them; only the
/// space runs can.
struct Breaks {
    std::size_t first = none;
    std::size_t last = none;
};

/// The last position at or before `from` (none: the end) that holds `byte`, or none.
std::size_t lastOf(std::string_view text, char byte, std::size_t from = none) {
    const std::size_t end = from == none || from >= text.size() ? text.size() : from + 1;
#ifdef __GLIBC__
    const void* found = memrchr(text.data(), byte, end);
    return found == nullptr
               ? none
               : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
#else
    for (std::size_t at = end; at > 0;) {
        if (text[--at] == byte) {
            return at;
        }
    }
    return none;
#endif
}

/// True when `word` stands at `at`. Compares byte by byte: the words are short.
bool holdsAt(std::string_view text, std::size_t at, std::string_view word) {
    if (at > text.size() || text.size() - at < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (text[at + i] != word[i]) {
            return false;
        }
    }
    return true;
}

/// The position of the last occurrence of `word`, or none.
std::size_t lastOccurrence(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return none;
    }
    for (std::size_t at = lastOf(text, word[0], text.size() - word.size()); at != none;
         at = at == 0 ? none : lastOf(text, word[0], at - 1)) {
        if (holdsAt(text, at, word)) {
            return at;
        }
    }
    return none;
}

/// The last line break at or before `from`, or none.
std::size_t lastBreakAt(std::string_view text, std::size_t from) {
    for (std::size_t at = from + 1; at > 0;) {
        if ((byteClasses[static_cast<unsigned char>(text[--at])] & LineBreak) != 0) {
            return at;
        }
    }
    return none;
}

/// The breaks of `text`, whose first break is at `first` (none: it has none).
Breaks findBreaks(std::string_view text, std::size_t first) {
    Breaks breaks;
    breaks.first = first;
    if (breaks.first != none) {
        breaks.last = lastBreakAt(text, text.size() - 1);
    }
    return breaks;
}

/// True when "Ref", a punctuation character and a break-free rest start at `at`, with a
/// space right before it.
bool isReferenceStart(std::string_view line, std::size_t at, const Breaks& breaks) {
    return at >= 1 && isClass(line, at - 1, Space) && holdsAt(line, at, "Ref") &&
           isClass(line, at + 3, Punct) && (breaks.last == none || at > breaks.last);
}

/// The last ".)" at or before `highest` and after `lowestExcluded` (none: from 0).
std::size_t lastClosingAt(std::string_view line, std::size_t highest, std::size_t lowestExcluded) {
    for (std::size_t at = lastOf(line, ')', highest + 1); at != none && at > 0;
         at = lastOf(line, ')', at - 1)) {
        if (line[at - 1] == '.') {
            const std::size_t closing = at - 1;
            return lowestExcluded != none && closing <= lowestExcluded ? none : closing;
        }
        if (lowestExcluded != none && at <= lowestExcluded + 1) {
            break;
        }
    }
    return none;
}

/// How the part after the message number's "(" can end, worked out once per line.
/// Message text, ".)", free text, space run, "Ref", punct, reference text.
struct TailPlan {
    // The tail holds no line break: the last possible "Ref" and the last ".)" before it.
    std::size_t reference = none;
    std::size_t closing = none;
    // The tail holds line breaks: they must all lie in the space run in front of "Ref",
    // the free text ends at the first of them.
    std::size_t breakReference = none;
    std::size_t breakClosing = none;
    std::size_t breakFreeEnd = none;
    std::size_t breakBefore = none; // last break in front of that space run, if any
};

TailPlan planTail(std::string_view line, const Breaks& breaks) {
    TailPlan plan;
    const std::size_t n = line.size();
    if (n < 4) {
        return plan;
    }
    // Searched for by its "f", which is rarer than "R" in the reference texts that follow.
    for (std::size_t f = lastOf(line, 'f', n - 2), at = f - 2; f != none && f > 2;
         f = lastOf(line, 'f', f - 1), at = f - 2) {
        if (breaks.last != none && at <= breaks.last) {
            break;
        }
        if (isReferenceStart(line, at, breaks)) {
            plan.reference = at;
            break;
        }
    }
    if (plan.reference == none) {
        return plan;
    }
    if (plan.reference >= 3) {
        plan.closing = lastClosingAt(line, plan.reference - 3, breaks.last);
    }
    if (breaks.last == none) {
        return plan;
    }
    std::size_t runStart = breaks.last;
    while (runStart > 0 && isClass(line, runStart - 1, Space)) {
        --runStart;
    }
    std::size_t runEnd = breaks.last + 1;
    while (isClass(line, runEnd, Space)) {
        ++runEnd;
    }
    if (!isReferenceStart(line, runEnd, breaks)) {
        return plan;
    }
    plan.breakReference = runEnd;
    plan.breakFreeEnd = firstLineBreak(line, runStart);
    plan.breakBefore = runStart == 0 ? none : lastBreakAt(line, runStart - 1);
    if (plan.breakFreeEnd >= 2) {
        plan.breakClosing = lastClosingAt(line, plan.breakFreeEnd - 2, plan.breakBefore);
    }
    return plan;
}

/// The pieces between the path and the message text in the form the analyser writes them:
/// " (" line ") : warning : QAC(Prio" digit ") Msg: " number "(". Such text leaves the
/// general steps in matchAfterPath no other choice, so this gives the same groups in fewer
/// steps; on other text it returns false and leaves `at` as it was.
bool matchUsualMiddle(Cursor& at, ReportLineGroups& groups) {
    Cursor usual = at;
    std::string_view fixed;
    if (!(usual.literal(" (") && usual.run(Digit, groups[2]) &&
          (usual.literal(") : warning : QAC(Prio", fixed) ||
           usual.literal(") : error : QAC(Prio", fixed)))) {
        return false;
    }
    const char* const priority = usual.at;
    if (!(usual.one(Digit) && usual.literal(") Msg: ") && usual.run(Digit, groups[5]) &&
          usual.literal("("))) {
        return false;
    }
    groups[3] = fixed.substr(4, fixed.size() - 15); // the severity word
    groups[4] = {priority, 1};
    at = usual;
    return true;
}

/// Matches everything after the path, which ends at `pathEnd`. On success fills groups
/// 2 to 9.
bool matchAfterPath(std::string_view line, std::size_t pathEnd, const Breaks& breaks,
                    const TailPlan& plan, ReportLineGroups& groups) {
    Cursor at{line.data() + pathEnd, line.data() + line.size()};
    if (!matchUsualMiddle(at, groups)) {
        if (!(at.run(Space) && at.literal("(") && at.run(Digit, groups[2]) && at.literal(")") &&
              at.run(Space) && at.one(Punct) && at.run(Space) &&
              (at.literal("warning", groups[3]) || at.literal("error", groups[3])) &&
              at.run(Space) && at.one(Punct) && at.run(Space) && at.literal("QAC(Prio"))) {
            return false;
        }
        const char* const priority = at.at;
        if (!(at.one(Digit) && at.literal(")") && at.run(Space) && at.literal("Msg") &&
              at.one(Punct) && at.run(Space) && at.run(Digit, groups[5]) && at.literal("("))) {
            return false;
        }
        groups[4] = {priority, 1};
    }
    const auto textStart = static_cast<std::size_t>(at.at - line.data());

    std::size_t closing = none;
    std::size_t freeEnd = none;
    std::size_t reference = none;
    if (breaks.last == none || textStart > breaks.last) {
        if (plan.closing == none || plan.closing < textStart) {
            return false;
        }
        closing = plan.closing;
        freeEnd = plan.reference - 1;
        reference = plan.reference;
    } else {
        if (plan.breakClosing == none || plan.breakClosing < textStart ||
            (plan.breakBefore != none && textStart <= plan.breakBefore)) {
            return false;
        }
        closing = plan.breakClosing;
        freeEnd = plan.breakFreeEnd;
        reference = plan.breakReference;
    }
    const char* const data = line.data();
    groups[6] = {data + textStart, closing - textStart};
    groups[7] = {data + closing + 2, freeEnd - (closing + 2)};
    groups[8] = {data + reference, 3};
    groups[9] = {data + reference + 4, line.size() - (reference + 4)};
    return true;
}

/// End of the path group when the "." at `dot` starts one of the four extensions and a
/// space follows; none otherwise.
std::size_t pathEndAfterDot(std::string_view line, std::size_t dot) {
    const std::size_t letter = dot + 1;
    if (letter >= line.size() || (line[letter] != 'h' && line[letter] != 'c')) {
        return none;
    }
    if (isClass(line, letter + 1, Space)) {
        return letter + 1;
    }
    if (holdsAt(line, letter + 1, "pp") && isClass(line, letter + 3, Space)) {
        return letter + 3;
    }
    return none;
}

} // namespace

bool matchReportLine(std::string_view line, std::size_t firstBreak, ReportLineGroups& groups) {
    const Breaks breaks = findBreaks(line, firstBreak);
    const TailPlan plan = planTail(line, breaks);
    if (plan.reference == none) {
        return false; // every match ends in "Ref", punct and a break-free reference text
    }
    // The path may not hold a line break, and a space must follow it. Its end also lies
    // before the last "QAC(Prio", which every match has after the path.
    const std::size_t qac = lastOccurrence(line, "QAC(Prio");
    if (qac == none) {
        return false;
    }
    const std::size_t pathLimit = std::min(breaks.first == none ? line.size() : breaks.first, qac);
    if (pathLimit < 2) {
        return false;
    }
    for (std::size_t dot = lastOf(line, '.', pathLimit - 2); dot != none;
         dot = dot == 0 ? none : lastOf(line, '.', dot - 1)) {
        const std::size_t pathEnd = pathEndAfterDot(line, dot);
        if (pathEnd != none && pathEnd <= pathLimit &&
            matchAfterPath(line, pathEnd, breaks, plan, groups)) {
            groups[0] = line;
            groups[1] = line.substr(0, pathEnd);
            return true;
        }
    }
    return false;
}

bool matchRuleReference(std::string_view text, RuleReferenceGroups& groups) {
    constexpr std::string_view lead = "MISRA";
    if (text.substr(0, lead.size()) != lead) {
        return false;
    }
    const Breaks breaks = findBreaks(text, firstLineBreak(text, 0));
    // The standard's free part may not hold a line break; its last byte is punctuation.
    std::size_t punct = breaks.first == none ? text.size() : breaks.first;
    while (punct > lead.size()) {
        --punct;
        if (!isClass(text, punct, Punct)) {
            continue;
        }
        Cursor at{text.data() + punct + 1, text.data() + text.size()};
        if (!at.run(Digit)) {
            continue;
        }
        const auto standardEnd = static_cast<std::size_t>(at.at - text.data());
        if (!(at.run(Space) && (at.literal("Rule", groups[2]) || at.literal("Dir", groups[2])) &&
              at.literal("-") && at.run(Digit, groups[3]) && at.literal(".") &&
              at.run(Digit, groups[4]))) {
            continue;
        }
        const auto end = static_cast<std::size_t>(at.at - text.data());
        if (breaks.last != none && breaks.last >= end) {
            continue; // the trailing text may not hold a line break either
        }
        groups[0] = text;
        groups[1] = text.substr(0, standardEnd);
        groups[5] = text.substr(end);
        return true;
    }
    return false;
}

} // namespace vendrik
