#include "output/sql_script.h"

#include "test_support/findings.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>

namespace vendrik {
namespace {

const std::string schema =
    "create table if not exists testresults (platform, project, tool, githash, date, time, "
    "filename, all_errors, misra_0, misra_1, misra_2, misra_3, misra_4, misra_5, misra_6, "
    "misra_7, misra_8, misra_9, his, UNIQUE (date, time, filename));";

Finding finding(const std::string& file, std::uint32_t line, std::uint32_t priority,
                std::uint32_t messageNumber) {
    return test_support::testFinding(file, line, priority, messageNumber);
}

/// What the script writes beside the files and the time stamp.
struct ScriptValues {
    std::string platform;
    std::string typName;
    std::string hashValue;
};

ScriptValues sqlOptions(std::string platform, std::string project, std::string hash) {
    return {std::move(platform), std::move(project), std::move(hash)};
}

OutputLines scriptOf(const ScriptValues& options, std::vector<Finding> findings,
                     std::string_view time = "08:04:09") {
    const FindingsList list = test_support::sortedList(std::move(findings));
    OutputLines lines;
    appendSqlScript(lines, rankFileFindings(groupFindingsByFile(list)), "2021.03.05", time,
                    options.platform, options.typName, options.hashValue);
    return lines;
}

TEST(SqlScript, WritesTheSchemaAndOneRowPerFile) {
    const OutputLines lines = scriptOf(sqlOptions("TargetA", "DemoProject", "4f2a9c1"),
                                       {finding("Src\\Src_NV\\io\\adc.c", 1, 3, 2000),
                                        finding("Src\\Src_NV\\io\\adc.c", 2, 3, 2201),
                                        finding("Src\\Src_NV\\io\\adc.c", 3, 7, 3408),
                                        finding("Src\\Src_NV\\io\\adc.c", 4, 2, 5301)});
    const OutputLines expected = {
        schema,
        "insert into testresults (platform, project, tool, githash ,date, time, filename, "
        "all_errors, misra_0, misra_1, misra_2, misra_3, misra_4, misra_5, misra_6, misra_7, "
        "misra_8, misra_9, his) values (\"TargetA\", \"DemoProject\", \"QAC 8.1.2.R\", "
        "\"4f2a9c1\", \"2021.03.05\", \"08:04:09\", \"TargetA\\Src\\Src_NV\\io\\adc.c\", \"4\" "
        ",\"0\", \"0\", \"0\", \"2\", \"0\", \"0\", \"0\", \"1\", \"0\", \"0\", \"1\");",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(scriptOf(sqlOptions("", "", "h"), {}), OutputLines{schema});
}

TEST(SqlScript, DoublesQuotesInsideValues) {
    EXPECT_EQ(sqlValue("plain \\ value"), "\"plain \\ value\"");
    EXPECT_EQ(sqlValue("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(sqlValue("\""), "\"\"\"\"");
    EXPECT_EQ(sqlValue(""), "\"\"");
}

TEST(SqlScript, WritesNulBytesAsExpressions) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"a\0b"s, "\"a\" || char(0) || \"b\""},
        {"\0"s, "\"\" || char(0) || \"\""},
        {"\"\0\"\0"s, "\"\"\"\" || char(0) || \"\"\"\" || char(0) || \"\""},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(sqlValue(text), expected) << "value of " << text.size() << " bytes";
    }
}

using Database = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

Database openDatabase() {
    sqlite3* handle = nullptr;
    EXPECT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK);
    return Database(handle, &sqlite3_close);
}

/// Runs the script; returns SQLite's result code.
int load(sqlite3* db, const OutputLines& lines) {
    std::string script;
    for (const std::string& line : lines) {
        script += line + "\n";
    }
    return sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr);
}

std::vector<std::vector<std::string>> rows(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(
        sqlite3_prepare_v2(db, "select * from testresults order by rowid", -1, &statement, nullptr),
        SQLITE_OK);
    std::vector<std::vector<std::string>> result;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int column = 0; column < sqlite3_column_count(statement); ++column) {
            const auto* text = sqlite3_column_text(statement, column);
            row.emplace_back(text ? reinterpret_cast<const char*>(text) : "<null>",
                             static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
        }
        result.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    return result;
}

TEST(SqlScript, LoadsIntoSqliteValueByValue) {
    const Database db = openDatabase();
    const ScriptValues options = sqlOptions("Tar \"get\"", "it's a \\ project",
                                            "x\"); drop table "
                                            "testresults; --");
    const OutputLines lines = scriptOf(options, {finding("Src\\Src_NV\\we\"ird name.c", 1, 9, 1),
                                                 finding("Src\\Src_NV\\b.c", 1, 0, 5300),
                                                 finding("Src\\Src_NV\\b.c", 2, 5, 1)});
    ASSERT_EQ(load(db.get(), lines), SQLITE_OK) << sqlite3_errmsg(db.get());
    const auto loaded = rows(db.get());
    ASSERT_EQ(loaded.size(), 2u);
    const std::vector<std::string> first = {"Tar \"get\"",
                                            "it's a \\ project",
                                            "QAC 8.1.2.R",
                                            "x\"); drop table testresults; --",
                                            "2021.03.05",
                                            "08:04:09",
                                            "Tar \"get\"\\Src\\Src_NV\\b.c",
                                            "2",
                                            "0",
                                            "0",
                                            "0",
                                            "0",
                                            "0",
                                            "1",
                                            "0",
                                            "0",
                                            "0",
                                            "0",
                                            "1"};
    EXPECT_EQ(loaded[0], first);
    EXPECT_EQ(loaded[1][6], "Tar \"get\"\\Src\\Src_NV\\we\"ird name.c");
    EXPECT_EQ(loaded[1][7], "1");
    EXPECT_EQ(loaded[1][17], "1");
}

TEST(SqlScript, KeepsNulBytesAndNothingElseRunsWhenLoaded) {
    using namespace std::string_literals;
    const Database db = openDatabase();
    // A file name that would end the value early and run its own statement if the NUL and
    // what follows it were dropped.
    const std::string file = "Src\\Src_NV\\a\0\", 1); create table pwned(x); --.c"s;
    const OutputLines lines = scriptOf(sqlOptions("P", "T", "H"), {finding(file, 1, 3, 2000)});
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find('\0'), std::string::npos) << line;
    }
    ASSERT_EQ(load(db.get(), lines), SQLITE_OK) << sqlite3_errmsg(db.get());
    const auto loaded = rows(db.get());
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0][6], "P\\" + file);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(db.get(), "select count(*) from sqlite_master", -1, &statement, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(statement, 0), 2); // the table and its unique index
    sqlite3_finalize(statement);
}

TEST(SqlScript, SameSecondTwiceBreaksTheUniqueConstraint) {
    const Database db = openDatabase();
    const ScriptValues options = sqlOptions("P", "Q", "abc");
    const std::vector<Finding> findings = {finding("Src\\Src_NV\\a.c", 1, 1, 1)};
    ASSERT_EQ(load(db.get(), scriptOf(options, findings)), SQLITE_OK);
    EXPECT_EQ(load(db.get(), scriptOf(options, findings)), SQLITE_CONSTRAINT);
    ASSERT_EQ(load(db.get(), scriptOf(options, findings, "08:04:10")), SQLITE_OK);
    EXPECT_EQ(rows(db.get()).size(), 2u);
}

} // namespace
} // namespace vendrik
