#include "history/store/script_runs.h"

#include "history/store/script_check.h"

namespace vendrik::history {

namespace {

/// The staged rows `n` joined with the table's rows `o` of the same date, time and file.
std::string metRows(const std::string& staged, const std::string& table) {
    return " from " + staged + " n join " + table +
           " o on o.date = n.date and o.time = n.time and o.filename = n.filename";
}

} // namespace

void refuseCollisions(SqlSession& session, const std::string& staged, const std::string& table) {
    const auto collision = session.query(
        "select n.platform, n.project, n.githash, n.date, n.time, o.platform, o.project, "
        "o.githash, o.date, o.time, n.filename" +
        metRows(staged, table) +
        " where o.platform is distinct from n.platform or o.project is distinct from n.project "
        "or o.githash is distinct from n.githash limit 1");
    if (!collision.empty()) {
        refuseCollision(runKeyOf(collision[0], 0), runKeyOf(collision[0], 5),
                        collision[0][10].value_or(""));
    }
}

std::vector<RunKey> runsPresent(SqlSession& session, const std::string& staged,
                                const std::string& table) {
    std::vector<RunKey> runs;
    for (const SqlRow& row :
         session.query("select distinct n.platform, n.project, n.githash, n.date, n.time" +
                       metRows(staged, table) + " order by 4, 5, 1, 2, 3")) {
        runs.push_back(runKeyOf(row, 0));
    }
    return runs;
}

} // namespace vendrik::history
