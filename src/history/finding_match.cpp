#include "history/finding_match.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace vendrik::history {

namespace {

auto groupOf(const TrackedFinding& finding) {
    return std::tie(finding.file, finding.number, finding.text);
}

/// The indexes of `findings` by file, number, text, then line.
std::vector<std::size_t> sortedIndexes(const std::vector<TrackedFinding>& findings) {
    std::vector<std::size_t> order(findings.size());
    for (std::size_t index = 0; index < order.size(); ++index) {
        order[index] = index;
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::tie(findings[a].file, findings[a].number, findings[a].text, findings[a].line,
                        a) < std::tie(findings[b].file, findings[b].number, findings[b].text,
                                      findings[b].line, b);
    });
    return order;
}

/// Pairs each of the lines `fewer` (sorted) with one of `more` (sorted, at least as many)
/// with the least total distance, in order; returns the chosen index into `more` of each.
std::vector<std::size_t> nearestPairs(const std::vector<std::int64_t>& fewer,
                                      const std::vector<std::int64_t>& more) {
    const std::size_t rows = fewer.size();
    const std::size_t columns = more.size();
    std::vector<std::size_t> chosen(rows);
    if (rows == columns || rows * columns > 4'000'000) {
        for (std::size_t at = 0; at < rows; ++at) {
            chosen[at] = at;
        }
        return chosen;
    }
    // cost[i][j]: the least distance pairing the first i of fewer within the first j of
    // more; taken[i][j]: whether that pairs fewer[i-1] with more[j-1].
    constexpr std::int64_t impossible = std::numeric_limits<std::int64_t>::max() / 2;
    std::vector<std::int64_t> cost((rows + 1) * (columns + 1), impossible);
    std::vector<bool> taken((rows + 1) * (columns + 1), false);
    const auto at = [&](std::size_t i, std::size_t j) { return i * (columns + 1) + j; };
    for (std::size_t j = 0; j <= columns; ++j) {
        cost[at(0, j)] = 0;
    }
    for (std::size_t i = 1; i <= rows; ++i) {
        for (std::size_t j = i; j <= columns; ++j) {
            const std::int64_t skip = cost[at(i, j - 1)];
            const std::int64_t distance = fewer[i - 1] > more[j - 1] ? fewer[i - 1] - more[j - 1]
                                                                     : more[j - 1] - fewer[i - 1];
            const std::int64_t pair = cost[at(i - 1, j - 1)] + distance;
            // On a tie the later line of `more` is paired: a copy comes above the original.
            taken[at(i, j)] = pair <= skip;
            cost[at(i, j)] = std::min(pair, skip);
        }
    }
    for (std::size_t i = rows, j = columns; i > 0; --j) {
        if (taken[at(i, j)]) {
            chosen[--i] = j - 1;
        }
    }
    return chosen;
}

/// The findings of base and head matched within their files; see matchFindings.
FindingMatch matchInFiles(const std::vector<TrackedFinding>& base,
                          const std::vector<TrackedFinding>& head);

/// The indexes of `indexes` by their findings' file.
std::map<std::string, std::vector<std::size_t>> byFile(const std::vector<TrackedFinding>& findings,
                                                       const std::vector<std::size_t>& indexes) {
    std::map<std::string, std::vector<std::size_t>> files;
    for (const std::size_t index : indexes) {
        files[findings[index].file].push_back(index);
    }
    return files;
}

/// The findings at `indexes` with no file, so that they match by number and text alone.
std::vector<TrackedFinding> withoutFile(const std::vector<TrackedFinding>& findings,
                                        const std::vector<std::size_t>& indexes) {
    std::vector<TrackedFinding> found;
    for (const std::size_t index : indexes) {
        found.push_back(findings[index]);
        found.back().file.clear();
    }
    return found;
}

/// Below this many findings a file is only taken as moved to a file of its own name: one or
/// two findings alike are as likely a fix beside a new finding.
constexpr std::size_t fewestToRename = 3;

std::string_view baseName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

