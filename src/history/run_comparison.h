#pragma once

#include "history/finding_match.h"
#include "history/store/store.h"
#include "history/triage.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vendrik::history {

/// The values compared for each file and in total: the twelve counter columns, then the
/// bands 8-9, 5-7 and 0-4 (HIS findings not among them).
inline constexpr std::array<std::string_view, counterColumns.size() + 3> comparedColumns = [] {
    std::array<std::string_view, counterColumns.size() + 3> columns{};
    std::copy(counterColumns.begin(), counterColumns.end(), columns.begin());
    columns[counterColumns.size()] = "band_8_9";
    columns[counterColumns.size() + 1] = "band_5_7";
    columns[counterColumns.size() + 2] = "band_0_4";
    return columns;
}();
using Values = std::array<std::int64_t, comparedColumns.size()>;

/// The index in comparedColumns of `name`, which must be one of them: valueAt("his").
consteval std::size_t valueAt(std::string_view name) {
    std::size_t index = 0;
    while (comparedColumns[index] != name) {
        ++index;
    }
    return index;
}

/// Counters with their bands (each priority's counter in its band, see priorityBand), in
/// comparedColumns order.
Values valuesOf(const Counters& counters);

/// One file in two runs. A file that one run lacks has nothing on that side.
struct FileChange {
    std::string filename;
    std::optional<Values> base;
    std::optional<Values> head;
    /// head minus base, a missing side counting 0 (a file that appears or disappears)
    Values change() const;
};

/// The findings of two runs, matched (see matchFindings), and the decisions on head's.
struct FindingChanges {
    std::vector<TrackedFinding> base;
    std::vector<TrackedFinding> head;
    FindingMatch match;
    Triage triage; ///< `decided` is empty where no decision was read

    /// The decision on head's finding at `index`, if any.
    const AppliedDecision* decisionOn(std::size_t index) const {
        return index < triage.decided.size() && triage.decided[index] ? &*triage.decided[index]
                                                                      : nullptr;
    }
    /// True when head's finding at `index` is suppressed by its decision.
    bool suppressed(std::size_t index) const {
        const AppliedDecision* decision = decisionOn(index);
        return decision != nullptr && decision->suppresses();
    }
};

/// Two runs compared file by file, and finding by finding where both SARIF logs are loaded.
struct Comparison {
    RunKey base;
    RunKey head;
    std::vector<FileChange> files; ///< by file name
    Values baseTotal{};
    Values headTotal{};
    bool hasBase = true; ///< false: head compared with itself, for limits on its totals alone
    /// Finding by finding, where both SARIF logs are loaded; copies of the comparison share it.
    std::shared_ptr<FindingChanges> findings;
};

Comparison compareRuns(const RunKey& base, const std::vector<FileRow>& baseRows, const RunKey& head,
                       const std::vector<FileRow>& headRows);

/// `base` and `head` (whose rows are `headRows`) of `branch` compared as `store` holds them,
/// finding by finding where both SARIF logs are loaded.
Comparison compareStoredRuns(HistoryStore& store, const RunKey& base, const RunKey& head,
                             const std::vector<FileRow>& headRows, const std::string& branch);

/// The files of `comparison` that changed (a count, or a side that lacks the file), the
/// largest change of all_errors first, then the largest of all values together, then by name.
std::vector<const FileChange*> changedFiles(const Comparison& comparison);

/// `files` in the order of changedFiles.
std::vector<const FileChange*> byLargestChange(std::vector<const FileChange*> files);

/// The index in `runs` (newest first) of the run that --base=previous compares the run at
/// `headAt` with: the newest older run with another hash. Nothing when there is none.
std::optional<std::size_t> previousRunAt(const std::vector<RunKey>& runs, std::size_t headAt);

/// Finds a run of `runs` (newest first) by `wanted`: a whole hash, or a date and time
/// ("2026.12.08 11:57:41"); else a unique prefix of a hash ("abc" is not ambiguous beside
/// "abcdef" when one run's hash is "abc"). Runs of one hash (a retry) mean the newest. Throws
/// StoreError when no run or more than one matches.
const RunKey& findRun(const std::vector<RunKey>& runs, const std::string& wanted);

/// The runs of a series (see HistoryStore::runKeys), newest first; throws StoreError "no run
/// of platform P and project N[ on branch B]" when it has none.
std::vector<RunKey> seriesRuns(HistoryStore& store, const std::string& platform,
                               const std::string& project, const std::string& branch);

/// The index in comparedColumns of `name`, or nothing.
std::optional<std::size_t> columnIndex(std::string_view name);

/// What a gate decides.
struct GateResult {
    bool failed = false;
    std::vector<const FileChange*> grown;    ///< files whose watched counts grew
    std::vector<const FileChange*> improved; ///< files whose watched counts fell, none grew
    std::vector<std::string> limitsPassed;   ///< "his 12 > 10"
};

/// `comparison` with head's counts less its new findings that decisions suppress, each taken
/// off its file's counts and the totals as the converter counts it: what a gate then judges.
Comparison withoutSuppressed(Comparison comparison);

/// Fails when a watched column grew in any file, or a head total passes its limit.
GateResult evaluateGate(const Comparison& comparison, const std::vector<std::size_t>& watched,
                        const std::vector<std::pair<std::size_t, std::int64_t>>& limits);

/// The kinds of new findings a gate can limit: all, those of each band (HIS findings not
/// among them), and the HIS ones.
inline constexpr std::array<std::string_view, 5> newKinds = {"new", "new_8_9", "new_5_7", "new_0_4",
                                                             "new_his"};

/// The number of new findings of each kind, suppressed ones left out unless
/// `countSuppressed`; `comparison` must have its findings.
std::array<std::int64_t, newKinds.size()> newCounts(const Comparison& comparison,
                                                    bool countSuppressed = false);

/// Limits on what head adds to base.
struct NewFindingLimits {
    std::array<std::optional<std::int64_t>, newKinds.size()> maxNew;
    std::optional<std::int64_t> maxIncrease; ///< on the growth of the total all_errors
    bool countSuppressed = false;            ///< new findings that decisions suppress count too
};

/// Fails `result`, naming each limit passed ("new 3 > 0", "increase 31 > 30"). The limits on
/// new findings apply when the comparison has its findings.
void applyNewFindingLimits(const Comparison& comparison, const NewFindingLimits& limits,
                           GateResult& result);

} // namespace vendrik::history
