#pragma once

#include "history/sarif_read.h"
#include "history/sql_session.h"
#include "history/sqlite_database.h"

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

/// "date time githash": the runs of a series sort by it as by date, time, then hash.
std::string orderKey(const RunKey& run);

/// The SQL of orderKey for the columns date, time and githash of `table`.
std::string orderKeySql(const std::string& table);

/// True when the database has the tables of facts and findings.
bool hasFindingTables(const Database& db);

/// Creates the tables and their indexes when missing.
void createFindingTables(const Database& db);

/// Stores the run and its findings on `branch` within the caller's transaction on
/// `session`, whose database has the tables: the spans of its neighbours in the series are
/// extended, joined or cut so that each finding's spans cover exactly the logged runs it is
/// present in, whatever order runs are loaded in. False, with nothing changed, when the
/// run's findings are stored already. Throws StoreError when the run is recorded on another
/// branch, or two of its findings share a fingerprint.
bool storeLoggedRun(SqlSession& session, const LoggedRun& logged, const std::string& branch);

/// Records the runs of the rows staged in the table `staged` on `branch`; throws StoreError
/// when one is recorded on another branch.
void recordScriptRuns(SqlSession& session, const std::string& staged, const std::string& branch);

/// Records the gate's outcome for `run` on `branch`.
void recordGateOutcome(SqlSession& session, const RunKey& run, const std::string& branch,
                       bool passed);

} // namespace vendrik::history
