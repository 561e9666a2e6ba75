#include "history/store/finding_history.h"

#include "history/finding_match.h"
#include "output/json_text.h"

#include <charconv>
#include <limits>
#include <map>

namespace vendrik::history {

namespace {

/// A span `f` and a staged finding `s` that are the same finding.
constexpr const char* sameFinding =
    "f.fingerprint = s.fingerprint and f.file = s.file and f.line = s.line and f.number = "
    "s.number and f.priority = s.priority and f.his = s.his and f.text = s.text and "
    "f.reference = s.reference";

/// The spans of the series ?1 (platform), ?2 (project), ?3 (branch).
constexpr const char* inSeries = "f.platform = ?1 and f.project = ?2 and f.branch = ?3";

/// Runs `sql` with the series of `run` on `branch` as ?1 to ?3 and its order key as ?4, and
/// the neighbours' keys as ?5 and ?6 (empty when a neighbour is missing).
std::vector<SqlRow> inRun(SqlSession& session, const std::string& sql, const RunKey& run,
                          const std::string& branch, const std::string& before = {},
                          const std::string& after = {}) {
    return session.query(sql, {run.platform, run.project, branch, orderKey(run), before, after});
}

/// The order key of the logged run next to `run` in its series: before it, or after it.
std::string neighbour(SqlSession& session, const RunKey& key, const std::string& branch,
                      bool before) {
    const auto rows = inRun(session,
                            std::string("select ") + (before ? "max" : "min") + "(" +
                                orderKeySql("f") + ") from vendrik_history_run_facts f where " +
                                inSeries + " and f.findings is not null and " + orderKeySql("f") +
                                (before ? " < ?4" : " > ?4"),
                            key, branch);
    return rows.empty() || !rows[0][0] ? std::string() : *rows[0][0];
}

/// A run as load and gate --record recorded it: its branch, and whether that is settled. A
/// run known only from its script, with no branch and no gate outcome, is not: a script
/// carries no branch, and the run's log (or load --branch) settles it later.
struct RecordedRun {
    std::string branch;
    bool settled = false;
};

std::optional<RecordedRun> recordedRun(SqlSession& session, const RunKey& key) {
    const auto rows = session.query(
        "select branch, case when findings is not null or gate is not null then 1 else 0 end from "
        "vendrik_history_run_facts where platform = ?1 and project = ?2 and githash = ?3 and "
        "date = ?4 and time = ?5",
        {key.platform, key.project, key.githash, key.date, key.time});
    if (rows.empty()) {
        return std::nullopt;
    }
    const std::string& branch = *rows[0][0];
    return RecordedRun{branch, !branch.empty() || rows[0][1] != "0"};
}

[[noreturn]] void refuseBranch(const RunKey& key, const std::string& stored,
                               const std::string& given) {
    const auto named = [](const std::string& branch) {
        return branch.empty() ? std::string("no branch") : "the branch " + branch;
    };
    throw StoreError("refused: the run " + key.githash + " (" + key.date + " " + key.time +
                     ") of " + key.platform + " / " + key.project + " is recorded with " +
                     named(stored) + ", and this load gives it " + named(given));
}

/// The counters of each file of a run, by the file's path inside the source root, as its
/// log names it.
struct RunCounts {
    RunKey run;
    std::map<std::string, Counters> files;
};
using CountsByRun = std::map<std::string, RunCounts>; ///< by platform, project and order key

RunCounts& countsOf(CountsByRun& counts, const RunKey& run) {
    RunCounts& found = counts[run.platform + '\x1f' + run.project + '\x1f' + orderKey(run)];
    found.run = run;
    return found;
}

/// Counts `times` findings of `priority` and `his` into `counters` as the converter counts
/// them (see counterColumnOf).
void countFindings(Counters& counters, std::int64_t priority, bool his, std::int64_t times) {
    counters[0] += times;
    const std::size_t column = counterColumnOf(static_cast<std::uint64_t>(priority), his);
    if (column != 0) {
        counters[column] += times;
    }
}

std::int64_t numberOf(const std::optional<std::string>& text) {
    std::int64_t value = 0;
    if (text &&
        std::from_chars(text->data(), text->data() + text->size(), value).ec != std::errc()) {
        return std::numeric_limits<std::int64_t>::min(); // not a count: it agrees with none
    }
    return value;
}

CountsByRun logCountsOf(const LoggedRun& logged) {
    CountsByRun counts;
    RunCounts& run = countsOf(counts, logged.run);
    for (const TrackedFinding& finding : logged.findings) {
        countFindings(run.files[finding.file], finding.priority, finding.his, 1);
    }
    return counts;
}

/// Script rows (the run's five columns, filename, the counters) by run and path.
CountsByRun rowCountsOf(const std::vector<SqlRow>& rows) {
    CountsByRun counts;
    for (const SqlRow& row : rows) {
        RunCounts& run = countsOf(counts, runKeyOf(row));
        // The script names a file by platform, "\" and its path from the source root on.
        std::string_view file = row[5] ? std::string_view(*row[5]) : std::string_view();
        const std::string& platform = run.run.platform;
        if (file.size() > platform.size() && file.starts_with(platform) &&
            file[platform.size()] == '\\') {
            file.remove_prefix(platform.size() + 1);
        }
        Counters& counters = run.files[utf8Text(insideRoot(file))];
        for (std::size_t column = 0; column < counterColumns.size(); ++column) {
            counters[column] += numberOf(row[6 + column]);
        }
    }
    return counts;
}

const std::string runColumns = "platform, project, githash, date, time";

/// The rows of `run` that its script stored.
CountsByRun scriptCountsOf(SqlSession& session, const RunKey& key) {
    return rowCountsOf(session.query(
        "select " + runColumns + ", filename, " + counterList(false) +
            " from testresults where platform = ?1 and project = ?2 and githash = ?3 and date "
            "= ?4 and time = ?5",
        {key.platform, key.project, key.githash, key.date, key.time}));
}

/// The staged rows of the runs whose logs were loaded.
CountsByRun stagedCountsOf(SqlSession& session, const std::string& staged) {
    return rowCountsOf(session.query(
        "select " + runColumns + ", filename, " + counterList(false) + " from " + staged +
        " s where exists (select 1 from vendrik_history_run_facts f where f.findings is not "
        "null and f.platform = s.platform and f.project = s.project and f.githash = s.githash "
        "and f.date = s.date and f.time = s.time)"));
}

/// The stored findings, counted per file, of the runs whose logs were loaded and that the
/// condition `ofRuns` on the facts `f` selects.
CountsByRun loggedCountsOf(SqlSession& session, const std::string& ofRuns) {
    const auto rows = session.query(
        "select f.platform, f.project, f.githash, f.date, f.time, h.file, h.priority, h.his, "
        "count(h.file) from vendrik_history_run_facts f left join vendrik_history_findings h on "
        "h.platform = f.platform and h.project = f.project and h.branch = f.branch and h.first "
        "<= " +
        orderKeySql("f") + " and h.last >= " + orderKeySql("f") +
        " where f.findings is not null and " + ofRuns +
        " group by f.platform, f.project, f.githash, f.date, f.time, h.file, h.priority, h.his");
    CountsByRun counts;
    for (const SqlRow& row : rows) {
        RunCounts& run = countsOf(counts, runKeyOf(row));
        if (row[5]) {
            countFindings(run.files[*row[5]], numberOf(row[6]), numberOf(row[7]) != 0,
                          numberOf(row[8]));
        }
    }
    return counts;
}

/// Refuses the file loaded, `loaded` ("the log" or "the script"), when a run's counts in it
/// differ from those of the run's other file stored before: the first file, in path order,
/// and its first counter that differ are named.
void refuseDisagreement(const CountsByRun& stored, const CountsByRun& loading,
                        const std::string& loaded) {
    const bool log = loaded == "the log";
    for (const auto& [id, run] : loading) {
        const auto other = stored.find(id);
        if (other == stored.end()) {
            continue;
        }
        std::map<std::string, std::pair<Counters, Counters>> files;
        for (const auto& [file, counters] : run.files) {
            files[file].first = counters;
        }
        for (const auto& [file, counters] : other->second.files) {
            files[file].second = counters;
        }
        for (const auto& [file, both] : files) {
            for (std::size_t column = 0; column < counterColumns.size(); ++column) {
                if (both.first[column] == both.second[column]) {
                    continue;
                }
                const RunKey& key = run.run;
                throw StoreError(
                    "refused: " + loaded + " of the run " + key.githash + " (" + key.date + " " +
                    key.time + ") of " + key.platform + " / " + key.project +
                    " disagrees with its " + (log ? "script" : "log") + " loaded before: " + file +
                    " has " + std::string(counterColumns[column]) + " " +
                    std::to_string(both.first[column]) + " in " + loaded + " and " +
                    std::to_string(both.second[column]) + " in the " + (log ? "script" : "log"));
            }
        }
    }
}

/// The run's facts from the staged findings: their number, files and counters.
void recordLoggedFacts(SqlSession& session, const RunKey& key, const std::string& branch) {
    const std::string counters = "count(*), count(distinct file), " + findingCountersSql();
    std::string update = "findings = excluded.findings, files = excluded.files";
    for (const std::string_view column : counterColumns) {
        update += ", " + std::string(column) + " = excluded." + std::string(column);
    }
    session.execute("insert into vendrik_history_run_facts (platform, project, githash, date, "
                    "time, branch, findings, files, " +
                        counterList(false) +
                        ") select cast(?1 as text), cast(?2 as text), cast(?3 as text), "
                        "cast(?4 as text), cast(?5 as text), cast(?6 as text), " +
                        counters +
                        " from staged where true on conflict (platform, project, date, time, "
                        "githash) do update set " +
                        update,
                    {key.platform, key.project, key.githash, key.date, key.time, branch});
}

/// Makes the temporary table `table` (name, origin), typed as origins are, and fills it with
/// `rows`, a few hundred to a statement.
void tableOfOrigins(SqlSession& session, const std::string& table,
                    const std::vector<std::pair<std::string, std::string>>& rows) {
    session.execute("create temp table " + table +
                    " as select origin as name, origin from vendrik_history_findings where 1 = 0");
    constexpr std::size_t perStatement = 400;
    for (std::size_t first = 0; first < rows.size(); first += perStatement) {
        std::string values;
        std::vector<SqlValue> parameters;
        for (std::size_t at = first; at < std::min(rows.size(), first + perStatement); ++at) {
            values += std::string(values.empty() ? "" : ", ") + "(?" +
                      std::to_string(parameters.size() + 1) + ", ?" +
                      std::to_string(parameters.size() + 2) + ")";
            parameters.emplace_back(rows[at].first);
            parameters.emplace_back(rows[at].second);
        }
        session.execute("insert into " + table + " values " + values, parameters);
    }
}

/// The findings that `sql` selects, its columns those of findingColumns.
std::vector<TrackedFinding> findingsOf(SqlSession& session, const std::string& sql,
                                       const std::vector<SqlValue>& values) {
    std::vector<TrackedFinding> found;
    session.forEachRow(sql, values, [&](const SqlCursor& row) {
        found.push_back({row.text(0), row.text(1), row.number(2), row.number(3), row.number(4),
                         row.number(5) != 0, row.text(6), row.text(7), row.text(8)});
    });
    return found;
}

/// The origin of the staged finding `s` of the run whose order key is ?4: the one it
/// inherited, or its own (see inheritOrigins).
constexpr const char* stagedOrigin = "coalesce(s.origin, s.fingerprint || '@' || ?4)";

/// The columns of a span from the staged finding `s`, as findingColumns orders them.
std::string stagedColumns() {
    return std::string("s.fingerprint, s.file, s.line, s.number, s.priority, s.his, s.text, "
                       "s.reference, ") +
           stagedOrigin;
}

/// Gives the staged findings `arrived`, which are not as they were in the run before, the
/// origins of the findings of that run that they are, among those of `left`, which no staged
/// finding is just as they were (see inheritOrigins). The findings just as they were keep
/// their spans, and with them their origins.
void inheritStagedOrigins(SqlSession& session, const std::vector<TrackedFinding>& left,
                          const std::vector<TrackedFinding>& arrived) {
    std::vector<std::pair<std::string, std::string>> inherited;
    for (const auto& [b, h] : matchFindings(left, arrived).kept) {
        inherited.emplace_back(arrived[h].fingerprint, left[b].origin);
    }
    if (inherited.empty()) {
        return;
    }
    tableOfOrigins(session, "inherited", inherited);
    session.execute("update staged as s set origin = i.origin from inherited i where "
                    "s.fingerprint = i.name");
    session.execute("drop table inherited");
}

/// The run `key` came in before the logged run `after` of its series, whose findings were
/// named from the run before (`stored`, as they were before this run's spans joined theirs):
/// they are named anew from this run, as they would have been had the runs come in order,
/// and so are their later spans.
void renameOriginsAfter(SqlSession& session, const RunKey& key, const std::string& branch,
                        const std::string& after, const std::vector<TrackedFinding>& stored) {
    const std::vector<TrackedFinding> run =
        findingsAt(session, key.platform, key.project, branch, orderKey(key));
    std::vector<TrackedFinding> next = stored;
    inheritOrigins(run, next, after);
    std::vector<std::pair<std::string, std::string>> renamed;
    for (std::size_t at = 0; at < next.size(); ++at) {
        if (next[at].origin != stored[at].origin) {
            renamed.emplace_back(stored[at].origin, next[at].origin);
        }
    }
    if (renamed.empty()) {
        return;
    }
    tableOfOrigins(session, "renamed", renamed);
    // All at once, so that names that swap do not meet.
    inRun(session,
          "update vendrik_history_findings as f set origin = r.origin from renamed r where " +
              std::string(inSeries) + " and f.origin = r.name and f.last >= ?5",
          key, branch, after);
    session.execute("drop table renamed");
}

/// The run is the newest of its series: the open spans of the findings it lacks end at the
/// run before it, and its findings that no span holds open start one. The others stay as
/// they are, so a night writes only what changed.
void appendNewest(SqlSession& session, const RunKey& key, const std::string& branch,
                  const std::string& before) {
    if (!before.empty()) {
        // The spans it ends are those of the run before whose findings changed or left;
        // the staged findings that no open span holds are the others, new or changed.
        const std::vector<TrackedFinding> left = findingsOf(
            session,
            std::string("update vendrik_history_findings as f set last = ?5 where ") + inSeries +
                " and f.last = '~' and not exists (select 1 from staged s where " + sameFinding +
                ") returning " + findingColumns,
            {key.platform, key.project, branch, orderKey(key), before});
        inRun(session,
              std::string("delete from staged as s where exists (select 1 from "
                          "vendrik_history_findings f where ") +
                  inSeries + " and f.last = '~' and " + sameFinding + ")",
              key, branch);
        if (!left.empty()) {
            inheritStagedOrigins(
                session, left,
                findingsOf(session, std::string("select ") + findingColumns + " from staged", {}));
        }
    }
    inRun(session,
          "insert into vendrik_history_findings select cast(?1 as text), cast(?2 as text), "
          "cast(?3 as text), cast(?4 as text), '~', " +
              stagedColumns() + " from staged s",
          key, branch);
}

/// The run comes before a logged run of its series (`after`), and after `before` when that
/// is not empty. A span is named by its last run and fingerprint: no two spans of a series
/// share both, as a run has each fingerprint once.
void insertBefore(SqlSession& session, const RunKey& key, const std::string& branch,
                  const std::string& before, const std::string& after) {
    const std::string series = inSeries;
    if (!before.empty()) {
        // Named before the spans change: the findings of the run before that no staged
        // finding is just as it was, and the staged findings that none of them is.
        const std::string atBefore = series + " and f.first <= ?5 and f.last >= ?5";
        const std::vector<SqlValue> values = {key.platform, key.project, branch, orderKey(key),
                                              before};
        inheritStagedOrigins(session,
                             findingsOf(session,
                                        std::string("select ") + findingColumns +
                                            " from vendrik_history_findings f where " + atBefore +
                                            " and not exists (select 1 from staged s where " +
                                            sameFinding + ")",
                                        values),
                             findingsOf(session,
                                        std::string("select ") + findingColumns +
                                            " from staged s where not exists (select 1 from "
                                            "vendrik_history_findings f where " +
                                            atBefore + " and " + sameFinding + ")",
                                        values));
        // A span over both neighbours covers this run: cut it in two where the run lacks its
        // finding (the first part ends before the run, the second starts after it); where
        // the run has it, the span covers it already.
        inRun(session,
              "create temp table cut as select f.last, f.fingerprint from "
              "vendrik_history_findings f where " +
                  series +
                  " and f.last >= ?6 and f.first <= ?5 and not exists (select 1 from "
                  "staged s where " +
                  sameFinding + ")",
              key, branch, before, after);
        inRun(session,
              "delete from staged as s where exists (select 1 from vendrik_history_findings "
              "f where " +
                  series + " and f.last >= ?6 and f.first <= ?5 and " + sameFinding + ")",
              key, branch, before, after);
        inRun(session,
              "update vendrik_history_findings as f set last = ?5 where " + series +
                  " and (f.last, f.fingerprint) in (select last, fingerprint from cut)",
              key, branch, before, after);
        inRun(session,
              "insert into vendrik_history_findings select f.platform, f.project, f.branch, "
              "cast(?6 as text), "
              "c.last, f.fingerprint, f.file, f.line, f.number, f.priority, f.his, f.text, "
              "f.reference, f.origin from vendrik_history_findings f join (select last, "
              "fingerprint from "
              "cut) c using (fingerprint) "
              "where " +
                  series + " and f.last = ?5",
              key, branch, before, after);
        session.execute("drop table cut");
    }
    // The spans of its findings that end just before the run and that start just after it:
    // joined through the run, or stretched to it.
    inRun(session,
          "update staged as s set before = exists (select 1 from vendrik_history_findings f "
          "where " +
              series + " and f.last = ?5 and " + sameFinding +
              "), after = (select f.last from vendrik_history_findings f where " + series +
              " and f.first = ?6 and " + sameFinding + ")",
          key, branch, before, after);
    inRun(session,
          "delete from vendrik_history_findings as f where " + series +
              " and (f.last, f.fingerprint) in (select after, fingerprint from staged where "
              "before and after is not null)",
          key, branch);
    inRun(session,
          "update vendrik_history_findings as f set last = coalesce(s.after, ?4) from staged "
          "s where " +
              series + " and f.last = ?5 and f.fingerprint = s.fingerprint and s.before",
          key, branch, before);
    inRun(session,
          "update vendrik_history_findings as f set first = ?4, origin = " +
              std::string(stagedOrigin) + " from staged s where " + series +
              " and f.last = s.after and f.fingerprint = s.fingerprint and not s.before",
          key, branch);
    inRun(session,
          "insert into vendrik_history_findings select cast(?1 as text), cast(?2 as text), "
          "cast(?3 as text), cast(?4 as text), cast(?4 as text), " +
              stagedColumns() + " from staged s where not before and after is null",
          key, branch);
}

} // namespace

std::string findingCountersSql() {
    std::string counters = "count(*)";
    for (int priority = 0; priority <= 9; ++priority) {
        counters += ", coalesce(sum(case when his = 0 and priority = " + std::to_string(priority) +
                    " then 1 else 0 end), 0)";
    }
    return counters + ", coalesce(sum(his), 0)";
}

void addOrigins(SqlSession& session, bool missing, const std::string& typed) {
    if (missing) {
        session.execute("alter table vendrik_history_findings add column origin " + typed);
        session.execute("update vendrik_history_findings set origin = " +
                        std::string(earlierOrigin));
    }
}

std::vector<TrackedFinding> findingsAt(SqlSession& session, const std::string& platform,
                                       const std::string& project, const std::string& branch,
                                       const std::string& order, const std::string& origin) {
    return findingsOf(session,
                      "select fingerprint, file, line, number, priority, his, text, reference, " +
                          origin +
                          " from vendrik_history_findings where platform = ?1 and project = ?2 "
                          "and branch = ?3 and last >= ?4 and first <= ?4",
                      {platform, project, branch, order});
}

std::string orderKey(const RunKey& run) {
    return run.date + " " + run.time + " " + run.githash;
}

std::string orderKeySql(const std::string& table) {
    return table + ".date || ' ' || " + table + ".time || ' ' || " + table + ".githash";
}

bool storeLoggedRun(SqlSession& session, const LoggedRun& logged, const std::string& given) {
    const RunKey& key = logged.run;
    std::string branch = given;
    if (const auto recorded = recordedRun(session, key); recorded && recorded->settled) {
        if (given.empty()) {
            branch = recorded->branch; // a log without a branch adds none
        } else if (recorded->branch != given) {
            refuseBranch(key, recorded->branch, given);
        }
    } else if (recorded && !given.empty()) {
        session.execute("update vendrik_history_run_facts set branch = ?6 where platform = ?1 "
                        "and project = ?2 and githash = ?3 and date = ?4 and time = ?5",
                        {key.platform, key.project, key.githash, key.date, key.time, given});
    }
    if (!inRun(session,
               "select 1 from vendrik_history_run_facts f where " + std::string(inSeries) +
                   " and " + orderKeySql("f") + " = ?4 and f.findings is not null",
               key, branch)
             .empty()) {
        return false;
    }
    if (const CountsByRun script = scriptCountsOf(session, key); !script.empty()) {
        refuseDisagreement(script, logCountsOf(logged), "the log");
    }
    const std::string before = neighbour(session, key, branch, true);
    const std::string after = neighbour(session, key, branch, false);
    session.stageFindings(logged.findings);
    recordLoggedFacts(session, key, branch);
    if (after.empty()) {
        appendNewest(session, key, branch, before);
    } else {
        const std::vector<TrackedFinding> next =
            findingsAt(session, key.platform, key.project, branch, after);
        insertBefore(session, key, branch, before, after);
        renameOriginsAfter(session, key, branch, after, next);
    }
    session.execute("drop table staged");
    return true;
}

namespace {

/// The condition that a run of the facts (named with `table`, "f." or "") is one of the rows
/// staged in `staged`.
std::string ofStaged(const std::string& staged, const std::string& table) {
    return " (" + table + "platform, " + table + "project, " + table + "githash, " + table +
           "date, " + table + "time) in (select " + runColumns + " from " + staged + ")";
}

} // namespace

void checkScriptRuns(SqlSession& session, const std::string& staged, const std::string& branch) {
    const auto other =
        session.query("select platform, project, githash, date, time, branch from "
                      "vendrik_history_run_facts where ?1 <> '' and branch <> ?1 and (branch <> "
                      "'' or findings is not null or gate is not null) and" +
                          ofStaged(staged, "") + " limit 1",
                      {branch});
    if (!other.empty()) {
        const SqlRow& row = other[0];
        refuseBranch(runKeyOf(row), *row[5], branch);
    }
    refuseDisagreement(loggedCountsOf(session, ofStaged(staged, "f.")),
                       stagedCountsOf(session, staged), "the script");
}

void recordScriptRuns(SqlSession& session, const std::string& staged, const std::string& branch) {
    // The runs known only from their scripts are settled on the branch given.
    session.execute("update vendrik_history_run_facts set branch = ?1 where ?1 <> '' and branch "
                    "= '' and findings is null and gate is null and" +
                        ofStaged(staged, ""),
                    {branch});
    session.execute("insert into vendrik_history_run_facts (platform, project, githash, date, "
                    "time, branch) select distinct platform, project, githash, date, time, "
                    "cast(?1 as text) from " +
                        staged + " where true on conflict do nothing",
                    {branch});
}

void recordGateOutcome(SqlSession& session, const RunKey& key, const std::string& branch,
                       bool passed) {
    if (const auto recorded = recordedRun(session, key); recorded && recorded->branch != branch) {
        refuseBranch(key, recorded->branch, branch);
    }
    session.execute("insert into vendrik_history_run_facts (platform, project, githash, date, "
                    "time, branch, gate) values (?1, ?2, ?3, ?4, ?5, ?6, ?7) on conflict "
                    "(platform, project, date, time, githash) do update set gate = ?7",
                    {key.platform, key.project, key.githash, key.date, key.time, branch,
                     std::string(passed ? "passed" : "failed")});
}

} // namespace vendrik::history
