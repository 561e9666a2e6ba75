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
};

/// One row of a run: a file and its counters.
struct FileRow {
    std::string filename;
    Counters counters{};
};

/// A failure of the store: a missing database or table, a file that is not a database, a
/// database that stays locked. The text says which, in plain words.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Where the history is kept. Every query throws StoreError when the store fails.
class HistoryStore {
  public:
    virtual ~HistoryStore() = default;

    /// The runs, newest first (by date, then time), of one platform and project when they
    /// are given.
    virtual std::vector<RunTotals> runs(const std::optional<std::string>& platform,
                                        const std::optional<std::string>& project) = 0;

    /// The runs of one platform and project, newest first, without their totals: quick where
    /// the database has the index that loading adds (see loadScript).
    virtual std::vector<RunKey> runKeys(const std::string& platform,
                                        const std::string& project) = 0;

    /// The rows of `run`, by file name.
    virtual std::vector<FileRow> files(const RunKey& run) = 0;

    /// The all_errors count of each of `filenames` in every run of the platform and project
    /// of `run`, oldest run first: one vector per file name, one value per run of `runs`
    /// (0 where the file has no row).
    virtual std::vector<std::vector<std::int64_t>>
    fileTrends(const std::vector<RunTotals>& runs, const std::vector<std::string>& filenames) = 0;
};

} // namespace vendrik::history
