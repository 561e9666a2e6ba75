#include "end_to_end/history_fixture.h"

#include "analysis/finding_counts.h"
#include "history/store/pg_connection.h"

#include <atomic>
#include <cstdlib>

#include <unistd.h>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <regex>
#include <sstream>

namespace vendrik::test_support {

namespace {

const std::string dataDirectory = VENDRIK_TEST_DATA;
const std::string exampleReport = dataDirectory + "/../../examples/qac_report.txt";

} // namespace

ProgramResult history(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), VENDRIK_HISTORY_PROGRAM);
    return runCommand(arguments);
}

std::string script(const ScratchDirectory& scratch, const std::string& platform,
                   const std::string& project, const std::string& hash, std::size_t lines,
                   const std::string& date, const std::string& time) {
    std::istringstream example(readFile(exampleReport));
    std::string report;
    std::string line;
    for (std::size_t count = 0; count < lines && std::getline(example, line); ++count) {
        report += line + "\n";
    }
    return convertRun(scratch, platform, project, hash, report, date, time) + ".sql";
}

std::string convertRun(const ScratchDirectory& scratch, const std::string& platform,
                       const std::string& project, const std::string& hash,
                       const std::string& report, const std::string& date, const std::string& time,
                       const std::vector<std::string>& more) {
    const std::string name = scratch.path + "/" + platform + project + hash + date + time;
    writeFile(name + ".txt", report);
    std::vector<std::string> command = {VENDRIK_PROGRAM,
                                        "--platform=" + platform,
                                        "--input=" + name + ".txt",
                                        "--output=" + name + ".sql",
                                        "--typ_name=" + project,
                                        "--typ_var=V",
                                        "--sql_config=SQL",
                                        "--hash_value=" + hash,
                                        "--sarif_output=" + name + ".sarif"};
    command.insert(command.end(), more.begin(), more.end());
    const ProgramResult converted = runCommand(command);
    EXPECT_EQ(converted.status, 0) << converted.console;
    static const std::regex sqlStamp(R"("\d{4}\.\d\d\.\d\d", "\d\d:\d\d:\d\d")");
    writeFile(name + ".sql", std::regex_replace(readFile(name + ".sql"), sqlStamp,
                                                "\"" + date + "\", \"" + time + "\""));
    static const std::regex logStamp(R"("date":"[^"]*","time":"[^"]*")");
    writeFile(name + ".sarif",
              std::regex_replace(readFile(name + ".sarif"), logStamp,
                                 "\"date\":\"" + date + "\",\"time\":\"" + time + "\""));
    return name;
}

std::string reportLine(const std::string& file, int line, int priority, int number,
                       const std::string& text, const std::string& reference) {
    return "D:\\w\\Src\\Src_NV\\" + file + " (" + std::to_string(line) + ") : warning : QAC(Prio" +
           std::to_string(priority) + ") Msg: " + std::to_string(number) + "(" + text +
           ".) Ref:" + reference + "\n";
}

bool executeSql(const std::string& target, const std::string& sql) {
    if (!history::isServerTarget(target)) {
        sqlite3* handle = nullptr;
        const bool done = sqlite3_open(target.c_str(), &handle) == SQLITE_OK &&
                          sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(handle);
        return done;
    }
    // The server takes no column without a type, and text in single quotes: the converter's
    // create statement typed, and its values quoted as the server's text.
    std::string typed = "create table if not exists testresults (platform text, project text, "
                        "tool text, githash text, date text, time text, filename text";
    for (const std::string_view counter : counterColumns) {
        typed += ", " + std::string(counter) + " bigint";
    }
    typed += ", unique (date, time, filename));";
    static const std::regex create(R"(create table if not exists testresults \([^;]*\);)");
    PGconn* connection = PQconnectdb(target.c_str());
    std::string quoted;
    bool inValue = false;
    for (const char c : std::regex_replace(sql, create, typed)) {
        inValue = c == '"' ? !inValue : inValue;
        quoted += c == '"' ? "'" : c == '\'' && inValue ? "''" : std::string(1, c);
    }
    PGresult* result = PQexec(connection, ("set client_min_messages = warning; " + quoted).c_str());
    const bool done = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    PQfinish(connection);
    return done;
}

HistoryDatabase::HistoryDatabase(const std::string& backend) : database(backend) {
    scripts = {script(scratch, "TargetA", "Ecu", "aaa111", 100, "2026.12.01", "02:00:00"),
               script(scratch, "TargetA", "Ecu", "bbb222", 60, "2026.12.02", "02:00:00"),
               script(scratch, "TargetA", "Ecu", "ccc333", 200, "2026.12.03", "02:00:00"),
               script(scratch, "TargetB", "Ecu", "ddd444", 80, "2026.12.03", "03:00:00"),
               script(scratch, "TargetA", "Other", "eee555", 50, "0000.00.00", "00:00:00")};
    std::vector<std::string> load = {"load", "--database=" + path};
    load.insert(load.end(), scripts.begin(), scripts.end());
    const ProgramResult loaded = history(load);
    EXPECT_EQ(loaded.status, 0) << loaded.errors;
}

namespace {

std::string testServer() {
    const char* url = std::getenv("VENDRIK_TEST_POSTGRES");
    return url ? url : "";
}

} // namespace

std::vector<std::string> historyBackends() {
    return {"sqlite", "postgresql"};
}

void OnEachBackend::SetUp() {
    if (GetParam() == "postgresql" && testServer().empty()) {
        GTEST_SKIP() << "VENDRIK_TEST_POSTGRES is not set";
    }
}

ResultsDatabase::ResultsDatabase(const std::string& backend) {
    if (backend == "sqlite") {
        target = scratch.path + "/results.db";
        return;
    }
    static std::atomic<int> created = 0;
    serverDatabase_ = "results_" + std::to_string(::getpid()) + "_" + std::to_string(++created);
    history::PgConnection(testServer()).run("create database " + serverDatabase_, "create");
    target = testServer();
    target.replace(target.find("/postgres?"), 10, "/" + serverDatabase_ + "?");
}

ResultsDatabase::~ResultsDatabase() {
    if (!serverDatabase_.empty()) {
        try {
            history::PgConnection(testServer())
                .run("drop database " + serverDatabase_ + " with (force)", "drop");
        } catch (const history::StoreError&) {
            // the server goes with the tests
        }
    }
}

} // namespace vendrik::test_support
