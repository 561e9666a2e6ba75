#pragma once

#include "history/store/session.h"
#include "history/store/store.h"

namespace vendrik::history {

/// What a database holds beside testresults, as its backend finds it when opened to read.
struct StoreShape {
    bool totalsKept = false;    ///< the run totals, kept by the database (see run_totals.h)
    bool findingTables = false; ///< the runs' facts and the findings' spans
    bool origins = false;       ///< the findings' origins (an earlier version's table has none)
    bool decisions = false;     ///< any decision on a finding
};

/// The reading half of HistoryStore, one set of queries over a session for both backends. A
/// backend adds opening, loading and recording, and starts reading once its session can.
class SqlStore : public HistoryStore {
  public:
    std::vector<RunTotals> runs(const std::optional<std::string>& platform,
                                const std::optional<std::string>& project,
                                const std::optional<std::string>& branch) final;
    std::vector<RunKey> runKeys(const std::string& platform, const std::string& project,
                                const std::string& branch) final;
    std::vector<RunKey> passedRuns(const std::string& platform, const std::string& project,
                                   const std::string& branch) final;
    std::vector<FileRow> files(const RunKey& run, const std::string& branch) final;
    std::optional<std::vector<TrackedFinding>> findings(const RunKey& run,
                                                        const std::string& branch) final;
    std::vector<std::vector<std::int64_t>>
    fileTrends(const std::vector<RunTotals>& runs, const std::vector<std::string>& filenames) final;
    std::vector<Decision> decisions(const std::string& platform, const std::string& project,
                                    const std::string& branch) final;

  protected:
    /// Reads through `session`, which outlives the store's reading, from now on.
    void startReading(SqlSession& session, StoreShape shape) {
        session_ = &session;
        shape_ = shape;
    }

  private:
    SqlSession& session();

    SqlSession* session_ = nullptr;
    StoreShape shape_;
};

} // namespace vendrik::history
