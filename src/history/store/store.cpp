#include "history/store/store.h"

#include "history/store/session.h"

#include "history/store/pg_connection.h"
#include "history/store/pg_store.h"
#include "history/store/sqlite_store.h"

namespace vendrik::history {

namespace {
std::function<void()> queryListener;
} // namespace

void listenToQueries(std::function<void()> listener) {
    queryListener = std::move(listener);
}

void queryMade() {
    if (queryListener) {
        queryListener();
    }
}

std::string counterList(bool summed) {
    std::string list;
    for (const std::string_view column : counterColumns) {
        list += list.empty() ? "" : ", ";
        list += summed ? "sum(" + std::string(column) + ")" : std::string(column);
    }
    return list;
}

RunKey runKeyOf(const SqlRow& row, std::size_t first) {
    return {row[first].value_or(""), row[first + 1].value_or(""), row[first + 2].value_or(""),
            row[first + 3].value_or(""), row[first + 4].value_or("")};
}

RunKey runKeyOf(const SqlCursor& row, int first) {
    return {row.text(first), row.text(first + 1), row.text(first + 2), row.text(first + 3),
            row.text(first + 4)};
}

FileRow fileRowOf(const SqlCursor& row) {
    FileRow file{row.text(0), {}};
    for (std::size_t column = 0; column < counterColumns.size(); ++column) {
        file.counters[column] = row.number(1 + static_cast<int>(column));
    }
    return file;
}

std::vector<SqlRow> SqlSession::query(const std::string& sql, const std::vector<SqlValue>& values) {
    std::vector<SqlRow> rows;
    forEachRow(sql, values, [&](const SqlCursor& cursor) {
        SqlRow& row = rows.emplace_back();
        for (int column = 0; column < cursor.columns(); ++column) {
            row.push_back(cursor.isNull(column) ? std::nullopt
                                                : std::optional(cursor.text(column)));
        }
    });
    return rows;
}

std::unique_ptr<HistoryStore> openStore(const std::string& database, StoreAccess access,
                                        int busyMilliseconds) {
    return isServerTarget(database) ? openPgStore(database, access)
                                    : openSqliteStore(database, access, busyMilliseconds);
}

} // namespace vendrik::history
