#include "history/finding_history.h"

namespace vendrik::history {

namespace {

/// The stored columns of a finding, in table order.
constexpr const char* findingColumns =
    "fingerprint, file, line, number, priority, his, text, reference";

/// A span `f` and a staged finding `s` that are the same finding.
constexpr const char* sameFinding =
    "f.fingerprint = s.fingerprint and f.file = s.file and f.line = s.line and f.number = "
    "s.number and f.priority = s.priority and f.his = s.his and f.text = s.text and "
    "f.reference = s.reference";

/// The spans of the series ?1 (platform), ?2 (project), ?3 (branch).
constexpr const char* inSeries = "f.platform = ?1 and f.project = ?2 and f.branch = ?3";

/// A statement bound to the series of `run` on `branch` as ?1 to ?3 and to its order key
/// as ?4, with ?5 and ?6 for the neighbours' keys (empty when a neighbour is missing).
struct SeriesStatement {
    Statement statement;
    SeriesStatement(const Database& db, const std::string& sql, const RunKey& run,
                    const std::string& branch, const std::string& before = {},
                    const std::string& after = {})
        : statement(db, sql, "store the findings") {
        statement.bind(1, run.platform).bind(2, run.project).bind(3, branch);
        statement.bind(4, orderKey(run)).bind(5, before).bind(6, after);
    }
};

void run(const Database& db, const std::string& sql, const RunKey& key, const std::string& branch,
         const std::string& before = {}, const std::string& after = {}) {
    SeriesStatement(db, sql, key, branch, before, after).statement.step();
}

/// The order key of the logged run next to `run` in its series: before it, or after it.
std::string neighbour(const Database& db, const RunKey& key, const std::string& branch,
                      bool before) {
    const std::string sql = std::string("select ") + (before ? "max" : "min") + "(" +
                            orderKeySql("f") + ") from vendrik_history_run_facts f where " +
                            inSeries + " and f.findings is not null and " + orderKeySql("f") +
                            (before ? " < ?4" : " > ?4");
    SeriesStatement query(db, sql, key, branch);
    query.statement.step();
    return query.statement.text(0);
}

/// The branch a run is recorded on, or nothing.
std::optional<std::string> branchOf(const Database& db, const RunKey& key) {
    Statement query(db,
                    "select branch from vendrik_history_run_facts where platform = ?1 and "
                    "project = ?2 and githash = ?3 and date = ?4 and time = ?5",
                    "read the run's facts");
    query.bindRun(key);
    return query.step() ? std::optional(query.text(0)) : std::nullopt;
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

/// Stages the findings in temp.staged; two with one fingerprint refuse the log.
void stage(const Database& db, const std::vector<TrackedFinding>& findings) {
    execute(db,
            "create temp table staged (fingerprint unique, file, line, number, priority, his, "
            "text, reference, before, after)",
            "stage the findings");
    Statement insert(db,
                     std::string("insert into temp.staged (") + findingColumns +
                         ") values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
                     "stage the findings");
    for (const TrackedFinding& finding : findings) {
        insert.reset().bind(1, finding.fingerprint).bind(2, finding.file);
        sqlite3_bind_int64(insert.handle(), 3, finding.line);
        sqlite3_bind_int64(insert.handle(), 4, finding.number);
        sqlite3_bind_int64(insert.handle(), 5, finding.priority);
        sqlite3_bind_int(insert.handle(), 6, finding.his ? 1 : 0);
        insert.bind(7, finding.text).bind(8, finding.reference);
        if (sqlite3_step(insert.handle()) != SQLITE_DONE) {
            if ((sqlite3_extended_errcode(db.handle) & 0xFF) == SQLITE_CONSTRAINT) {
                throw StoreError("refused: two findings of the log share the fingerprint " +
                                 finding.fingerprint);
            }
            db.fail("stage the findings");
        }
    }
}

/// The run's facts from the staged findings: their number, files and counters.
void recordLoggedFacts(const Database& db, const RunKey& key, const std::string& branch) {
    std::string counters = "count(*), count(distinct file), count(*)";
    for (int priority = 0; priority <= 9; ++priority) {
        counters += ", coalesce(sum(not his and priority = " + std::to_string(priority) + "), 0)";
    }
    counters += ", coalesce(sum(his), 0)";
    std::string update = "findings = excluded.findings, files = excluded.files";
    for (const std::string_view column : counterColumns) {
        update += ", " + std::string(column) + " = excluded." + std::string(column);
    }
    Statement insert(db,
                     "insert into vendrik_history_run_facts (platform, project, githash, date, "
                     "time, branch, findings, files, " +
                         counterList(false) + ") select ?1, ?2, ?3, ?4, ?5, ?6, " + counters +
                         " from temp.staged where true on conflict (platform, project, date, "
                         "time, githash) do update set " +
                         update,
                     "record the run");
    insert.bindRun(key).bind(6, branch);
    insert.step();
}

/// The run is the newest of its series: the open spans of the findings it lacks end at the
/// run before it, and its findings that no span holds open start one. The others stay as
/// they are, so a night writes only what changed.
void appendNewest(const Database& db, const RunKey& key, const std::string& branch,
                  const std::string& before) {
    if (!before.empty()) {
        run(db,
            std::string("update vendrik_history_findings as f set last = ?5 where ") + inSeries +
                " and f.last = '~' and not exists (select 1 from temp.staged s where " +
                sameFinding + ")",
            key, branch, before);
        run(db,
            std::string("delete from temp.staged as s where exists (select 1 from "
                        "vendrik_history_findings f where ") +
                inSeries + " and f.last = '~' and " + sameFinding + ")",
            key, branch);
    }
    run(db,
        "insert into vendrik_history_findings select ?1, ?2, ?3, ?4, '~', " +
            std::string(findingColumns) + " from temp.staged",
        key, branch);
}

/// The run comes before a logged run of its series (`after`), and after `before` when that
/// is not empty. A span is named by its last run and fingerprint: no two spans of a series
/// share both, as a run has each fingerprint once.
void insertBefore(const Database& db, const RunKey& key, const std::string& branch,
                  const std::string& before, const std::string& after) {
    const std::string series = inSeries;
    if (!before.empty()) {
        // A span over both neighbours covers this run: cut it in two where the run lacks its
        // finding (the first part ends before the run, the second starts after it); where
        // the run has it, the span covers it already.
        run(db,
            "create temp table cut as select f.last, f.fingerprint from "
            "vendrik_history_findings f where " +
                series +
                " and f.last >= ?6 and f.first <= ?5 and not exists (select 1 from "
                "temp.staged s where " +
                sameFinding + ")",
            key, branch, before, after);
        run(db,
            "delete from temp.staged as s where exists (select 1 from vendrik_history_findings "
            "f where " +
                series + " and f.last >= ?6 and f.first <= ?5 and " + sameFinding + ")",
            key, branch, before, after);
        run(db,
            "update vendrik_history_findings as f set last = ?5 where " + series +
                " and (f.last, f.fingerprint) in temp.cut",
            key, branch, before, after);
        run(db,
            "insert into vendrik_history_findings select f.platform, f.project, f.branch, ?6, "
            "c.last, f.fingerprint, f.file, f.line, f.number, f.priority, f.his, f.text, "
            "f.reference from vendrik_history_findings f join temp.cut c using (fingerprint) "
            "where " +
                series + " and f.last = ?5",
            key, branch, before, after);
        execute(db, "drop table temp.cut", "store the findings");
    }
    // The spans of its findings that end just before the run and that start just after it:
    // joined through the run, or stretched to it.
    run(db,
        "update temp.staged as s set before = exists (select 1 from vendrik_history_findings f "
        "where " +
            series + " and f.last = ?5 and " + sameFinding +
            "), after = (select f.last from vendrik_history_findings f where " + series +
            " and f.first = ?6 and " + sameFinding + ")",
        key, branch, before, after);
    run(db,
        "delete from vendrik_history_findings as f where " + series +
            " and (f.last, f.fingerprint) in (select after, fingerprint from temp.staged where "
            "before and after is not null)",
        key, branch);
    run(db,
        "update vendrik_history_findings as f set last = coalesce(s.after, ?4) from temp.staged "
        "s where " +
            series + " and f.last = ?5 and f.fingerprint = s.fingerprint and s.before",
        key, branch, before);
    run(db,
        "update vendrik_history_findings as f set first = ?4 from temp.staged s where " + series +
            " and f.last = s.after and f.fingerprint = s.fingerprint and not s.before",
        key, branch);
    run(db,
        "insert into vendrik_history_findings select ?1, ?2, ?3, ?4, ?4, " +
            std::string(findingColumns) + " from temp.staged where not before and after is null",
        key, branch);
}

} // namespace

std::string orderKey(const RunKey& run) {
    return run.date + " " + run.time + " " + run.githash;
}

std::string orderKeySql(const std::string& table) {
    return table + ".date || ' ' || " + table + ".time || ' ' || " + table + ".githash";
}

bool hasFindingTables(const Database& db) {
    Statement tables(db,
                     "select count(*) from sqlite_master where type = 'table' and name in "
                     "('vendrik_history_run_facts', 'vendrik_history_findings')",
                     "read the schema");
    return tables.step() && tables.number(0) == 2;
}

void createFindingTables(const Database& db) {
    execute(db,
            ("create table if not exists vendrik_history_run_facts (platform, project, githash, "
             "date, time, branch not null, findings, files, " +
             counterList(false) +
             ", gate, primary key (platform, project, date, time, githash)); "
             "create table if not exists vendrik_history_findings (platform, project, branch, "
             "first, last, " +
             findingColumns +
             ", primary key (platform, project, branch, last, fingerprint)) without rowid; "
             "create index if not exists vendrik_history_findings_by_print on "
             "vendrik_history_findings (platform, project, branch, fingerprint)")
                .c_str(),
            "create the history's tables");
}

bool storeLoggedRun(const Database& db, const LoggedRun& logged, const std::string& branch) {
    createFindingTables(db);
    const RunKey& key = logged.run;
    if (const auto stored = branchOf(db, key); stored && *stored != branch) {
        refuseBranch(key, *stored, branch);
    }
    {
        SeriesStatement present(db,
                                "select 1 from vendrik_history_run_facts f where " +
                                    std::string(inSeries) + " and " + orderKeySql("f") +
                                    " = ?4 and f.findings is not null",
                                key, branch);
        if (present.statement.step()) {
            return false;
        }
    }
    stage(db, logged.findings);
    recordLoggedFacts(db, key, branch);
    const std::string before = neighbour(db, key, branch, true);
    const std::string after = neighbour(db, key, branch, false);
    if (after.empty()) {
        appendNewest(db, key, branch, before);
    } else {
        insertBefore(db, key, branch, before, after);
    }
    execute(db, "drop table temp.staged", "store the findings");
    return true;
}

void recordScriptRuns(const Database& db, const std::string& branch) {
    createFindingTables(db);
    Statement other(db,
                    "select n.platform, n.project, n.githash, n.date, n.time, f.branch from "
                    "(select distinct platform, project, githash, date, time from "
                    "temp.testresults) n join vendrik_history_run_facts f using (platform, "
                    "project, githash, date, time) where f.branch <> ?1",
                    "record the runs");
    other.bind(1, branch);
    if (other.step()) {
        refuseBranch(runAt(other, 0), other.text(5), branch);
    }
    Statement insert(db,
                     "insert into vendrik_history_run_facts (platform, project, githash, date, "
                     "time, branch) select distinct platform, project, githash, date, time, ?1 "
                     "from temp.testresults where true on conflict do nothing",
                     "record the runs");
    insert.bind(1, branch).step();
}

void recordGateOutcome(const Database& db, const RunKey& key, const std::string& branch,
                       bool passed) {
    createFindingTables(db);
    if (const auto stored = branchOf(db, key); stored && *stored != branch) {
        refuseBranch(key, *stored, branch);
    }
    Statement insert(db,
                     "insert into vendrik_history_run_facts (platform, project, githash, date, "
                     "time, branch, gate) values (?1, ?2, ?3, ?4, ?5, ?6, ?7) on conflict "
                     "(platform, project, date, time, githash) do update set gate = ?7",
                     "record the gate's outcome");
    insert.bindRun(key).bind(6, branch);
    insert.bind(7, std::string(passed ? "passed" : "failed")).step();
}

} // namespace vendrik::history
