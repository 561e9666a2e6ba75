#include "history/run_comparison.h"

#include <algorithm>
#include <map>

namespace vendrik::history {

Values valuesOf(const Counters& counters) {
    Values values{};
    std::copy(counters.begin(), counters.end(), values.begin());
    for (std::uint32_t priority = 0; priority <= 9; ++priority) {
        constexpr std::array<std::size_t, 3> bandValue = {valueAt("band_8_9"), valueAt("band_5_7"),
                                                          valueAt("band_0_4")};
        values[bandValue[static_cast<std::size_t>(priorityBand(priority))]] +=
            counters[valueAt("misra_0") + priority];
    }
    return values;
}

Values FileChange::change() const {
    Values difference{};
    for (std::size_t column = 0; column < difference.size(); ++column) {
        difference[column] = (head ? (*head)[column] : 0) - (base ? (*base)[column] : 0);
    }
    return difference;
}

Comparison compareRuns(const RunKey& base, const std::vector<FileRow>& baseRows, const RunKey& head,
                       const std::vector<FileRow>& headRows) {
    Comparison comparison{base, head, {}, {}, {}, true, nullptr};
    std::map<std::string, FileChange> byName;
    const auto add = [&](const std::vector<FileRow>& rows, bool isHead, Values& total) {
        for (const FileRow& row : rows) {
            FileChange& change = byName[row.filename];
            change.filename = row.filename;
            const Values values = valuesOf(row.counters);
            (isHead ? change.head : change.base) = values;
            for (std::size_t column = 0; column < total.size(); ++column) {
                total[column] += values[column];
            }
        }
    };
    add(baseRows, false, comparison.baseTotal);
    add(headRows, true, comparison.headTotal);
    for (auto& [name, change] : byName) {
        comparison.files.push_back(std::move(change));
    }
    return comparison;
}

std::vector<RunKey> seriesRuns(HistoryStore& store, const std::string& platform,
                               const std::string& project, const std::string& branch) {
    std::vector<RunKey> runs = store.runKeys(platform, project, branch);
    if (runs.empty()) {
        throw StoreError("no run of platform " + platform + " and project " + project +
                         (branch.empty() ? "" : " on branch " + branch));
    }
    return runs;
}

const RunKey& findRun(const std::vector<RunKey>& runs, const std::string& wanted) {
    // A whole hash, or a date and time, wins over hashes that merely start with it.
    std::vector<const RunKey*> found;
    std::vector<const RunKey*> prefixed;
    for (const RunKey& run : runs) {
        if (run.githash == wanted || run.date + " " + run.time == wanted ||
            run.date + "," + run.time == wanted) {
            found.push_back(&run);
        } else if (run.githash.starts_with(wanted)) {
            prefixed.push_back(&run);
        }
    }
    if (found.empty()) {
        found = std::move(prefixed);
    }
    if (found.empty()) {
        throw StoreError("no run matches " + wanted);
    }
    // One hash loaded more than once (a retry): its newest load, the first of the runs.
    const bool oneHash = std::all_of(found.begin(), found.end(), [&](const RunKey* run) {
        return run->githash == found.front()->githash;
    });
    if (found.size() > 1 && !oneHash) {
        throw StoreError(std::to_string(found.size()) + " runs match " + wanted +
                         "; give more of the hash, or the date and time");
    }
    return *found.front();
}

std::optional<std::size_t> columnIndex(std::string_view name) {
    const auto found = std::find(comparedColumns.begin(), comparedColumns.end(), name);
    if (found == comparedColumns.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - comparedColumns.begin());
}

Comparison withoutSuppressed(Comparison comparison) {
    if (!comparison.findings) {
        return comparison;
    }
    const FindingChanges& changes = *comparison.findings;
    std::map<std::string, FileChange*> byName;
    for (FileChange& file : comparison.files) {
        byName[file.filename] = &file;
    }
    for (const std::size_t index : changes.match.added) {
        if (!changes.suppressed(index)) {
            continue;
        }
        const TrackedFinding& finding = changes.head[index];
        Counters counters{};
        counters[0] = 1;
        if (const std::size_t column =
                counterColumnOf(static_cast<std::uint64_t>(finding.priority), finding.his);
            column != 0) {
            counters[column] = 1;
        }
        const Values taken = valuesOf(counters);
        // The file as the converter's script names it: the platform, "\" and its path.
        std::string name = comparison.head.platform + "\\" + finding.file;
        std::replace(name.begin() + static_cast<std::ptrdiff_t>(comparison.head.platform.size()),
                     name.end(), '/', '\\');
        const auto file = byName.find(name);
        for (std::size_t column = 0; column < taken.size(); ++column) {
            comparison.headTotal[column] -= taken[column];
            if (file != byName.end() && file->second->head) {
                (*file->second->head)[column] -= taken[column];
            }
        }
    }
    return comparison;
}

GateResult evaluateGate(const Comparison& comparison, const std::vector<std::size_t>& watched,
                        const std::vector<std::pair<std::size_t, std::int64_t>>& limits) {
    GateResult result;
    for (const FileChange& file : comparison.files) {
        const Values change = file.change();
        const bool grew = std::any_of(watched.begin(), watched.end(),
                                      [&](std::size_t column) { return change[column] > 0; });
        const bool fell = std::any_of(watched.begin(), watched.end(),
                                      [&](std::size_t column) { return change[column] < 0; });
        if (grew) {
            result.grown.push_back(&file);
        } else if (fell) {
            result.improved.push_back(&file);
        }
    }
    for (const auto& [column, limit] : limits) {
        const std::int64_t total = comparison.headTotal[column];
        if (total > limit) {
            result.limitsPassed.push_back(std::string(comparedColumns[column]) + " " +
                                          std::to_string(total) + " > " + std::to_string(limit));
        }
    }
    result.failed = !result.grown.empty() || !result.limitsPassed.empty();
    return result;
}

std::array<std::int64_t, newKinds.size()> newCounts(const Comparison& comparison,
                                                    bool countSuppressed) {
    std::array<std::int64_t, newKinds.size()> counts{};
    const FindingChanges& changes = *comparison.findings;
    for (const std::size_t index : changes.match.added) {
        if (!countSuppressed && changes.suppressed(index)) {
            continue;
        }
        const TrackedFinding& finding = changes.head[index];
        ++counts[0];
        ++counts[finding.his ? 4
                             : 1 + static_cast<std::size_t>(
                                       priorityBand(static_cast<std::uint32_t>(finding.priority)))];
    }
    return counts;
}

void applyNewFindingLimits(const Comparison& comparison, const NewFindingLimits& limits,
                           GateResult& result) {
    const auto passed = [&](std::string what, std::int64_t value, std::int64_t limit) {
        if (value > limit) {
            result.limitsPassed.push_back(what + " " + std::to_string(value) + " > " +
                                          std::to_string(limit));
            result.failed = true;
        }
    };
    if (limits.maxIncrease) {
        passed("increase",
               comparison.headTotal[valueAt("all_errors")] -
                   comparison.baseTotal[valueAt("all_errors")],
               *limits.maxIncrease);
    }
    if (!comparison.findings) {
        return;
    }
    const auto counts = newCounts(comparison, limits.countSuppressed);
    for (std::size_t kind = 0; kind < newKinds.size(); ++kind) {
        if (limits.maxNew[kind]) {
            passed(std::string(newKinds[kind]), counts[kind], *limits.maxNew[kind]);
        }
    }
}

Comparison compareStoredRuns(HistoryStore& store, const RunKey& base, const RunKey& head,
                             const std::vector<FileRow>& headRows, const std::string& branch) {
    Comparison comparison = compareRuns(base, store.files(base, branch), head, headRows);
    auto baseFindings = store.findings(base, branch);
    auto headFindings = store.findings(head, branch);
    if (baseFindings && headFindings) {
        FindingMatch match = matchFindings(*baseFindings, *headFindings);
        comparison.findings = std::make_shared<FindingChanges>(FindingChanges{
            std::move(*baseFindings), std::move(*headFindings), std::move(match), {}});
    }
    return comparison;
}

std::vector<const FileChange*> byLargestChange(std::vector<const FileChange*> files) {
    const auto size = [](const FileChange* file) {
        const Values change = file->change();
        std::int64_t all = 0;
        for (const std::int64_t value : change) {
            all += value < 0 ? -value : value;
        }
        const std::int64_t errors = change[valueAt("all_errors")];
        return std::pair(errors < 0 ? -errors : errors, all);
    };
    std::stable_sort(files.begin(), files.end(),
                     [&](const FileChange* a, const FileChange* b) { return size(a) > size(b); });
    return files;
}

std::vector<const FileChange*> changedFiles(const Comparison& comparison) {
    std::vector<const FileChange*> files;
    for (const FileChange& file : comparison.files) {
        const Values change = file.change();
        if (!file.base || !file.head ||
            std::any_of(change.begin(), change.end(), [](std::int64_t v) { return v != 0; })) {
            files.push_back(&file);
        }
    }
    return byLargestChange(std::move(files));
}

std::optional<std::size_t> previousRunAt(const std::vector<RunKey>& runs, std::size_t headAt) {
    for (std::size_t at = headAt + 1; at < runs.size(); ++at) {
        if (runs[at].githash != runs[headAt].githash) {
            return at;
        }
    }
    return std::nullopt;
}

} // namespace vendrik::history
