#pragma once

#include "history/store/sqlite_database.h"

#include <string>

namespace vendrik::history {

// The program's own tables beside testresults in a SQLite file, which load keeps (see
// finding_history.h for the facts and findings). The table of run totals: each run's
// number of files and counter sums, and the number of rows of testresults they sum up. When
// the table holds another number of rows, another tool has changed it and the totals are
// not used.

/// "platform, project, githash, date, time, count(*), sum(all_errors), ... sum(his)"
std::string runTotalsColumns();

/// True when the run totals exist and sum up the table as it is.
bool runTotalsCurrent(const SqliteDatabase& db);

/// Adds the staged rows (temp.testresults, now added to the table) to the run totals when
/// they were current before (`wereCurrent`), else sums up the whole table anew.
void keepRunTotals(SqliteSession& session, bool wereCurrent);

/// True when the database has the tables of facts and findings.
bool hasFindingTables(const SqliteDatabase& db);

/// Creates the tables of facts and findings and their indexes when missing.
void createFindingTables(const SqliteDatabase& db);

/// Creates the program's index of testresults, by which the runs of a platform and project
/// are found without reading the table's rows, when missing: the first load into a large
/// table builds it once.
void createRunsIndex(const SqliteDatabase& db);

} // namespace vendrik::history
