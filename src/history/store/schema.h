#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vendrik::history {

// The tables of the results database, described once; each backend makes them from this,
// naming each column's type in its own dialect.

/// What a column holds: text, a whole number, or the table's sequence (a number that the
/// database gives each new row, larger than any before it, which is the table's key).
enum class ColumnType { text, number, sequence };

struct Column {
    std::string name;
    ColumnType type;
    bool notNull = false;
};

struct Table {
    std::string name;
    std::vector<Column> columns;
    std::string key;           ///< "primary key (...)" or "UNIQUE (...)"
    bool withoutRowid = false; ///< SQLite may keep it as a clustered index
};

struct Index {
    std::string name;
    std::string table;
    std::string columns;
};

/// testresults, the converter's table.
const Table& resultsTable();

/// The program's own tables beside it: the run totals, the runs' facts, the findings' spans
/// (see finding_history.h) and the decisions on findings (see decisions.h).
const std::vector<Table>& historyTables();

/// The program's indexes: a finding's spans by its fingerprint.
const std::vector<Index>& historyIndexes();

/// "create table if not exists NAME (column type, ..., key)" with each type as `typeOf`
/// writes it ("" for none) and, where `withoutRowid` is asked for and the table wants it,
/// "without rowid". For testresults with no types it is the converter's create statement.
std::string createTableSql(const Table& table, const std::function<std::string(ColumnType)>& typeOf,
                           bool withoutRowid);

std::string createIndexSql(const Index& index);

} // namespace vendrik::history
