#include "history/store/queries.h"

#include "history/finding_match.h"
#include "history/store/file_trends.h"
#include "history/store/finding_history.h"

namespace vendrik::history {

std::vector<RunKey> passedRuns(SqlSession& session, const std::string& platform,
                               const std::string& project, const std::string& branch) {
    std::vector<RunKey> keys;
    session.forEachRow("select platform, project, githash, date, time from "
                       "vendrik_history_run_facts where platform = ?1 and project = ?2 and "
                       "branch = ?3 and gate = 'passed' order by date desc, time desc, githash",
                       {platform, project, branch},
                       [&](const SqlCursor& row) { keys.push_back(runKeyOf(row)); });
    return keys;
}

std::optional<std::vector<TrackedFinding>> storedFindings(SqlSession& session, const RunKey& run,
                                                          const std::string& branch,
                                                          const std::string& origin) {
    if (session
            .query("select 1 from vendrik_history_run_facts where platform = ?1 and project = "
                   "?2 and githash = ?3 and date = ?4 and time = ?5 and branch = ?6 and "
                   "findings is not null",
                   {run.platform, run.project, run.githash, run.date, run.time, branch})
            .empty()) {
        return std::nullopt;
    }
    std::vector<TrackedFinding> found =
        findingsAt(session, run.platform, run.project, branch, orderKey(run), origin);
    sortFindings(found);
    return found;
}

std::vector<FileRow> loggedFiles(SqlSession& session, const RunKey& run,
                                 const std::string& branch) {
    std::vector<FileRow> files;
    session.forEachRow(
        "select ?1 || '\\' || replace(file, '/', '\\') as filename, " + findingCountersSql() +
            " from vendrik_history_findings where platform = ?1 and project = ?2 and branch = "
            "?3 and last >= ?4 and first <= ?4 group by file order by filename",
        {run.platform, run.project, branch, orderKey(run)},
        [&](const SqlCursor& row) { files.push_back(fileRowOf(row)); });
    return files;
}

std::vector<std::vector<std::int64_t>> fileTrends(SqlSession& session,
                                                  const std::vector<RunTotals>& runs,
                                                  const std::vector<std::string>& filenames) {
    FileTrends trends(runs, filenames);
    if (trends.empty()) {
        return trends.take();
    }
    // One query: the files' rows over the runs' days, by the table's UNIQUE (date, time,
    // filename) index.
    std::vector<SqlValue> values = {trends.firstDay(), trends.lastDay()};
    const std::string files = session.inList("filename", filenames, values);
    session.forEachRow("select filename, platform, project, githash, date, time, all_errors "
                       "from testresults where date >= ?1 and date <= ?2 and " +
                           files,
                       values, [&](const SqlCursor& row) {
                           trends.add(
                               row.text(0),
                               {row.text(1), row.text(2), row.text(3), row.text(4), row.text(5)},
                               row.number(6));
                       });
    return trends.take();
}

} // namespace vendrik::history
