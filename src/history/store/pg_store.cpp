#include "history/store/pg_store.h"

#include "history/store/pg_connection.h"
#include "history/store/pg_load.h"
#include "history/store/pg_session.h"
#include "history/store/sql_store.h"

namespace vendrik::history {

namespace {

class PgStore : public SqlStore {
  public:
    PgStore(const std::string& target, StoreAccess access) : target_(target) {
        if (access == StoreAccess::write) {
            return; // each load connects for itself
        }
        connection_.emplace(target);
        // Sorting a run's findings in memory, and no compiling of queries that run once.
        connection_->run("select set_config('work_mem', '64MB', false), set_config('jit', 'off', "
                         "false)",
                         "set up the session");
        connection_->run("begin transaction isolation level repeatable read, read only",
                         "start a transaction");
        if (!hasResultsTable(*connection_)) {
            throw StoreError("the database " + connection_->shown() +
                             " has no table testresults (load a script into it first)");
        }
        session_.emplace(*connection_);
        startReading(*session_, pgShape(*connection_));
    }

    bool isStoredIn(const std::string&) const override { return false; }

    LoadResult loadScript(const std::string& script, const std::string& branch) override {
        return loadScriptToServer(target_, script, branch);
    }

    LoadResult loadLog(const LoggedRun& logged, const std::optional<std::string>& branch) override {
        return loadLogToServer(target_, logged, branch);
    }

    void recordGate(const RunKey& run, const std::string& branch, bool passed) override {
        recordGateOnServer(target_, run, branch, passed);
    }

    void recordDecisions(const std::vector<Decision>& decisions) override {
        recordDecisionsOnServer(target_, decisions);
    }

  private:
    std::string target_;
    std::optional<PgConnection> connection_;
    std::optional<PgSession> session_;
};

} // namespace

std::unique_ptr<HistoryStore> openPgStore(const std::string& target, StoreAccess access) {
    return std::make_unique<PgStore>(target, access);
}

} // namespace vendrik::history
