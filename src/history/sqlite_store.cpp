#include "history/sqlite_store.h"

#include "output/sql_script.h"

#include <sqlite3.h>

#include <cctype>
#include <filesystem>
#include <string_view>

namespace vendrik::history {

Bands bandsOf(const Counters& counters) {
    Bands bands;
    for (std::size_t priority = 0; priority <= 9; ++priority) {
        const std::int64_t count = counters[1 + priority];
        (priority >= 8   ? bands.priority8to9
         : priority >= 5 ? bands.priority5to7
                         : bands.priority0to4) += count;
    }
    bands.his = counters[11];
    return bands;
}

namespace {

struct Database {
    sqlite3* handle = nullptr;
    std::string path;
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() { sqlite3_close(handle); }

    [[noreturn]] void fail(const std::string& doing) const {
        const int code = sqlite3_extended_errcode(handle) & 0xFF;
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
            throw StoreError("the database " + path + " stayed locked while " + doing);
        }
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
            throw StoreError(path + " is not a SQLite database (or is damaged)");
        }
        throw StoreError("could not " + doing + " in " + path + ": " + sqlite3_errmsg(handle));
    }
};

/// A prepared statement that is finalised with the object.
class Statement {
  public:
    Statement(const Database& db, std::string_view sql, const std::string& doing) : db_(db) {
        if (sqlite3_prepare_v2(db.handle, sql.data(), static_cast<int>(sql.size()), &statement_,
                               nullptr) != SQLITE_OK) {
            db.fail(doing);
        }
        doing_ = doing;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(statement_); }

