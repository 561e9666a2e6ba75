#include "history/store/pg_session.h"

#include "history/store/finding_history.h"
#include "history/store/run_totals.h"
#include "history/store/schema.h"

#include <cctype>
#include <set>

namespace vendrik::history {

namespace {

/// `sql` with ?N written $N, and the parameters it uses of `values` as text.
std::pair<std::string, std::vector<std::optional<std::string>>>
forServer(const std::string& sql, const std::vector<SqlValue>& values) {
    std::string text;
    std::size_t used = 0;
    for (std::size_t at = 0; at < sql.size(); ++at) {
        if (sql[at] == '?' && at + 1 < sql.size() &&
            std::isdigit(static_cast<unsigned char>(sql[at + 1]))) {
            std::size_t end = at + 1;
            while (end < sql.size() && std::isdigit(static_cast<unsigned char>(sql[end]))) {
                ++end;
            }
            used = std::max<std::size_t>(used, std::stoul(sql.substr(at + 1, end - at - 1)));
            text += '$';
            continue;
        }
        text += sql[at];
    }
    std::vector<std::optional<std::string>> parameters;
    for (std::size_t at = 0; at < used && at < values.size(); ++at) {
        const SqlValue& value = values[at];
        if (const auto* string = std::get_if<std::string>(&value)) {
            parameters.emplace_back(*string);
        } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
            parameters.emplace_back(std::to_string(*number));
        } else {
            parameters.emplace_back(std::nullopt);
        }
    }
    return {text, parameters};
}

/// One field of each of `findings`, as a PostgreSQL array literal.
template <class Field>
std::string arrayOf(const std::vector<TrackedFinding>& findings, Field field) {
    std::vector<std::string> values;
    for (const TrackedFinding& finding : findings) {
        values.push_back(field(finding));
    }
    return arrayLiteral(values);
}

const std::string textColumn = "text collate \"C\"";

} // namespace

void PgSession::execute(const std::string& sql, const std::vector<SqlValue>& values) {
    const auto [text, parameters] = forServer(sql, values);
    connection_.run(text, parameters, "store the findings", true);
}

void PgSession::forEachRow(const std::string& sql, const std::vector<SqlValue>& values,
                           const std::function<void(const SqlCursor& row)>& row) {
    /// A row of the result, read in place.
    class Cursor : public SqlCursor {
      public:
        explicit Cursor(const PgRows& rows) : rows_(rows) {}
        int at = 0;
        int columns() const override { return PQnfields(rows_.handle()); }
        bool isNull(int column) const override { return rows_.isNull(at, column); }
        std::string text(int column) const override { return rows_.text(at, column); }
        std::int64_t number(int column) const override { return rows_.number(at, column); }

      private:
        const PgRows& rows_;
    };
    const auto [text, parameters] = forServer(sql, values);
    const PgRows rows = connection_.run(text, parameters, "read the database", true);
    Cursor cursor(rows);
    for (; cursor.at < rows.size(); ++cursor.at) {
        row(cursor);
    }
}

std::string PgSession::inList(const std::string& column, const std::vector<std::string>& texts,
                              std::vector<SqlValue>& values) const {
    values.emplace_back(arrayLiteral(texts));
    return column + " = any(cast(?" + std::to_string(values.size()) + " as text[]))";
}

void PgSession::stageFindings(const std::vector<TrackedFinding>& findings) {
    std::set<std::string_view> prints;
    for (const TrackedFinding& finding : findings) {
        if (!prints.insert(finding.fingerprint).second) {
            throw StoreError("refused: two findings of the log share the fingerprint " +
                             finding.fingerprint);
        }
    }
    const std::string text = textColumn;
    connection_.run("create temp table staged (fingerprint " + text + " unique, file " + text +
                        ", line bigint, number bigint, priority bigint, his bigint, text " + text +
                        ", reference " + text + ", origin " + text + ", before boolean, after " +
                        text + ")",
                    "stage the findings");
    const auto number = [](auto field) {
        return [field](const TrackedFinding& finding) { return std::to_string(field(finding)); };
    };
    connection_.run(
        "insert into staged (fingerprint, file, line, number, priority, his, text, reference) "
        "select * from unnest($1::text[], $2::text[], $3::bigint[], $4::bigint[], "
        "$5::bigint[], $6::bigint[], $7::text[], $8::text[])",
        {arrayOf(findings, [](const TrackedFinding& f) { return f.fingerprint; }),
         arrayOf(findings, [](const TrackedFinding& f) { return f.file; }),
         arrayOf(findings, number([](const TrackedFinding& f) { return f.line; })),
         arrayOf(findings, number([](const TrackedFinding& f) { return f.number; })),
         arrayOf(findings, number([](const TrackedFinding& f) { return f.priority; })),
         arrayOf(findings, number([](const TrackedFinding& f) { return f.his ? 1 : 0; })),
         arrayOf(findings, [](const TrackedFinding& f) { return f.text; }),
         arrayOf(findings, [](const TrackedFinding& f) { return f.reference; })},
        "stage the findings");
}

