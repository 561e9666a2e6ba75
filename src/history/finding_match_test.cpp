#include "history/finding_match.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vendrik::history {
namespace {

/// A finding of a.c by line, with `text` and number 2000.
TrackedFinding at(std::int64_t line, const std::string& text = "x",
                  const std::string& file = "a.c") {
    return {"", file, line, 2000, 3, false, text, ""};
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

} // namespace
} // namespace vendrik::history
