#include "history/store/schema.h"

#include "output/sql_script.h"

#include <gtest/gtest.h>

namespace vendrik::history {
namespace {

// Without types, the described results table is the converter's own create statement, byte
// for byte; with types, every column has one and the keys stay.
TEST(Schema, MakesTheConvertersTableAndTypedOnes) {
    EXPECT_EQ(createTableSql(
                  resultsTable(), [](ColumnType) { return std::string(); }, true),
              sqlSchemaStatement);
    const auto typed = [](ColumnType type) {
        return std::string(type == ColumnType::text ? "text" : "bigint");
    };
    const std::string findings = createTableSql(historyTables().at(2), typed, true);
    EXPECT_TRUE(findings.starts_with("create table if not exists vendrik_history_findings "
                                     "(platform text, project text, branch text, first text"))
        << findings;
    EXPECT_TRUE(findings.ends_with("primary key (platform, project, branch, last, fingerprint)) "
                                   "without rowid;"))
        << findings;
    const std::string facts = createTableSql(historyTables().at(1), typed, false);
    EXPECT_NE(facts.find("branch text not null, findings bigint, files bigint, all_errors bigint"),
              std::string::npos)
        << facts;
    EXPECT_TRUE(facts.ends_with("gate text, primary key (platform, project, date, time, "
                                "githash));"))
        << facts;
}

} // namespace
} // namespace vendrik::history
