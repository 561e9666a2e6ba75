#include "history/store/run_totals.h"

#include "history/store/store.h"

#include <array>

namespace vendrik::history {

namespace {

constexpr std::array<const char*, 5> keyColumns = {"platform", "project", "githash", "date",
                                                   "time"};

/// "P.platform is not null and P.project is not null and ..." (`prefix` "" or "new.").
std::string keyed(const std::string& prefix) {
    std::string condition;
    for (const char* column : keyColumns) {
        condition += (condition.empty() ? "" : " and ") + prefix + column + " is not null";
    }
    return condition;
}

const std::string keyList = "platform, project, githash, date, time";

// Named in full: SQLite takes no alias of a table that a trigger writes.
const std::string totals = "vendrik_history_run_totals";

} // namespace

std::string summedRuns(const std::string& from) {
    std::string sums;
    for (const std::string_view column : counterColumns) {
        sums += ", coalesce(sum(" + std::string(column) + "), 0) as " + std::string(column);
    }
    return "select " + keyList + ", count(*) as files" + sums + " from " + from + " where " +
           keyed("") + " group by " + keyList;
}

std::string rowAsRun(const std::string& row) {
    std::string columns;
    for (const char* column : keyColumns) {
        columns += row + "." + column + " as " + column + ", ";
    }
    columns += "1 as files";
    for (const std::string_view column : counterColumns) {
        columns +=
            ", coalesce(" + row + "." + std::string(column) + ", 0) as " + std::string(column);
    }
    return "select " + columns + " where " + keyed(row + ".");
}

std::string addToTotals(const std::string& deltas) {
    std::string added = "files = " + totals + ".files + excluded.files";
    for (const std::string_view column : counterColumns) {
        added += ", " + std::string(column) + " = " + totals + "." + std::string(column) +
                 " + excluded." + std::string(column);
    }
    // "where true": SQLite reads "on" after a bare select as a join's.
    return "insert into " + totals + " select * from (" + deltas +
           ") d where true on conflict (platform, project, date, time, githash) do update set " +
           added;
}

std::string takeFromTotals(const std::string& deltas) {
    std::string taken = "files = " + totals + ".files - d.files";
    for (const std::string_view column : counterColumns) {
        taken += ", " + std::string(column) + " = " + totals + "." + std::string(column) + " - d." +
                 std::string(column);
    }
    std::string sameRun;
    for (const char* column : keyColumns) {
        sameRun += (sameRun.empty() ? "" : " and ") + totals + "." + column + " = d." + column;
    }
    return "update " + totals + " set " + taken + " from (" + deltas + ") d where " + sameRun +
           "; delete from " + totals + " where files <= 0 and (" + keyList + ") in (select " +
           keyList + " from (" + deltas + ") d)";
}

std::vector<std::string> sumTotalsAnew(const std::string& table) {
    return {"delete from " + totals, "insert into " + totals + " " + summedRuns(table)};
}

} // namespace vendrik::history
