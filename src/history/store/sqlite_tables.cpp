#include "history/store/sqlite_tables.h"

#include "history/store/finding_history.h"
#include "history/store/schema.h"
#include "history/store/script_runs.h"

#include <algorithm>

namespace vendrik::history {

std::string runTotalsColumns() {
    return "platform, project, githash, date, time, count(*), " + counterList(true);
}

namespace {

/// SQLite keeps any value in a column of no type, as in the converter's table.
std::string untyped(ColumnType) {
    return {};
}

const Table& tableNamed(const std::string& name) {
    return *std::find_if(historyTables().begin(), historyTables().end(),
                         [&](const Table& table) { return table.name == name; });
}

/// The run totals, and the number of rows of testresults that they sum up.
std::string createRunTotals() {
    return createTableSql(tableNamed("vendrik_history_run_totals"), untyped, true) +
           " create table if not exists vendrik_history_state (summed_rows);";
}

std::int64_t singleNumber(const SqliteDatabase& db, const std::string& sql,
                          const std::string& doing) {
    SqliteStatement query(db, sql, doing);
    return query.step() ? query.number(0) : -1;
}

} // namespace

bool runTotalsCurrent(const SqliteDatabase& db) {
    SqliteStatement tables(db,
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
    const SqliteDatabase& db = session.database();
    executeSqlite(db, createRunTotals().c_str(), "keep the run totals");
    if (wereCurrent) {
        addRunTotals(session, "temp.testresults");
    } else { // new, or another tool changed the table: summed up anew
        executeSqlite(
            db,
            ("delete from vendrik_history_run_totals; insert into vendrik_history_run_totals "
             "select " +
             runTotalsColumns() +
             " from main.testresults group by platform, project, githash, date, time")
                .c_str(),
            "keep the run totals");
    }
    // The rows summed up: counted anew only where the table was summed up anew.
    executeSqlite(db,
                  wereCurrent
                      ? "update vendrik_history_state set summed_rows = summed_rows + (select "
                        "count(*) from temp.testresults)"
                      : "delete from vendrik_history_state; insert into vendrik_history_state "
                        "select count(*) from main.testresults",
                  "keep the run totals");
}

bool hasFindingTables(const SqliteDatabase& db) {
    SqliteStatement tables(db,
                           "select count(*) from sqlite_master where type = 'table' and name in "
                           "('vendrik_history_run_facts', 'vendrik_history_findings')",
                           "read the schema");
    return tables.step() && tables.number(0) == 2;
}

void createFindingTables(const SqliteDatabase& db) {
    std::string sql = createTableSql(tableNamed("vendrik_history_run_facts"), untyped, true) +
                      createTableSql(tableNamed("vendrik_history_findings"), untyped, true);
    for (const Index& index : historyIndexes()) {
        if (index.table != resultsTable().name) { // the runs' index: see createRunsIndex
            sql += createIndexSql(index) + ";";
        }
    }
    executeSqlite(db, sql.c_str(), "create the history's tables");
}

void createRunsIndex(const SqliteDatabase& db) {
    for (const Index& index : historyIndexes()) {
        if (index.table == resultsTable().name) {
            executeSqlite(db, createIndexSql(index).c_str(), "index the runs");
        }
    }
}

} // namespace vendrik::history
