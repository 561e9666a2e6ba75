#include "history/store/pg_session.h"

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

constexpr const char* textColumn = "text collate \"C\"";

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
                        ", reference " + text + ", before boolean, after " + text + ")",
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

bool hasPgTables(PgConnection& connection) {
    return connection
               .run("select count(*) from pg_tables where schemaname = current_schema() and "
                    "tablename in ('testresults', 'vendrik_history_run_totals', "
                    "'vendrik_history_run_facts', 'vendrik_history_findings')",
                    "read the schema")
               .number(0, 0) == 4;
}

void createPgTables(PgConnection& connection) {
    const std::string text = textColumn;
    std::string counters;
    for (const std::string_view column : counterColumns) {
        counters += ", " + std::string(column) + " bigint";
    }
    const std::string run = "platform " + text + ", project " + text + ", githash " + text +
                            ", date " + text + ", time " + text;
    if (hasPgTables(connection)) {
        return; // a loader role needs no right to create
    }
    connection.run("begin", "create the tables");
    // One creator at a time: CREATE ... IF NOT EXISTS is not safe against itself.
    connection.run("select pg_advisory_xact_lock(5046226)", "create the tables");
    const std::string statements[] = {
        "create table if not exists testresults (platform " + text + ", project " + text +
            ", tool " + text + ", githash " + text + ", date " + text + ", time " + text +
            ", filename " + text + counters + ", unique (date, time, filename))",
        "create index if not exists vendrik_history_runs on testresults (platform, project, "
        "date, time, githash)",
        "create table if not exists vendrik_history_run_totals (" + run + ", files bigint" +
            counters + ", primary key (platform, project, date, time, githash))",
        "create table if not exists vendrik_history_run_facts (" + run + ", branch " + text +
            " not null, findings bigint, files bigint" + counters + ", gate " + text +
            ", primary key (platform, project, date, time, githash))",
        "create table if not exists vendrik_history_findings (platform " + text + ", project " +
            text + ", branch " + text + ", first " + text + ", last " + text + ", fingerprint " +
            text + ", file " + text +
            ", line bigint, number bigint, priority bigint, his bigint, text " + text +
            ", reference " + text + ", primary key (platform, project, branch, last, fingerprint))",
        "create index if not exists vendrik_history_findings_by_print on "
        "vendrik_history_findings (platform, project, branch, fingerprint)"};
    for (const std::string& statement : statements) {
        connection.run(statement, "create the tables");
    }
    connection.run("commit", "create the tables");
}

} // namespace vendrik::history
