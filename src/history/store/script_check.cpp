#include "history/store/script_check.h"

#include "history/store/sqlite_script.h"

namespace vendrik::history {

void refuseCollision(const RunKey& loaded, const RunKey& stored, const std::string& filename) {
    throw StoreError("refused: the run " + loaded.githash + " of " + loaded.platform + " / " +
                     loaded.project + " has a row for " + filename + " at " + loaded.date + " " +
                     loaded.time + ", where the run " + stored.githash + " of " + stored.platform +
                     " / " + stored.project +
                     " has one; the table keeps one row per date, time and file "
                     "(convert the run again, in another second)");
}

std::vector<std::vector<std::string>> scriptRows(const std::string& script) {
    SqliteDatabase db;
    stageScript(db, ":memory:", script, 0);
    SqliteStatement rows(db, "select * from temp.testresults", "read the script's rows");
    std::vector<std::vector<std::string>> found;
    while (rows.step()) {
        auto& row = found.emplace_back();
        for (int column = 0; column < sqlite3_column_count(rows.handle()); ++column) {
            row.push_back(rows.text(column));
        }
    }
    return found;
}

} // namespace vendrik::history