    Statement& reset() {
        sqlite3_reset(statement_);
        return *this;
    }
    Statement& bind(int index, const std::string& text) {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    /// True for a row, false at the end.
    bool step() {
        const int result = sqlite3_step(statement_);
        if (result != SQLITE_ROW && result != SQLITE_DONE) {
            db_.fail(doing_);
        }
        return result == SQLITE_ROW;
    }
    std::string text(int column) const {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return bytes
                   ? std::string(bytes,
                                 static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                   : std::string();
    }
    std::int64_t number(int column) const { return sqlite3_column_int64(statement_, column); }
    sqlite3_stmt* handle() const { return statement_; }

  private:
    const Database& db_;
    sqlite3_stmt* statement_ = nullptr;
    std::string doing_;
};

void execute(const Database& db, const char* sql, const std::string& doing) {
    if (sqlite3_exec(db.handle, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        db.fail(doing);
    }
}

/// "sum(all_errors), sum(misra_0), ..." or "all_errors, misra_0, ...".
std::string counterList(bool summed) {
    std::string list;
    for (const std::string_view column : counterColumns) {
        list += list.empty() ? "" : ", ";
        list += summed ? "sum(" + std::string(column) + ")" : std::string(column);
    }
    return list;
}

/// "platform, project, githash, date, time, count(*), sum(all_errors), ... sum(his)"
std::string runTotalsColumns() {
    return "platform, project, githash, date, time, count(*), " + counterList(true);
}

/// The program's own table of run totals, which load keeps, and the number of rows of
/// testresults they sum up: when the table holds another number of rows, another tool has
/// changed it and the totals are not used.
constexpr const char* createRunTotals =
    "create table if not exists vendrik_history_run_totals (platform, project, githash, date, "
    "time, files, all_errors, misra_0, misra_1, misra_2, misra_3, misra_4, misra_5, misra_6, "
    "misra_7, misra_8, misra_9, his, primary key (platform, project, date, time, githash)); "
    "create table if not exists vendrik_history_state (summed_rows);";

std::int64_t singleNumber(const Database& db, const std::string& sql, const std::string& doing) {
    Statement query(db, sql, doing);
    return query.step() ? query.number(0) : -1;
}

/// True when the run totals sum up the table as it is.
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

RunKey runAt(const Statement& row, int first) {
    return {row.text(first), row.text(first + 1), row.text(first + 2), row.text(first + 3),
            row.text(first + 4)};
}

void openDatabase(Database& db, const std::string& path, int flags, int busyMilliseconds,
                  const std::string& name = {}) {
    db.path = path;
    if (sqlite3_open_v2((name.empty() ? path : name).c_str(), &db.handle, flags, nullptr) !=
        SQLITE_OK) {
        throw StoreError("could not open the database " + path + ": " +
                         (db.handle ? sqlite3_errmsg(db.handle) : "out of memory"));
    }
    sqlite3_busy_timeout(db.handle, busyMilliseconds);
}

bool hasResultsTable(const Database& db) {
    Statement table(db, "select 1 from sqlite_master where type = 'table' and name = 'testresults'",
                    "read the schema");
    return table.step();
}

class SqliteStore : public HistoryStore {
  public:
    SqliteStore(const std::string& path, int busyMilliseconds) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            throw StoreError("the database " + path + " does not exist");
        }
        openDatabase(db_, path, SQLITE_OPEN_READONLY, busyMilliseconds);
        bool hasTable = false;
        try {
            hasTable = hasResultsTable(db_);
        } catch (const StoreError&) {
            if ((sqlite3_extended_errcode(db_.handle) & 0xFF) != SQLITE_READONLY) {
                throw;
            }
            hasTable = hasResultsTableUnchangeable(path, busyMilliseconds);
        }
        if (!hasTable) {
            throw StoreError("the database " + path + " has no table testresults");
        }
    }

    std::vector<RunTotals> runs(const std::optional<std::string>& platform,
                                const std::optional<std::string>& project) override {
        // The totals that load keeps, while they are current; else the table summed up.
        const std::string totals =
            runTotalsCurrent(db_)
                ? "select platform, project, githash, date, time, files, " + counterList(false) +
                      " from vendrik_history_run_totals"
                : "select " + runTotalsColumns() +
                      " from testresults group by platform, project, githash, date, time";
        Statement query(db_,
                        "select * from (" + totals +
                            ") where (?1 is null or platform = ?1) and (?2 is null or project = "
                            "?2) order by date desc, time desc, platform, project, githash",
                        "list the runs");
        if (platform) {
            query.bind(1, *platform);
        }
        if (project) {
            query.bind(2, *project);
        }
        std::vector<RunTotals> found;
        while (query.step()) {
            RunTotals totals{runAt(query, 0), query.number(5), {}};
            for (std::size_t column = 0; column < counterColumns.size(); ++column) {
                totals.counters[column] = query.number(6 + static_cast<int>(column));
            }
            found.push_back(std::move(totals));
        }
        return found;
    }

    std::vector<RunKey> runKeys(const std::string& platform, const std::string& project) override {
        std::vector<RunKey> keys;
        Statement indexed(db_,
                          "select 1 from sqlite_master where type = 'index' and name = "
                          "'vendrik_history_runs'",
                          "read the schema");
        if (!indexed.step()) {
            Statement query(db_,
                            "select distinct platform, project, githash, date, time from "
                            "testresults where platform = ?1 and project = ?2 order by date "
                            "desc, time desc, githash",
                            "list the runs");
            query.bind(1, platform).bind(2, project);
            while (query.step()) {
                keys.push_back(runAt(query, 0));
            }
            return keys;
        }
        // With the index, each earlier date, time and hash is one seek (max() over an index
        // prefix is one in SQLite), instead of a pass over the runs' rows.
        Statement earlierTime(db_,
                              "select max(time) from testresults where platform = ?1 and "
                              "project = ?2 and date = ?3 and time < ?4",
                              "list the runs");
        Statement earlierDate(db_,
                              "select max(date) from testresults where platform = ?1 and "
                              "project = ?2 and date < ?3",
                              "list the runs");
        Statement nextHash(db_,
                           "select githash from testresults where platform = ?1 and project = "
                           "?2 and date = ?3 and time = ?4 and githash > ?5 order by githash "
                           "limit 1",
                           "list the runs");
        std::string date = "~";
        std::string time = "~";
        const auto earlier = [&](Statement& query, std::string& value) {
            query.step();
            const bool found = sqlite3_column_type(query.handle(), 0) != SQLITE_NULL;
            value = found ? query.text(0) : value;
            return found;
        };
        for (;;) {
            earlierTime.reset().bind(1, platform).bind(2, project).bind(3, date).bind(4, time);
            if (!earlier(earlierTime, time)) {
                earlierDate.reset().bind(1, platform).bind(2, project).bind(3, date);
                if (!earlier(earlierDate, date)) {
                    return keys;
                }
                time = "~";
                continue;
            }
            for (std::string hash;;) {
                nextHash.reset().bind(1, platform).bind(2, project).bind(3, date).bind(4, time);
                if (!nextHash.bind(5, hash).step()) {
                    break;
                }
                hash = nextHash.text(0);
                keys.push_back({platform, project, hash, date, time});
            }
        }
    }

    std::vector<FileRow> files(const RunKey& run) override {
        Statement query(db_,
                        "select filename, " + counterList(false) +
                            " from testresults where date = ?4 and time = ?5 and platform = ?1 "
                            "and project = ?2 and githash = ?3 order by filename",
                        "read the files of a run");
        query.bind(1, run.platform).bind(2, run.project).bind(3, run.githash);
        query.bind(4, run.date).bind(5, run.time);
        std::vector<FileRow> rows;
        while (query.step()) {
            FileRow row{query.text(0), {}};
            for (std::size_t column = 0; column < counterColumns.size(); ++column) {
                row.counters[column] = query.number(1 + static_cast<int>(column));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    std::vector<std::vector<std::int64_t>>
    fileTrends(const std::vector<RunTotals>& runs,
               const std::vector<std::string>& filenames) override {
        // One lookup in the table's UNIQUE (date, time, filename) index per run and file.
        Statement query(db_,
                        "select all_errors from testresults where date = ?1 and time = ?2 and "
                        "filename = ?3 and platform = ?4 and project = ?5 and githash = ?6",
                        "read the trend of a file");
        std::vector<std::vector<std::int64_t>> trends;
        for (const std::string& filename : filenames) {
            std::vector<std::int64_t> trend;
            for (const RunTotals& totals : runs) {
                const RunKey& run = totals.run;
                query.reset().bind(1, run.date).bind(2, run.time).bind(3, filename);
                query.bind(4, run.platform).bind(5, run.project).bind(6, run.githash);
                trend.push_back(query.step() ? query.number(0) : 0);
            }
            trends.push_back(std::move(trend));
        }
        return trends;
    }

  private:
    /// A database in a folder this process may not write, with no journal or write-ahead
    /// log beside it, is whole in its file: it is read as a file that nothing changes (SQLite
    /// needs to make its shared-memory file for a database in WAL mode). Where a journal or
    /// log is left by a writer that stopped mid-way, reading needs a recovery that a
    /// read-only open cannot make, and the error says so.
    bool hasResultsTableUnchangeable(const std::string& path, int busyMilliseconds) {
        std::error_code error;
        for (const char* companion : {"-journal", "-wal"}) {
            if (std::filesystem::exists(path + companion, error)) {
                throw StoreError(
                    "the database " + path + " was left mid-write (" + path + companion +
                    "), and reading it needs a recovery that a read-only open cannot make: "
                    "open it once with write access to it and its folder (any vendrik-history "
                    "load, or sqlite3 with 'pragma quick_check'), or copy the database with " +
                    path + companion + " into a writable folder and read the copy");
            }
        }
        std::string uri = "file:";
        for (const char c : std::filesystem::absolute(path, error).string()) {
            const auto byte = static_cast<unsigned char>(c);
            if (std::isalnum(byte) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
                uri += c;
            } else {
                uri += '%';
                uri += "0123456789ABCDEF"[byte >> 4];
                uri += "0123456789ABCDEF"[byte & 0xF];
            }
        }
        sqlite3_close(db_.handle);
        db_.handle = nullptr;
        openDatabase(db_, path, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, busyMilliseconds,
                     uri + "?immutable=1");
        return hasResultsTable(db_);
    }

    Database db_;
};

/// Lets a script create the results table and insert rows into the staging table, and
/// nothing else. The arguments are the action's two names (a table, an index or a
/// function), the database ("main", "temp") and the trigger or view.
int authorizeScript(void*, int action, const char* first, const char* second, const char* database,
                    const char*) {
    // Names as SQLite takes them: without regard to case.
    const auto is = [](const char* name, const char* wanted) {
        return name != nullptr && sqlite3_stricmp(name, wanted) == 0;
    };
    const bool schema = is(first, "sqlite_master") || is(first, "sqlite_temp_master");
    switch (action) {
    case SQLITE_CREATE_TABLE:
        return is(first, "testresults") && is(database, "main") ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_CREATE_INDEX: // the table's UNIQUE constraint
        return first && sqlite3_strnicmp(first, "sqlite_autoindex_testresults_", 29) == 0 &&
                       is(second, "testresults") && is(database, "main")
                   ? SQLITE_OK
                   : SQLITE_DENY;
    case SQLITE_INSERT:
        return (is(first, "testresults") && is(database, "temp")) ||
                       (is(first, "sqlite_master") && is(database, "main"))
                   ? SQLITE_OK
                   : SQLITE_DENY;
    case SQLITE_UPDATE:
        return schema ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_READ: // the create's UNIQUE index reads the new table; a select is refused
        return schema || is(first, "testresults") ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_FUNCTION: // NUL bytes in values: char(0)
        return is(second, "char") ? SQLITE_OK : SQLITE_DENY;
    default:
        return SQLITE_DENY;
    }
}

/// `statement` in lower case, with its runs of white space made one blank and the blanks
/// next to punctuation left out: "CREATE  TABLE x (a,b)" and "create table x(a, b)" are one.
std::string normalised(std::string_view statement) {
    std::string text;
    const auto punctuation = [](char c) { return c == '(' || c == ')' || c == ',' || c == ';'; };
    bool blank = false;
    for (const char c : statement) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            blank = true;
            continue;
        }
        if (blank && !text.empty() && !punctuation(c) && !punctuation(text.back())) {
            text += ' ';
        }
        blank = false;
        text += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

/// `statement` without the white space around it and its closing semicolon.
std::string_view trimmed(std::string_view statement) {
    const std::size_t start = statement.find_first_not_of(" \t\r\n");
    statement.remove_prefix(std::min(start, statement.size()));
    return statement.substr(0, statement.find_last_not_of(" \t\r\n;") + 1);
}

std::string shortened(std::string_view statement) {
    statement = trimmed(statement);
    return std::string(statement.substr(0, 80)) + (statement.size() > 80 ? "..." : "");
}

} // namespace

std::unique_ptr<HistoryStore> openSqliteStore(const std::string& path, int busyMilliseconds) {
    return std::make_unique<SqliteStore>(path, busyMilliseconds);
}

LoadResult loadScript(const std::string& path, const std::string& script, int busyMilliseconds) {
    Database db;
    openDatabase(db, path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyMilliseconds);
    execute(db, "begin immediate", "start a transaction");
    // The script's rows land in a table of this connection's own, which its inserts name
    // before the database's: they are checked against the table before any is added.
    execute(db,
            "create temp table testresults (platform, project, tool, githash, date, time, "
            "filename, all_errors, misra_0, misra_1, misra_2, misra_3, misra_4, misra_5, "
            "misra_6, misra_7, misra_8, misra_9, his)",
            "prepare the load");
    // A failure closes the connection, which rolls the transaction back.
    sqlite3_set_authorizer(db.handle, authorizeScript, nullptr);
    const std::string create = normalised(sqlSchemaStatement);
    const std::string insert = normalised(sqlInsertHead);
    const char* next = script.c_str();
    while (*next != '\0') {
        sqlite3_stmt* statement = nullptr;
        const char* rest = nullptr;
        const int prepared = sqlite3_prepare_v2(db.handle, next, -1, &statement, &rest);
        const std::string_view text =
            prepared == SQLITE_OK && rest != nullptr
                ? std::string_view(next, static_cast<std::size_t>(rest - next))
                : std::string_view(next);
        next = prepared == SQLITE_OK && rest != nullptr ? rest : next + text.size();
        if (prepared == SQLITE_OK && statement == nullptr) {
            continue; // white space or a comment after the last statement
        }
        const std::string shape = normalised(text);
        if (!sqlite3_complete(std::string(text).c_str())) {
            sqlite3_finalize(statement);
            throw StoreError("the script ends inside a statement (was it cut short?): " +
                             shortened(text));
        }
        if (prepared != SQLITE_OK || (shape != create && !shape.starts_with(insert))) {
            sqlite3_finalize(statement);
            throw StoreError("refused a statement that is not the table's create or an insert "
                             "into testresults: " +
                             shortened(text));
        }
        const int stepped = sqlite3_step(statement);
        sqlite3_finalize(statement);
        if (stepped != SQLITE_DONE) {
            db.fail("run the script");
        }
    }
    sqlite3_set_authorizer(db.handle, nullptr, nullptr);

    // The table keeps one row per date, time and file: a row of the script that meets
    // another run's row cannot be added, and the load is refused.
    {
        Statement collision(db,
                            "select n.platform, n.project, n.githash, n.date, n.time, o.platform, "
                            "o.project, o.githash, o.date, o.time, n.filename from "
                            "temp.testresults n join main.testresults o on o.date = n.date and "
                            "o.time = n.time and o.filename = n.filename where o.platform is not "
                            "n.platform or o.project is not n.project or o.githash is not "
                            "n.githash limit 1",
                            "compare the script with the table");
        if (collision.step()) {
            const RunKey loaded = runAt(collision, 0);
            const RunKey stored = runAt(collision, 5);
            throw StoreError("refused: the run " + loaded.githash + " of " + loaded.platform +
                             " / " + loaded.project + " has a row for " + collision.text(10) +
                             " at " + loaded.date + " " + loaded.time + ", where the run " +
                             stored.githash + " of " + stored.platform + " / " + stored.project +
                             " has one; the table keeps one row per date, time and file "
                             "(convert the run again, in another second)");
        }
    }
    LoadResult result;
    {
        Statement present(db,
                          "select distinct n.platform, n.project, n.githash, n.date, n.time from "
                          "temp.testresults n join main.testresults o on o.date = n.date and "
                          "o.time = n.time and o.filename = n.filename",
                          "compare the script with the table");
        while (present.step()) {
            result.runsPresent.push_back(runAt(present, 0));
        }
    }
    if (!result.runsPresent.empty()) {
        return result; // closing rolls back
    }
    const bool totalsCurrent = runTotalsCurrent(db);
    execute(db, "insert into main.testresults select * from temp.testresults", "add the rows");
    result.rowsAdded = sqlite3_changes64(db.handle);
    execute(db, createRunTotals, "keep the run totals");
    if (totalsCurrent) {
        std::string merge;
        for (const std::string_view column : counterColumns) {
            merge += ", " + std::string(column) + " = " + std::string(column) + " + excluded." +
                     std::string(column);
        }
        execute(db,
                ("insert into vendrik_history_run_totals select " + runTotalsColumns() +
                 " from temp.testresults where true group by platform, project, githash, date, "
                 "time on conflict (platform, project, date, time, githash) do update set files "
                 "= files + excluded.files" +
                 merge)
                    .c_str(),
                "keep the run totals");
    } else { // new, or another tool changed the table: summed up anew
        execute(db,
                ("delete from vendrik_history_run_totals; insert into vendrik_history_run_totals "
                 "select " +
                 runTotalsColumns() +
                 " from main.testresults group by platform, project, githash, date, time")
                    .c_str(),
                "keep the run totals");
    }
    execute(db,
            "delete from vendrik_history_state; insert into vendrik_history_state select "
            "count(*) from main.testresults",
            "keep the run totals");
    execute(db, "drop table temp.testresults", "finish the load");
    // The program's own index: the runs of a platform and project, newest first, without
    // reading the table's rows. The first load into a large table builds it once.
    execute(db,
            "create index if not exists vendrik_history_runs on testresults (platform, "
            "project, date, time, githash)",
            "index the runs");
    execute(db, "commit", "commit the load");
    return result;
}

} // namespace vendrik::history