/// Finds the files moved between base and head among the unmatched findings of `match`, and
/// moves their pairs into kept.
void matchMovedFiles(const std::vector<TrackedFinding>& base,
                     const std::vector<TrackedFinding>& head, FindingMatch& match) {
    if (match.fixed.empty() || match.added.empty()) {
        return;
    }
    std::unordered_set<std::string_view> baseFiles;
    std::unordered_set<std::string_view> headFiles;
    for (const auto& [b, h] : match.kept) {
        baseFiles.insert(base[b].file);
        headFiles.insert(head[h].file);
    }
    auto left = byFile(base, match.fixed);
    auto arrived = byFile(head, match.added);
    std::erase_if(left, [&](const auto& file) { return baseFiles.count(file.first) != 0; });
    std::erase_if(arrived, [&](const auto& file) { return headFiles.count(file.first) != 0; });
    if (left.empty() || arrived.empty()) {
        return;
    }
    // Candidates share a message number and text; each is scored by its pairs.
    std::map<std::pair<std::int64_t, std::string>, std::set<std::string>> arrivedBy;
    for (const auto& [file, indexes] : arrived) {
        for (const std::size_t index : indexes) {
            arrivedBy[{head[index].number, head[index].text}].insert(file);
        }
    }
    struct Move {
        std::size_t pairs;
        std::string from;
        std::string to;
        FindingMatch inner;
    };
    std::vector<Move> moves;
    for (const auto& [from, fromIndexes] : left) {
        std::set<std::string> candidates;
        for (const std::size_t index : fromIndexes) {
            const auto found = arrivedBy.find({base[index].number, base[index].text});
            if (found != arrivedBy.end()) {
                candidates.insert(found->second.begin(), found->second.end());
            }
        }
        for (const std::string& to : candidates) {
            const std::vector<std::size_t>& toIndexes = arrived.at(to);
            FindingMatch inner =
                matchInFiles(withoutFile(base, fromIndexes), withoutFile(head, toIndexes));
            const std::size_t larger = std::max(fromIndexes.size(), toIndexes.size());
            if (inner.kept.size() * 5 >= larger * 4 &&
                (larger >= fewestToRename || baseName(from) == baseName(to))) {
                moves.push_back({inner.kept.size(), from, to, std::move(inner)});
            }
        }
    }
    std::stable_sort(moves.begin(), moves.end(),
                     [](const Move& a, const Move& b) { return a.pairs > b.pairs; });
    std::set<std::string> fromTaken;
    std::set<std::string> toTaken;
    std::set<std::size_t> baseKept;
    std::set<std::size_t> headKept;
    for (const Move& move : moves) {
        if (fromTaken.count(move.from) != 0 || toTaken.count(move.to) != 0) {
            continue;
        }
        fromTaken.insert(move.from);
        toTaken.insert(move.to);
        match.movedFiles.emplace_back(move.from, move.to);
        const std::vector<std::size_t>& fromIndexes = left.at(move.from);
        const std::vector<std::size_t>& toIndexes = arrived.at(move.to);
        for (const auto& [b, h] : move.inner.kept) {
            match.kept.emplace_back(fromIndexes[b], toIndexes[h]);
            baseKept.insert(fromIndexes[b]);
            headKept.insert(toIndexes[h]);
        }
    }
    std::erase_if(match.fixed, [&](std::size_t index) { return baseKept.count(index) != 0; });
    std::erase_if(match.added, [&](std::size_t index) { return headKept.count(index) != 0; });
    std::sort(match.movedFiles.begin(), match.movedFiles.end());
}

