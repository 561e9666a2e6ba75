#include "history/store/schema.h"

#include "analysis/finding_counts.h"

namespace vendrik::history {

namespace {

std::vector<Column> texts(std::initializer_list<const char*> names) {
    std::vector<Column> columns;
    for (const char* name : names) {
        columns.push_back({name, ColumnType::text});
    }
    return columns;
}

std::vector<Column> withCounters(std::vector<Column> columns) {
    for (const std::string_view counter : counterColumns) {
        columns.push_back({std::string(counter), ColumnType::number});
    }
    return columns;
}

std::vector<Column> joined(std::vector<Column> first, const std::vector<Column>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const std::vector<Column> runColumns = texts({"platform", "project", "githash", "date", "time"});
const std::string runKey = "primary key (platform, project, date, time, githash)";

} // namespace

const Table& resultsTable() {
    static const Table table = {
        "testresults",
        withCounters(texts({"platform", "project", "tool", "githash", "date", "time", "filename"})),
        "UNIQUE (date, time, filename)"};
    return table;
}

const std::vector<Table>& historyTables() {
    static const std::vector<Table> tables = {
        {"vendrik_history_run_totals",
         withCounters(joined(runColumns, {{"files", ColumnType::number}})), runKey},
        {"vendrik_history_run_facts",
         joined(withCounters(joined(runColumns, {{"branch", ColumnType::text, true},
                                                 {"findings", ColumnType::number},
                                                 {"files", ColumnType::number}})),
                {{"gate", ColumnType::text}}),
         runKey},
        {"vendrik_history_findings",
         joined(texts({"platform", "project", "branch", "first", "last", "fingerprint", "file"}),
                {{"line", ColumnType::number},
                 {"number", ColumnType::number},
                 {"priority", ColumnType::number},
                 {"his", ColumnType::number},
                 {"text", ColumnType::text},
                 {"reference", ColumnType::text},
                 {"origin", ColumnType::text}}),
         "primary key (platform, project, branch, last, fingerprint)", true},
        {"vendrik_history_decisions",
         joined({{"sequence", ColumnType::sequence}},
                joined(texts({"platform", "project", "branch", "run", "fingerprint", "file"}),
                       joined({{"line", ColumnType::number}, {"number", ColumnType::number}},
                              texts({"text", "state", "record", "reason", "author", "at", "expires",
                                     "approver"})))),
         ""},
    };
    return tables;
}

const std::vector<Index>& historyIndexes() {
    static const std::vector<Index> indexes = {
        {"vendrik_history_findings_by_print", "vendrik_history_findings",
         "platform, project, branch, fingerprint"},
        {"vendrik_history_decisions_by_series", "vendrik_history_decisions",
         "platform, project, branch, sequence"},
    };
    return indexes;
}

std::string createTableSql(const Table& table, const std::function<std::string(ColumnType)>& typeOf,
                           bool withoutRowid) {
    std::string sql = "create table if not exists " + table.name + " (";
    for (const Column& column : table.columns) {
        const std::string type = typeOf(column.type);
        sql += column.name + (type.empty() ? "" : " " + type) +
               (column.notNull ? " not null" : "") + ", ";
    }
    if (table.key.empty()) { // the key is the sequence's
        sql.resize(sql.size() - 2);
    }
    return sql + table.key + ")" + (withoutRowid && table.withoutRowid ? " without rowid" : "") +
           ";";
}

std::string createIndexSql(const Index& index) {
    return "create index if not exists " + index.name + " on " + index.table + " (" +
           index.columns + ")";
}

} // namespace vendrik::history