namespace {

/// The server's type of a column: text sorts and compares by bytes, as in SQLite.
std::string serverType(ColumnType type) {
    return type == ColumnType::text     ? textColumn
           : type == ColumnType::number ? "bigint"
                                        : "bigint generated by default as identity primary key";
}

/// The tables that the program reads and loads: testresults and its own.
std::vector<const Table*> allTables() {
    std::vector<const Table*> tables = {&resultsTable()};
    for (const Table& table : historyTables()) {
        tables.push_back(&table);
    }
    return tables;
}

/// The statement triggers that keep the run totals, and the function they run. It runs as
/// its owner, so that a role that may add rows to testresults need not write the totals.
const std::vector<std::pair<const char*, const char*>> totalsTriggers = {
    {"vendrik_history_totals_added", "insert on testresults referencing new table as new_rows"},
    {"vendrik_history_totals_changed",
     "update on testresults referencing old table as old_rows new table as new_rows"},
    {"vendrik_history_totals_deleted", "delete on testresults referencing old table as old_rows"},
    {"vendrik_history_totals_emptied", "truncate on testresults"},
};

std::string keepTotalsFunction() {
    return "create or replace function vendrik_history_keep_totals() returns trigger language "
           "plpgsql security definer set search_path from current as $totals$ begin if tg_op = "
           "'TRUNCATE' then delete from vendrik_history_run_totals; return null; end if; if "
           "tg_op <> 'INSERT' then " +
           takeFromTotals(summedRuns("old_rows")) + "; end if; if tg_op <> 'DELETE' then " +
           addToTotals(summedRuns("new_rows")) + "; end if; return null; end $totals$";
}

} // namespace

StoreShape pgShape(PgConnection& connection) {
    std::vector<std::string> triggers;
    for (const auto& trigger : totalsTriggers) {
        triggers.emplace_back(trigger.first);
    }
    const PgRows found = connection.run(
        "select (select count(*) from pg_tables where schemaname = current_schema() and "
        "tablename = 'vendrik_history_run_totals'), (select count(*) from pg_trigger where "
        "tgrelid = to_regclass('testresults') and tgname = any($1::text[])), (select count(*) "
        "from pg_tables where schemaname = current_schema() and tablename in "
        "('vendrik_history_run_facts', 'vendrik_history_findings')), (select count(*) from "
        "information_schema.columns where table_schema = current_schema() and table_name = "
        "'vendrik_history_findings' and column_name = 'origin'), (select count(*) from "
        "pg_tables where schemaname = current_schema() and tablename = "
        "'vendrik_history_decisions')",
        {arrayLiteral(triggers)}, "read the schema");
    const bool anyDecision =
        found.number(0, 4) == 1 &&
        connection.run("select 1 from vendrik_history_decisions limit 1", "read the decisions")
                .size() == 1;
    return {found.number(0, 0) == 1 &&
                found.number(0, 1) == static_cast<std::int64_t>(triggers.size()),
            found.number(0, 2) == 2, found.number(0, 3) == 1, anyDecision};
}

bool hasResultsTable(PgConnection& connection) {
    return connection
               .run("select 1 from pg_tables where schemaname = current_schema() and tablename "
                    "= 'testresults'",
                    "read the schema")
               .size() == 1;
}

namespace {

/// True when the server has every table of the program's and the totals' triggers.
bool hasPgTables(PgConnection& connection) {
    std::vector<std::string> names;
    for (const Table* table : allTables()) {
        names.push_back(table->name);
    }
    const bool tables =
        connection
            .run("select count(*) from pg_tables where schemaname = current_schema() and "
                 "tablename = any($1::text[])",
                 {arrayLiteral(names)}, "read the schema")
            .number(0, 0) == static_cast<std::int64_t>(names.size());
    const StoreShape shape = pgShape(connection);
    return tables && shape.totalsKept && shape.origins;
}

} // namespace

void createPgTables(PgConnection& connection) {
    if (hasPgTables(connection)) {
        return; // a loader role needs no right to create
    }
    connection.run("begin", "create the tables");
    // One creator at a time: CREATE ... IF NOT EXISTS is not safe against itself.
    connection.run("select pg_advisory_xact_lock(5046226)", "create the tables");
    for (const Table* table : allTables()) {
        connection.run(createTableSql(*table, serverType, false), "create the tables");
    }
    for (const Index& index : historyIndexes()) {
        connection.run(createIndexSql(index), "create the tables");
    }
    PgSession session(connection);
    addOrigins(session, !pgShape(connection).origins, textColumn);
    if (!pgShape(connection).totalsKept) { // new, or kept by an earlier version: summed anew
        connection.run(keepTotalsFunction(), "create the tables");
        for (const auto& [name, event] : totalsTriggers) {
            connection.run("create or replace trigger " + std::string(name) + " after " + event +
                               " for each statement execute function "
                               "vendrik_history_keep_totals()",
                           "create the tables");
        }
        for (const std::string& sum : sumTotalsAnew("testresults")) {
            connection.run(sum, "create the tables");
        }
    }
    connection.run("commit", "create the tables");
}

} // namespace vendrik::history
