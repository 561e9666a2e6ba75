#include "test_support/report_line_generator.h"

#include <array>
#include <string_view>
#include <vector>

namespace vendrik::test_support {

namespace {

using Random = std::mt19937_64;

std::size_t below(Random& random, std::size_t limit) {
    return static_cast<std::size_t>(random() % limit);
}

bool chance(Random& random, unsigned percent) {
    return below(random, 100) < percent;
}

template <std::size_t N>
std::string_view pick(Random& random, const std::array<std::string_view, N>& choices) {
    return choices[below(random, N)];
}

constexpr std::string_view punctuation = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";

char anyPunct(Random& random) {
    return punctuation[below(random, punctuation.size())];
}

/// Rarely true: the piece at hand takes a form the grammar may reject.
bool distort(Random& random) {
    return chance(random, 3);
}

std::string spaces(Random& random) {
    if (distort(random)) {
        static constexpr std::array<std::string_view, 5> wrong = {"", "_", "\xa0", "\x85", "."};
        return std::string(pick(random, wrong));
    }
    if (chance(random, 75)) {
        return " ";
    }
    static constexpr std::array<std::string_view, 9> runs = {"  ", "\t",     " \t ", "\v", "\f",
                                                             "\r", " \r\n ", "\n",   "   "};
    return std::string(pick(random, runs));
}

std::string punct(Random& random) {
    if (distort(random)) {
        static constexpr std::array<std::string_view, 5> wrong = {"", "a", " ", "::", "\xbf"};
        return std::string(pick(random, wrong));
    }
    if (chance(random, 60)) {
        return chance(random, 50) ? ":" : ";";
    }
    return std::string(1, anyPunct(random));
}

std::string digits(Random& random) {
    if (distort(random)) {
        static constexpr std::array<std::string_view, 4> wrong = {"", "12a", "x", "1 2"};
        return std::string(pick(random, wrong));
    }
    static constexpr std::array<std::string_view, 7> numbers = {
        "1", "0857", "4294967295", "4294967296", "99999999999999999999", "0", "5300"};
    if (chance(random, 75)) {
        return std::to_string(below(random, 10000));
    }
    return std::string(pick(random, numbers));
}

/// Free text with the characters that make the grammar ambiguous; line breaks only rarely.
std::string text(Random& random, std::size_t maxPieces) {
    static constexpr std::array<std::string_view, 24> pieces = {"Function",
                                                                " ",
                                                                "value",
                                                                ".)",
                                                                "(",
                                                                ")",
                                                                "Ref:",
                                                                " Ref: ",
                                                                "Ref",
                                                                "x.c ",
                                                                ".h\t",
                                                                "Src\\Src_NV\\",
                                                                "..",
                                                                ".",
                                                                std::string_view("\0", 1),
                                                                "\xff",
                                                                "\x80",
                                                                "(3.)",
                                                                "MISRA C:2012 Rule-1.2",
                                                                "  ",
                                                                "\t",
                                                                "Msg: 1(",
                                                                "warning",
                                                                ".cpp "};
    std::string result;
    const std::size_t count = below(random, maxPieces + 1);
    for (std::size_t i = 0; i < count; ++i) {
        if (distort(random)) {
            result += chance(random, 50) ? "\r" : "\n";
        } else if (chance(random, 20)) {
            result += anyPunct(random);
        } else {
            result += pick(random, pieces);
        }
    }
    return result;
}

/// One of `usual` mostly, one of `unusual` when distorted.
template <std::size_t N, std::size_t M>
std::string_view either(Random& random, const std::array<std::string_view, N>& usual,
                        const std::array<std::string_view, M>& unusual) {
    return distort(random) ? pick(random, unusual) : pick(random, usual);
}

std::string path(Random& random) {
    static constexpr std::array<std::string_view, 6> fronts = {
        "",      "D:\\work\\proj\\", "12 tool says: C:\\x\\", "a\\Src\\Src_NV\\b\\", "x.c (1) : ",
        "\xe4\\"};
    static constexpr std::array<std::string_view, 1> marker = {"Src\\Src_NV\\"};
    static constexpr std::array<std::string_view, 4> otherMarkers = {
        "Src\\Src_NVX\\", "", "Src/Src_NV/", "src\\src_nv\\"};
    static constexpr std::array<std::string_view, 5> extensions = {".c", ".h", ".cpp", ".hpp",
                                                                   ".c.h"};
    static constexpr std::array<std::string_view, 6> otherExtensions = {".p",   ".cc", ".C",
                                                                        ".hxx", "",    ".c "};
    std::string result(pick(random, fronts));
    result += either(random, marker, otherMarkers);
    result += chance(random, 80) ? "Core\\io_buffer" : text(random, 3);
    result += either(random, extensions, otherExtensions);
    return result;
}

std::string wellFormedReference(Random& random) {
    static constexpr std::array<std::string_view, 4> standards = {"MISRA C:2012", "MISRA-C:2004",
                                                                  "MISRA C:2012;", "MISRA:1 x;2"};
    static constexpr std::array<std::string_view, 4> otherStandards = {
        "MISRA C 2012", "misra C:2012", "MISRA", " MISRA C:2012"};
    static constexpr std::array<std::string_view, 2> kinds = {"Rule", "Dir"};
    static constexpr std::array<std::string_view, 3> otherKinds = {"rule", "Rul", ""};
    static constexpr std::array<std::string_view, 1> hyphen = {"-"};
    static constexpr std::array<std::string_view, 2> otherHyphens = {" ", "--"};
    static constexpr std::array<std::string_view, 1> dot = {"."};
    static constexpr std::array<std::string_view, 2> otherDots = {",", ""};
    std::string result(either(random, standards, otherStandards));
    if (chance(random, 20)) {
        result += text(random, 3);
    }
    result += spaces(random);
    result += either(random, kinds, otherKinds);
    result += either(random, hyphen, otherHyphens);
    result += digits(random);
    result += either(random, dot, otherDots);
    result += digits(random);
    if (chance(random, 30)) {
        result += chance(random, 50) ? "; MISRA C:2012 Rule-2.2" : text(random, 4);
    }
    return result;
}

std::string wellFormedLine(Random& random) {
    static constexpr std::array<std::string_view, 2> severities = {"warning", "error"};
    static constexpr std::array<std::string_view, 3> otherSeverities = {"Warning", "warn",
                                                                        "errors"};
    static constexpr std::array<std::string_view, 3> priorities = {"QAC(Prio3)", "QAC(Prio0)",
                                                                   "QAC(Prio9)"};
    static constexpr std::array<std::string_view, 3> otherPriorities = {"QAC(Prio10)", "QAC(Prio)",
                                                                        "QAC (Prio3)"};
    static constexpr std::array<std::string_view, 1> msg = {"Msg"};
    static constexpr std::array<std::string_view, 2> otherMsgs = {"msg", "Msg "};
    static constexpr std::array<std::string_view, 1> closing = {".)"};
    static constexpr std::array<std::string_view, 2> otherClosings = {")", ". )"};
    static constexpr std::array<std::string_view, 1> ref = {"Ref"};
    static constexpr std::array<std::string_view, 2> otherRefs = {"ref", "REF"};
    static constexpr std::array<std::string_view, 1> open = {"("};
    static constexpr std::array<std::string_view, 2> otherOpens = {"", " ("};
    static constexpr std::array<std::string_view, 1> close = {")"};
    static constexpr std::array<std::string_view, 2> otherCloses = {"", ") )"};
    std::string line = path(random);
    line += spaces(random);
    line += either(random, open, otherOpens);
    line += digits(random);
    line += either(random, close, otherCloses);
    line += spaces(random);
    line += punct(random);
    line += spaces(random);
    line += either(random, severities, otherSeverities);
    line += spaces(random);
    line += punct(random);
    line += spaces(random);
    line += either(random, priorities, otherPriorities);
    line += spaces(random);
    line += either(random, msg, otherMsgs);
    line += punct(random);
    line += spaces(random);
    line += digits(random);
    line += either(random, open, otherOpens);
    line += chance(random, 60) ? "Function return value is not used" : text(random, 6);
    line += either(random, closing, otherClosings);
    line += chance(random, 50) ? " [U]" : text(random, 4);
    line += spaces(random);
    line += either(random, ref, otherRefs);
    line += punct(random);
    if (chance(random, 80)) {
        line += chance(random, 50) ? " " : "";
        line += wellFormedReference(random);
    } else {
        line += text(random, 4);
    }
    return line;
}

void mutate(Random& random, std::string& line) {
    const std::size_t edits = 1 + below(random, 3);
    for (std::size_t i = 0; i < edits && !line.empty(); ++i) {
        const std::size_t at = below(random, line.size());
        switch (below(random, 4)) {
        case 0:
            line.insert(at, 1, static_cast<char>(below(random, 256)));
            break;
        case 1:
            line.erase(at, 1 + below(random, 3));
            break;
        case 2:
            line.insert(at, line.substr(at, below(random, 20)));
            break;
        default:
            line[at] = chance(random, 50) ? anyPunct(random) : ' ';
            break;
        }
    }
}

} // namespace

std::string generateReportLine(Random& random) {
    std::string line = wellFormedLine(random);
    if (chance(random, 15)) {
        mutate(random, line);
    }
    return line;
}

std::string generateRuleReference(Random& random) {
    std::string reference = wellFormedReference(random);
    if (chance(random, 10)) {
        reference = " " + reference;
    }
    if (chance(random, 15)) {
        mutate(random, reference);
    }
    return reference;
}

} // namespace vendrik::test_support
