#include "history/store/sql_store.h"

#include "history/store/decisions.h"
#include "history/store/finding_history.h"
#include "history/store/queries.h"
#include "history/store/run_totals.h"

namespace vendrik::history {

SqlSession& SqlStore::session() {
    if (session_ == nullptr) {
        throw StoreError("the store was opened to write, not to read");
    }
    return *session_;
}

std::vector<RunTotals> SqlStore::runs(const std::optional<std::string>& platform,
                                      const std::optional<std::string>& project,
                                      const std::optional<std::string>& branch) {
    const auto given = [](const std::optional<std::string>& value) -> SqlValue {
        return value ? SqlValue(*value) : SqlValue(nullptr);
    };
    const std::string totals = shape_.totalsKept
                                   ? "select platform, project, githash, date, time, files, " +
                                         counterList(false) + " from vendrik_history_run_totals"
                                   : summedRuns("testresults");
    // With their branches, and the runs that only a SARIF log recorded.
    const std::string all =
        shape_.findingTables
            ? "select t.*, coalesce(f.branch, '') as branch from (" + totals +
                  ") t left join vendrik_history_run_facts f using (platform, project, githash, "
                  "date, time) union all select platform, project, githash, date, time, files, " +
                  counterList(false) +
                  ", branch from vendrik_history_run_facts f where findings is not null and not "
                  "exists (select 1 from " +
                  (shape_.totalsKept ? "vendrik_history_run_totals" : "testresults") +
                  " r where r.date = f.date and r.time = f.time and r.platform = f.platform and "
                  "r.project = f.project and r.githash = f.githash)"
            : "select t.*, '' as branch from (" + totals + ") t";
    std::vector<RunTotals> found;
    session().forEachRow(
        "select * from (" + all +
            ") a where (cast(?1 as text) is null or platform = ?1) and (cast(?2 as text) is null "
            "or project = ?2) and (cast(?3 as text) is null or branch = ?3) order by date desc, "
            "time desc, platform, project, githash",
        {given(platform), given(project), given(branch)}, [&](const SqlCursor& row) {
            const int branchAt = 6 + static_cast<int>(counterColumns.size());
            RunTotals& totals = found.emplace_back(
                RunTotals{runKeyOf(row, 0), row.number(5), {}, row.text(branchAt)});
            for (std::size_t column = 0; column < counterColumns.size(); ++column) {
                totals.counters[column] = row.number(6 + static_cast<int>(column));
            }
        });
    return found;
}

std::vector<RunKey> SqlStore::runKeys(const std::string& platform, const std::string& project,
                                      const std::string& branch) {
    std::vector<RunKey> keys;
    for (RunTotals& run : runs(platform, project, branch)) {
        keys.push_back(std::move(run.run));
    }
    return keys;
}

std::vector<RunKey> SqlStore::passedRuns(const std::string& platform, const std::string& project,
                                         const std::string& branch) {
    if (!shape_.findingTables) {
        return {};
    }
    return history::passedRuns(session(), platform, project, branch);
}

std::vector<FileRow> SqlStore::files(const RunKey& run, const std::string& branch) {
    std::vector<FileRow> rows;
    session().forEachRow("select filename, " + counterList(false) +
                             " from testresults where date = ?4 and time = ?5 and platform = ?1 "
                             "and project = ?2 and githash = ?3 order by filename",
                         {run.platform, run.project, run.githash, run.date, run.time},
                         [&](const SqlCursor& row) { rows.push_back(fileRowOf(row)); });
    if (!rows.empty() || !shape_.findingTables) {
        return rows;
    }
    // A run that only its SARIF log recorded: its findings counted per file.
    return loggedFiles(session(), run, branch);
}

std::optional<std::vector<TrackedFinding>> SqlStore::findings(const RunKey& run,
                                                              const std::string& branch) {
    if (!shape_.findingTables) {
        return std::nullopt;
    }
    // Origins serve decisions alone: without any, they are not read.
    const std::string origin = !shape_.decisions ? "''" : shape_.origins ? "origin" : earlierOrigin;
    return storedFindings(session(), run, branch, origin);
}

std::vector<std::vector<std::int64_t>>
SqlStore::fileTrends(const std::vector<RunTotals>& runs,
                     const std::vector<std::string>& filenames) {
    return history::fileTrends(session(), runs, filenames);
}

std::vector<Decision> SqlStore::decisions(const std::string& platform, const std::string& project,
                                          const std::string& branch) {
    if (!shape_.decisions) {
        return {};
    }
    return storedDecisions(session(), platform, project, branch);
}

} // namespace vendrik::history
