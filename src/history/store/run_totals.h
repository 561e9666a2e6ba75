#pragma once

#include <string>
#include <vector>

namespace vendrik::history {

// The run totals (vendrik_history_run_totals): each run's number of rows in testresults and
// their counter sums, by which the runs are listed without reading the table. The database
// keeps them itself, by triggers on testresults that each backend makes from the statements
// below, so that they stay exact whichever program adds, changes or deletes rows. A row whose
// platform, project, hash, date or time is NULL belongs to no run and is left out. Where the
// triggers are missing (a table that only the converter's script wrote, or one that an
// earlier version kept), the readers sum the table up instead (see StoreShape).

/// "select platform, project, githash, date, time, count(*) as files, coalesce(sum(c), 0) as
/// c, ... from FROM where (each key not null) group by (the key)": the runs of `from`.
std::string summedRuns(const std::string& from);

/// The same columns for one row of a row trigger (`row` "new" or "old"): its run, 1 file and
/// its counters, or nothing where its key has a NULL.
std::string rowAsRun(const std::string& row);

/// The statement that adds `deltas` (rows of those columns, one per run) to the totals.
std::string addToTotals(const std::string& deltas);

/// The statements that take `deltas` off the totals, and remove the runs left with no rows.
std::string takeFromTotals(const std::string& deltas);

/// The statements that sum the totals up anew from testresults (`table`, as the caller names
/// it).
std::vector<std::string> sumTotalsAnew(const std::string& table);

} // namespace vendrik::history
