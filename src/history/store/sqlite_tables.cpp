#include "history/store/sqlite_tables.h"

#include "history/store/finding_history.h"
#include "history/store/run_totals.h"
#include "history/store/schema.h"

#include <algorithm>

namespace vendrik::history {

namespace {

/// SQLite keeps any value in a column of no type, as in the converter's table; the sequence
/// is the rowid.
std::string untyped(ColumnType type) {
    return type == ColumnType::sequence ? "integer primary key" : "";
}

const Table& tableNamed(const std::string& name) {
    return *std::find_if(historyTables().begin(), historyTables().end(),
                         [&](const Table& table) { return table.name == name; });
}

} // namespace

bool runTotalsKept(const SqliteDatabase& db) {
    SqliteStatement kept(db,
                         "select count(*) from main.sqlite_master where (type = 'table' and name "
                         "= 'vendrik_history_run_totals') or (type = 'trigger' and name in "
                         "('vendrik_history_totals_added', 'vendrik_history_totals_changed', "
                         "'vendrik_history_totals_deleted'))",
                         "read the schema");
    return kept.step() && kept.number(0) == 4;
}

void keepRunTotals(const SqliteDatabase& db) {
    if (runTotalsKept(db)) {
        return;
    }
    // Row triggers: SQLite has no statement triggers. The table is summed up once, and an
    // earlier version's count of the rows it summed is dropped.
    std::string sql =
        createTableSql(tableNamed("vendrik_history_run_totals"), untyped, true) +
        " create trigger if not exists main.vendrik_history_totals_added after insert on "
        "testresults begin " +
        addToTotals(rowAsRun("new")) +
        "; end; create trigger if not exists main.vendrik_history_totals_changed after update "
        "on testresults begin " +
        takeFromTotals(rowAsRun("old")) + "; " + addToTotals(rowAsRun("new")) +
        "; end; create trigger if not exists main.vendrik_history_totals_deleted after delete "
        "on testresults begin " +
        takeFromTotals(rowAsRun("old")) + "; end; drop table if exists main.vendrik_history_state;";
    for (const std::string& sum : sumTotalsAnew("main.testresults")) {
        sql += sum + ";";
    }
    executeSqlite(db, sql.c_str(), "keep the run totals");
}

bool hasDecisions(const SqliteDatabase& db) {
    SqliteStatement table(db,
                          "select 1 from sqlite_master where type = 'table' and name = "
                          "'vendrik_history_decisions'",
                          "read the schema");
    if (!table.step()) {
        return false;
    }
    SqliteStatement any(db, "select 1 from vendrik_history_decisions limit 1",
                        "read the decisions");
    return any.step();
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
                      createTableSql(tableNamed("vendrik_history_findings"), untyped, true) +
                      createTableSql(tableNamed("vendrik_history_decisions"), untyped, true);
    for (const Index& index : historyIndexes()) {
        sql += createIndexSql(index) + ";";
    }
    executeSqlite(db, sql.c_str(), "create the history's tables");
    SqliteSession session(db);
    addOrigins(session, !hasOrigins(db), "");
}

bool hasOrigins(const SqliteDatabase& db) {
    SqliteStatement column(db,
                           "select count(*) from pragma_table_info('vendrik_history_findings') "
                           "where name = 'origin'",
                           "read the schema");
    return column.step() && column.number(0) == 1;
}

} // namespace vendrik::history
