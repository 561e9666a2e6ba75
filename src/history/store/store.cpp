#include "history/store/store.h"

#include "history/store/pg_connection.h"
#include "history/store/pg_store.h"
#include "history/store/sqlite_store.h"

namespace vendrik::history {

namespace {
std::size_t queries = 0;
} // namespace

std::size_t queriesRun() {
    return queries;
}

void countQuery() {
    ++queries;
}

std::string counterList(bool summed) {
    std::string list;
    for (const std::string_view column : counterColumns) {
        list += list.empty() ? "" : ", ";
        list += summed ? "sum(" + std::string(column) + ")" : std::string(column);
    }
    return list;
}

std::unique_ptr<HistoryStore> openStore(const std::string& database, StoreAccess access,
                                        int busyMilliseconds) {
    return isServerTarget(database) ? openPgStore(database, access)
                                    : openSqliteStore(database, access, busyMilliseconds);
}

} // namespace vendrik::history
