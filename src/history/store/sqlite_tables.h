#pragma once

#include "history/store/sqlite_database.h"

#include <string>

namespace vendrik::history {

// The program's own tables beside testresults in a SQLite file, which load keeps (see
// run_totals.h for the run totals, finding_history.h for the facts and findings).

/// True when the run totals and the triggers that keep them are there.
bool runTotalsKept(const SqliteDatabase& db);

/// Creates the run totals and their triggers when missing, and then sums the table up once.
void keepRunTotals(const SqliteDatabase& db);

/// True when the database has the tables of facts and findings.
bool hasFindingTables(const SqliteDatabase& db);

/// True when the database has a decision on a finding.
bool hasDecisions(const SqliteDatabase& db);

/// True when the table of findings has their origins (see finding_history.h).
bool hasOrigins(const SqliteDatabase& db);

/// Creates the tables of facts and findings and their indexes when missing, and the findings'
/// origins in a table of an earlier version.
void createFindingTables(const SqliteDatabase& db);

} // namespace vendrik::history
