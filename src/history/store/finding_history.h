#pragma once

#include "history/store/session.h"
#include "history/store/store.h"

#include <optional>
#include <string>
#include <vector>

namespace vendrik::history {

// The program's own tables beside testresults, which load keeps:
// - vendrik_history_run_facts: one row per run that load or gate --record has seen, with
//   its branch ('' for none), its number of findings and their counters when its SARIF log
//   was loaded (null before), and its gate outcome ('passed', 'failed' or null).
// - vendrik_history_findings: each finding of a series (platform, project, branch) once per
//   span of consecutive logged runs it is present in, the runs named by their order key
//   (see orderKey). A finding that changes in any way (its line, say) starts a new span.
//   Its origin names it across its spans (see TrackedFinding); a table kept by an earlier
//   version gets the column, each span then named by its fingerprint and first run.

/// The stored columns of a finding, in table order.
inline constexpr const char* findingColumns =
    "fingerprint, file, line, number, priority, his, text, reference, origin";

/// The twelve counters, in column order, of the findings of a group (all_errors the number
/// of findings; an HIS finding counts in his alone, any other under its priority), as SQL
/// over the columns priority and his: the one statement of the counting rule in SQL.
std::string findingCountersSql();

/// The origin of a span in a table that an earlier version made: its fingerprint and first
/// run.
inline constexpr const char* earlierOrigin = "fingerprint || '@' || first";

/// The findings of a series (platform, project, branch) in its run of order key `order`, in
/// no order, each with its origin as the SQL expression `origin` gives it: the column, or
/// earlierOrigin for a table without one, or '' where no decision needs them.
std::vector<TrackedFinding> findingsAt(SqlSession& session, const std::string& platform,
                                       const std::string& project, const std::string& branch,
                                       const std::string& order,
                                       const std::string& origin = "origin");

/// Adds the findings' origin column to a table of findings that an earlier version made
/// (`typed`, the column's type in the dialect), when `missing`.
void addOrigins(SqlSession& session, bool missing, const std::string& typed);

/// "date time githash": the runs of a series sort by it as by date, time, then hash.
std::string orderKey(const RunKey& run);

/// The SQL of orderKey for the columns date, time and githash of `table`.
std::string orderKeySql(const std::string& table);

/// Stores the run and its findings on `branch` within the caller's transaction on
/// `session`, whose database has the tables: the spans of its neighbours in the series are
/// extended, joined or cut so that each finding's spans cover exactly the logged runs it is
/// present in, whatever order runs are loaded in. False, with nothing changed, when the
/// run's findings are stored already.
/// A run known only from its script, on no branch and with no gate outcome, is not settled
/// on a branch: `branch` settles it. A settled run keeps its branch: an empty `branch` (a
/// log that names none) takes it, another refuses the log.
/// Throws StoreError when the run is settled on another branch, when its script's rows
/// differ from the log's findings counted per file (the first file and counter are named),
/// or when two of its findings share a fingerprint.
bool storeLoggedRun(SqlSession& session, const LoggedRun& logged, const std::string& branch);

/// Checks the runs of the rows staged in the table `staged` before they are added: throws
/// StoreError when a run is settled on a branch other than a non-empty `branch` (see
/// storeLoggedRun), or when a run's staged rows differ from its log's findings stored before.
void checkScriptRuns(SqlSession& session, const std::string& staged, const std::string& branch);

/// Records the runs of the rows staged in the table `staged`, which checkScriptRuns passed:
/// new runs and runs not settled on a branch on `branch`; a settled run keeps its own.
void recordScriptRuns(SqlSession& session, const std::string& staged, const std::string& branch);

/// Records the gate's outcome for `run` on `branch`.
void recordGateOutcome(SqlSession& session, const RunKey& run, const std::string& branch,
                       bool passed);

} // namespace vendrik::history
