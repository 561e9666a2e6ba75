#include "history/store/sqlite_tables.h"

#include "history/store/finding_history.h"
#include "history/store/script_runs.h"

namespace vendrik::history {

std::string runTotalsColumns() {
    return "platform, project, githash, date, time, count(*), " + counterList(true);
}

namespace {

std::string createRunTotals() {
    return "create table if not exists vendrik_history_run_totals (platform, project, githash, "
           "date, time, files, " +
           counterList(false) +
           ", primary key (platform, project, date, time, githash)); create table if not "
           "exists vendrik_history_state (summed_rows);";
}

std::int64_t singleNumber(const Database& db, const std::string& sql, const std::string& doing) {
    Statement query(db, sql, doing);
    return query.step() ? query.number(0) : -1;
}

} // namespace

bool runTotalsCurrent(const Database& db) {
    Statement tables(db,
                     "select count(*) from sqlite_master where type = 'table' and name in "
                     "('vendrik_history_run_totals', 'vendrik_history_state')",
                     "read the schema");
    if (!tables.step() || tables.number(0) != 2) {
        return false;
    }
    return singleNumber(db, "select summed_rows from vendrik_history_state", "read the state") ==
           singleNumber(db, "select count(*) from main.testresults", "count the rows");
}

void keepRunTotals(SqliteSession& session, bool wereCurrent) {
    const Database& db = session.database();
    execute(db, createRunTotals().c_str(), "keep the run totals");
    if (wereCurrent) {
        addRunTotals(session, "temp.testresults");
    } else { // new, or another tool changed the table: summed up anew
        execute(db,
                ("delete from vendrik_history_run_totals; insert into vendrik_history_run_totals "
                 "select " +
                 runTotalsColumns() +
                 " from main.testresults group by platform, project, githash, date, time")
                    .c_str(),
                "keep the run totals");
    }
    // The rows summed up: counted anew only where the table was summed up anew.
    execute(db,
            wereCurrent ? "update vendrik_history_state set summed_rows = summed_rows + (select "
                          "count(*) from temp.testresults)"
                        : "delete from vendrik_history_state; insert into vendrik_history_state "
                          "select count(*) from main.testresults",
            "keep the run totals");
}

bool hasFindingTables(const Database& db) {
    Statement tables(db,
                     "select count(*) from sqlite_master where type = 'table' and name in "
                     "('vendrik_history_run_facts', 'vendrik_history_findings')",
                     "read the schema");
    return tables.step() && tables.number(0) == 2;
}

void createFindingTables(const Database& db) {
    execute(db,
            ("create table if not exists vendrik_history_run_facts (platform, project, githash, "
             "date, time, branch not null, findings, files, " +
             counterList(false) +
             ", gate, primary key (platform, project, date, time, githash)); "
             "create table if not exists vendrik_history_findings (platform, project, branch, "
             "first, last, " +
             findingColumns +
             ", primary key (platform, project, branch, last, fingerprint)) without rowid; "
             "create index if not exists vendrik_history_findings_by_print on "
             "vendrik_history_findings (platform, project, branch, fingerprint)")
                .c_str(),
            "create the history's tables");
}

} // namespace vendrik::history
