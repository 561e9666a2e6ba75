#pragma once

#include "analysis/finding_counts.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vendrik::history {

using vendrik::counterColumns;

/// The counters of a file, or their sums over a run, in column order.
using Counters = std::array<std::int64_t, counterColumns.size()>;

/// One converter run: what makes its rows one run in the table.
struct RunKey {
    std::string platform;
    std::string project;
    std::string githash;
    std::string date; ///< YYYY.MM.DD; 0000.00.00 when the run's local time was unknown
    std::string time; ///< HH:MM:SS
    friend bool operator==(const RunKey&, const RunKey&) = default;
};

/// A run with the number of its files and the sums of their counters.
struct RunTotals {
    RunKey run;
    std::int64_t files = 0;
    Counters counters{};
    std::string branch; ///< '' for none
};

/// One row of a run: a file and its counters.
struct FileRow {
    std::string filename;
    Counters counters{};
};

/// One finding of a run, as the converter's SARIF log gives it. `file` is relative to the
/// source root, with "/" between its parts.
struct TrackedFinding {
    std::string fingerprint;
    std::string file;
    std::int64_t line = 0; ///< 0: the finding has no line
    std::int64_t number = 0;
    std::int64_t priority = 0;
    bool his = false;
    std::string text;
    std::string reference;
    friend bool operator==(const TrackedFinding&, const TrackedFinding&) = default;
};

/// A failure of the store: a missing database or table, a file that is not a database, a
/// database that stays locked. The text says which, in plain words.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The number of queries that this process made on its stores, SQLite's or PostgreSQL's:
/// each execution of a statement counts once. A converter script's own statements, run in
/// SQLite to check them, do not count.
std::size_t queriesRun();
void countQuery();

/// Where the history is kept. Every query throws StoreError when the store fails. A series
/// is the runs of one platform, project and branch ('' for none); runs that load has not
/// recorded (rows that another tool added) have none.
class HistoryStore {
  public:
    virtual ~HistoryStore() = default;

    /// The runs, newest first (by date, then time), of one platform, project and branch
    /// where they are given. A run that only its SARIF log recorded has its findings' totals.
    virtual std::vector<RunTotals> runs(const std::optional<std::string>& platform,
                                        const std::optional<std::string>& project,
                                        const std::optional<std::string>& branch) = 0;

    /// The runs of a series, newest first, without their totals.
    virtual std::vector<RunKey> runKeys(const std::string& platform, const std::string& project,
                                        const std::string& branch) = 0;

    /// The runs of a series whose gate passed, as gate --record stored it, newest first.
    virtual std::vector<RunKey> passedRuns(const std::string& platform, const std::string& project,
                                           const std::string& branch) = 0;

    /// The rows of `run`, by file name; for a run that only its SARIF log recorded, its
    /// findings counted per file (the file named platform + "\" + its path, as the
    /// converter's SQL script names it).
    virtual std::vector<FileRow> files(const RunKey& run, const std::string& branch) = 0;

    /// The findings of `run` in the order of sortFindings, or nothing when its SARIF log was
    /// not loaded.
    virtual std::optional<std::vector<TrackedFinding>> findings(const RunKey& run,
                                                                const std::string& branch) = 0;

    /// The all_errors count of each of `filenames` in every run of `runs`: one vector per
    /// file name, one value per run of `runs` in its order (0 where the file has no row). One
    /// query, whatever the number of runs.
    virtual std::vector<std::vector<std::int64_t>>
    fileTrends(const std::vector<RunTotals>& runs, const std::vector<std::string>& filenames) = 0;
};

} // namespace vendrik::history