FindingMatch matchInFiles(const std::vector<TrackedFinding>& base,
                          const std::vector<TrackedFinding>& head) {
    const std::vector<std::size_t> baseOrder = sortedIndexes(base);
    const std::vector<std::size_t> headOrder = sortedIndexes(head);
    FindingMatch match;
    std::size_t b = 0;
    std::size_t h = 0;
    while (b < baseOrder.size() || h < headOrder.size()) {
        if (h == headOrder.size() ||
            (b < baseOrder.size() && groupOf(base[baseOrder[b]]) < groupOf(head[headOrder[h]]))) {
            match.fixed.push_back(baseOrder[b++]);
            continue;
        }
        if (b == baseOrder.size() || groupOf(head[headOrder[h]]) < groupOf(base[baseOrder[b]])) {
            match.added.push_back(headOrder[h++]);
            continue;
        }
        // One group: the equal findings of both runs, each by line.
        std::vector<std::size_t> baseGroup;
        std::vector<std::size_t> headGroup;
        const auto group = groupOf(base[baseOrder[b]]);
        for (; b < baseOrder.size() && groupOf(base[baseOrder[b]]) == group; ++b) {
            baseGroup.push_back(baseOrder[b]);
        }
        for (; h < headOrder.size() && groupOf(head[headOrder[h]]) == group; ++h) {
            headGroup.push_back(headOrder[h]);
        }
        const bool headFewer = headGroup.size() < baseGroup.size();
        const auto& fewer = headFewer ? headGroup : baseGroup;
        const auto& more = headFewer ? baseGroup : headGroup;
        const auto linesOf = [](const std::vector<std::size_t>& indexes,
                                const std::vector<TrackedFinding>& findings) {
            std::vector<std::int64_t> lines;
            for (const std::size_t index : indexes) {
                lines.push_back(findings[index].line);
            }
            return lines;
        };
        const std::vector<std::size_t> chosen = nearestPairs(
            linesOf(fewer, headFewer ? head : base), linesOf(more, headFewer ? base : head));
        std::vector<bool> paired(more.size(), false);
        for (std::size_t at = 0; at < fewer.size(); ++at) {
            paired[chosen[at]] = true;
            match.kept.emplace_back(headFewer ? more[chosen[at]] : fewer[at],
                                    headFewer ? fewer[at] : more[chosen[at]]);
        }
        for (std::size_t at = 0; at < more.size(); ++at) {
            if (!paired[at]) {
                (headFewer ? match.fixed : match.added).push_back(more[at]);
            }
        }
    }
    std::sort(match.added.begin(), match.added.end());
    std::sort(match.fixed.begin(), match.fixed.end());
    return match;
}

} // namespace

FindingMatch matchFindings(const std::vector<TrackedFinding>& base,
                           const std::vector<TrackedFinding>& head) {
    FindingMatch match = matchInFiles(base, head);
    matchMovedFiles(base, head, match);
    return match;
}

void inheritOrigins(const std::vector<TrackedFinding>& base, std::vector<TrackedFinding>& head,
                    const std::string& run) {
    // A finding as it was in base is that finding: found by its fingerprint. Only the others
    // (a night changes a few) are matched.
    std::unordered_map<std::string_view, const TrackedFinding*> byPrint;
    for (const TrackedFinding& finding : base) {
        byPrint.emplace(finding.fingerprint, &finding);
    }
    const auto same = [](const TrackedFinding& a, const TrackedFinding& b) {
        return a.file == b.file && a.line == b.line && a.number == b.number &&
               a.priority == b.priority && a.his == b.his && a.text == b.text &&
               a.reference == b.reference;
    };
    std::vector<bool> taken(base.size(), false);
    std::vector<std::size_t> changed;
    for (std::size_t at = 0; at < head.size(); ++at) {
        const auto found = byPrint.find(head[at].fingerprint);
        if (found != byPrint.end() && same(*found->second, head[at])) {
            head[at].origin = found->second->origin;
            taken[static_cast<std::size_t>(found->second - base.data())] = true;
        } else {
            head[at].origin = head[at].fingerprint + "@" + run;
            changed.push_back(at);
        }
    }
    std::vector<TrackedFinding> left;
    for (std::size_t at = 0; at < base.size(); ++at) {
        if (!taken[at]) {
            left.push_back(base[at]);
        }
    }
    std::vector<TrackedFinding> arrived;
    for (const std::size_t at : changed) {
        arrived.push_back(head[at]);
    }
    for (const auto& [b, h] : matchFindings(left, arrived).kept) {
        head[changed[h]].origin = left[b].origin;
    }
}

bool findingUpdated(const TrackedFinding& base, const TrackedFinding& head) {
    return base.line != head.line || base.priority != head.priority;
}

void sortFindings(std::vector<TrackedFinding>& findings) {
    std::sort(findings.begin(), findings.end(), [](const auto& a, const auto& b) {
        return std::tie(a.file, a.line, a.number, a.text, a.fingerprint) <
               std::tie(b.file, b.line, b.number, b.text, b.fingerprint);
    });
}

} // namespace vendrik::history
