#include "history/finding_match.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vendrik::history {
namespace {

/// A finding of a.c by line, with `text` and number 2000.
TrackedFinding at(std::int64_t line, const std::string& text = "x",
                  const std::string& file = "a.c") {
    return {"", file, line, 2000, 3, false, text, "", ""};
}

std::string describe(const std::vector<TrackedFinding>& findings,
                     const std::vector<std::size_t>& indexes) {
    std::ostringstream text;
    for (const std::size_t index : indexes) {
        text << findings[index].file << ':' << findings[index].line << ' ' << findings[index].text
             << "; ";
    }
    return text.str();
}

TEST(FindingMatch, NewAndFixedByFileNumberTextThenNearestLine) {
    struct Case {
        const char* name;
        std::vector<TrackedFinding> base;
        std::vector<TrackedFinding> head;
        std::string added; ///< head's new findings, described
        std::string fixed; ///< base's absent findings, described
    };
    const std::vector<Case> cases = {
        {"lines shift", {at(10), at(20, "y")}, {at(14), at(27, "y")}, "", ""},
        {"copy inserted above", {at(10)}, {at(9), at(11)}, "a.c:9 x; ", ""},
        {"copy inserted below", {at(10)}, {at(10), at(30)}, "a.c:30 x; ", ""},
        {"copy above, both shifted", {at(10), at(50)}, {at(5), at(12), at(52)}, "a.c:5 x; ", ""},
        {"one fixed, one new in the same file",
         {at(10, "x"), at(20, "y")},
         {at(10, "x"), at(20, "z")},
         "a.c:20 z; ",
         "a.c:20 y; "},
        {"one of two copies fixed", {at(10), at(40)}, {at(41)}, "", "a.c:10 x; "},
        {"another file is another finding",
         {at(10)},
         {at(10, "x", "b.c")},
         "b.c:10 x; ",
         "a.c:10 x; "},
        {"nothing before", {}, {at(1), at(2)}, "a.c:1 x; a.c:2 x; ", ""},
        {"nothing after", {at(1)}, {}, "", "a.c:1 x; "},
    };
    for (const Case& test : cases) {
        const FindingMatch match = matchFindings(test.base, test.head);
        EXPECT_EQ(describe(test.head, match.added), test.added) << test.name;
        EXPECT_EQ(describe(test.base, match.fixed), test.fixed) << test.name;
        EXPECT_EQ(match.kept.size() + match.fixed.size(), test.base.size()) << test.name;
        EXPECT_EQ(match.kept.size() + match.added.size(), test.head.size()) << test.name;
    }
}

TEST(FindingMatch, PairsEqualFindingsWithTheLeastDistanceInLineOrder) {
    // Three copies become two: the pairs are 10-11 and 30-29, not 10-29.
    const std::vector<TrackedFinding> base = {at(10), at(20), at(30)};
    const std::vector<TrackedFinding> head = {at(11), at(29)};
    const FindingMatch match = matchFindings(base, head);
    using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ(match.kept, (Pairs{{0, 0}, {2, 1}}));
    EXPECT_EQ(match.fixed, std::vector<std::size_t>{1});
    EXPECT_TRUE(findingUpdated(base[0], head[0]));
    EXPECT_FALSE(findingUpdated(base[0], base[0]));
}

/// `count` findings of `file`, texts "t0", "t1", ... from line 10 on, `shift` lines further.
std::vector<TrackedFinding> fileOf(const std::string& file, int count, int shift = 0,
                                   int firstText = 0) {
    std::vector<TrackedFinding> findings;
    for (int at = 0; at < count; ++at) {
        findings.push_back({"", file, 10 + 10 * at + shift, 2000, 3, false,
                            "t" + std::to_string(firstText + at), "", ""});
    }
    return findings;
}

std::vector<TrackedFinding> joined(std::vector<TrackedFinding> a,
                                   const std::vector<TrackedFinding>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FindingMatch, FilesMovedWhenNearlyAllTheirFindingsMove) {
    using Moves = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* name;
        std::vector<TrackedFinding> base;
        std::vector<TrackedFinding> head;
        Moves moved;
        std::size_t added;
        std::size_t fixed;
    };
    const std::vector<Case> cases = {
        {"renamed", fileOf("a.c", 5), fileOf("b.c", 5, 3), {{"a.c", "b.c"}}, 0, 0},
        {"renamed, one fixed and one new (4 of 5 pair)",
         fileOf("a.c", 5),
         joined(fileOf("b.c", 4), fileOf("b.c", 1, 100, 9)),
         {{"a.c", "b.c"}},
         1,
         1},
        {"3 of 5 alike is no move",
         fileOf("a.c", 5),
         joined(fileOf("b.c", 3), fileOf("b.c", 2, 100, 7)),
         {},
         5,
         5},
        {"one finding moved to another folder",
         fileOf("src/a.c", 1),
         fileOf("lib/a.c", 1),
         {{"src/a.c", "lib/a.c"}},
         0,
         0},
        {"one finding in a file of another name is new",
         fileOf("a.c", 1),
         fileOf("b.c", 1),
         {},
         1,
         1},
        {"a file that keeps a finding has not moved",
         fileOf("a.c", 5),
         joined(fileOf("a.c", 1), fileOf("b.c", 4, 0, 1)),
         {},
         4,
         4},
        {"the best of two left files",
         joined(fileOf("a.c", 3), fileOf("c.c", 5)),
         fileOf("b.c", 5),
         {{"c.c", "b.c"}},
         0,
         3},
    };
    for (const Case& test : cases) {
        const FindingMatch match = matchFindings(test.base, test.head);
        EXPECT_EQ(match.movedFiles, test.moved) << test.name;
        EXPECT_EQ(match.added.size(), test.added) << test.name;
        EXPECT_EQ(match.fixed.size(), test.fixed) << test.name;
        EXPECT_EQ(match.kept.size() + match.fixed.size(), test.base.size()) << test.name;
        EXPECT_EQ(match.kept.size() + match.added.size(), test.head.size()) << test.name;
        for (const auto& [b, h] : match.kept) {
            EXPECT_EQ(test.base[b].text, test.head[h].text) << test.name;
        }
    }
}

} // namespace
} // namespace vendrik::history
