#include "history/store/sqlite_store.h"

#include "history/store/sql_store.h"
#include "history/store/sqlite_database.h"
#include "history/store/sqlite_load.h"
#include "history/store/sqlite_tables.h"
#include "output/same_file.h"

#include <cctype>
#include <filesystem>

namespace vendrik::history {

namespace {

bool hasResultsTable(const SqliteDatabase& db) {
    SqliteStatement table(
        db, "select 1 from sqlite_master where type = 'table' and name = 'testresults'",
        "read the schema");
    return table.step();
}

class SqliteStore : public SqlStore {
  public:
    SqliteStore(const std::string& path, StoreAccess access, int busyMilliseconds)
        : path_(path), busyMilliseconds_(busyMilliseconds) {
        if (access == StoreAccess::write) {
            return; // each load opens the file for itself, creating it when missing
        }
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
        const bool findingTables = hasFindingTables(db_);
        startReading(session_, {runTotalsKept(db_), findingTables, findingTables && hasOrigins(db_),
                                hasDecisions(db_)});
    }

    bool isStoredIn(const std::string& path) const override { return namesOneFile(path, path_); }

    LoadResult loadScript(const std::string& script, const std::string& branch) override {
        return history::loadScript(path_, script, branch, busyMilliseconds_);
    }

    LoadResult loadLog(const LoggedRun& logged, const std::optional<std::string>& branch) override {
        return history::loadLog(path_, logged, branch, busyMilliseconds_);
    }

    void recordGate(const RunKey& run, const std::string& branch, bool passed) override {
        history::recordGate(path_, run, branch, passed, busyMilliseconds_);
    }

    void recordDecisions(const std::vector<Decision>& decisions) override {
        history::recordDecisions(path_, decisions, busyMilliseconds_);
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

    std::string path_;
    int busyMilliseconds_;
    SqliteDatabase db_;
    SqliteSession session_{db_};
};

} // namespace

std::unique_ptr<HistoryStore> openSqliteStore(const std::string& path, StoreAccess access,
                                              int busyMilliseconds) {
    return std::make_unique<SqliteStore>(path, access, busyMilliseconds);
}

} // namespace vendrik::history
