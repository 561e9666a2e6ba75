#pragma once

#include "analysis/finding_counts.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
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
    /// The finding's identity in its series, as stores give it (a log has none): the
    /// fingerprint and order key of the run it first appeared in, kept by the same finding in
    /// later runs across line shifts and moves (see inheritOrigins).
    std::string origin;
    friend bool operator==(const TrackedFinding&, const TrackedFinding&) = default;
};

/// A decision on a finding: an event of its history, appended by triage set and never
/// changed. It holds for the finding it was made on in later runs too (by its origin).
struct Decision {
    std::string platform;
    std::string project;
    std::string branch;
    std::string run;        ///< the order key of the run it was made in (see orderKey)
    TrackedFinding finding; ///< as it was in that run; its origin as stores give it
    std::string state;      ///< "confirmed", "false-positive", "accepted" or "deviation"
    std::string record;     ///< the deviation's record ("DEV-012"), else empty
    std::string reason;
    std::string author;
    std::string at;            ///< when, in UTC: "2026-12-09T09:30:00Z"
    std::string expires;       ///< "YYYY-MM-DD", or empty for never
    std::string approver;      ///< or empty
    std::int64_t sequence = 0; ///< the store's order of events (0 before it is stored)
};

/// A run as the converter's SARIF log records it: its identity, its branch when the log
/// names one, and every finding.
struct LoggedRun {
    RunKey run;
    std::string branch; ///< the run's property branch, else versionControlProvenance[0].branch
    std::vector<TrackedFinding> findings;
};

/// What loading one file did.
struct LoadResult {
    std::int64_t rowsAdded = 0;
    std::vector<RunKey> runsPresent; ///< runs the database holds already: nothing added
};

/// A failure of the store: a missing database or table, a file that is not a database, a
/// database that stays locked. The text says which, in plain words.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Has `listener` called for each query that this process makes on its stores from now on,
/// SQLite's or PostgreSQL's: once per execution of a statement. A converter script's own
/// statements, run in SQLite to check them, are not queries on a store. For the tests and the
/// bench, which count them; an empty listener stops it.
void listenToQueries(std::function<void()> listener);

/// Tells the listener of a query made (see listenToQueries).
void queryMade();

/// "sum(all_errors), sum(misra_0), ..." or "all_errors, misra_0, ...".
std::string counterList(bool summed);

/// Where the history is kept: a SQLite file or a PostgreSQL server (see openStore). Every
/// query throws StoreError when the store fails. A series is the runs of one platform,
/// project and branch ('' for none); runs that load has not recorded (rows that another tool
/// added) have none.
class HistoryStore {
  public:
    virtual ~HistoryStore() = default;

    /// True when `path` names the store's own file (a SQLite database), which no output may
    /// replace.
    virtual bool isStoredIn(const std::string& path) const = 0;

    /// Loads a converter SQL script in one transaction: all its rows or none. Exactly what
    /// the converter writes may run: its create statement of testresults (compared with case
    /// and white space made even, nothing in comments) and its inserts, with their column
    /// list, with char(0) and || inside values; anything else is refused, and StoreError says
    /// which; so is a script cut inside a statement. When the rows are already in the table
    /// as the same run, nothing is added and the result names the run; when one meets another
    /// run's row (the table keeps one row per date, time and file), StoreError names both
    /// runs. The script's runs are recorded as checkScriptRuns and recordScriptRuns say, on
    /// `branch` ('' for none).
    virtual LoadResult loadScript(const std::string& script, const std::string& branch) = 0;

    /// Loads a log's run in one transaction: the run, on `branch` when given, else on the
    /// log's own, and its findings (see storeLoggedRun). `rowsAdded` counts the findings; a
    /// run whose findings are stored already adds nothing and is named in `runsPresent`.
    virtual LoadResult loadLog(const LoggedRun& logged,
                               const std::optional<std::string>& branch) = 0;

    /// Records the gate's outcome for `run` on `branch`, in a transaction of its own.
    virtual void recordGate(const RunKey& run, const std::string& branch, bool passed) = 0;

    /// Appends `decisions` in a transaction of their own: all or none. An empty author is the
    /// operating-system user on SQLite, the server's session user on PostgreSQL.
    virtual void recordDecisions(const std::vector<Decision>& decisions) = 0;

    /// Every decision of a series, oldest first, each finding with its origin (empty where
    /// the spans no longer hold the run it was made in).
    virtual std::vector<Decision> decisions(const std::string& platform, const std::string& project,
                                            const std::string& branch) = 0;

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

/// How a store is opened: to read (the file or server must hold the results table, and the
/// reading commands never change it) or to write (load: a SQLite file is created when
/// missing, the tables when the database has none). Either may record a gate's outcome.
enum class StoreAccess { read, write };

/// The store that `database` names: a PostgreSQL server for a libpq connection URI
/// ("postgresql://", "postgres://") or key=value string ("service=NAME"), else the SQLite file
/// at that path, whose locks are waited for up to `busyMilliseconds`. The one place that
/// chooses the backend.
std::unique_ptr<HistoryStore> openStore(const std::string& database, StoreAccess access,
                                        int busyMilliseconds = 5000);

} // namespace vendrik::history
