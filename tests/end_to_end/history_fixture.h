#pragma once

#include "end_to_end/program_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace vendrik::test_support {

/// Runs vendrik-history with `arguments`.
ProgramResult history(std::vector<std::string> arguments);

/// A converter script of the first `lines` lines of the example report, stamped with `date`
/// and `time` (the converter stamps the run with its own clock).
std::string script(const ScratchDirectory& scratch, const std::string& platform,
                   const std::string& project, const std::string& hash, std::size_t lines,
                   const std::string& date, const std::string& time);

/// The converter's SQL script and SARIF log of one run of `report` (report lines), converted
/// with the options `more` too, both stamped with `date` and `time`: base + ".sql" and base +
/// ".sarif", where base is returned.
std::string convertRun(const ScratchDirectory& scratch, const std::string& platform,
                       const std::string& project, const std::string& hash,
                       const std::string& report, const std::string& date, const std::string& time,
                       const std::vector<std::string>& more = {});

/// A report line of the project: "D:\w\Src\Src_NV\" + file, line, priority, number, text,
/// and the reference text after "Ref:".
std::string reportLine(const std::string& file, int line, int priority, int number,
                       const std::string& text,
                       const std::string& reference = " MISRA C:2012 Rule-15.7");

/// Runs `sql`, such as a converter script, on the results database `target` (a SQLite file or
/// a server's database) as another tool would: on the server with the converter's create
/// statement given types, which the server needs. False when it fails.
bool executeSql(const std::string& target, const std::string& sql);

/// The backends that a history test runs on: "sqlite" and "postgresql".
std::vector<std::string> historyBackends();

/// A test on each backend; on "postgresql" it needs the tests' server (VENDRIK_TEST_POSTGRES,
/// a libpq URI of its database postgres), which CTest starts, and is skipped without it.
class OnEachBackend : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override;
};

/// A fresh, empty results database of `backend` as --database takes it (a SQLite file's
/// path, or a database of its own on the tests' PostgreSQL server), removed with the object;
/// with a scratch folder for the files a test makes.
struct ResultsDatabase {
    explicit ResultsDatabase(const std::string& backend);
    ~ResultsDatabase();
    ResultsDatabase(const ResultsDatabase&) = delete;
    ResultsDatabase& operator=(const ResultsDatabase&) = delete;
    ScratchDirectory scratch;
    std::string target;

  private:
    std::string serverDatabase_;
};

struct HistoryDatabase {
    ResultsDatabase database;
    ScratchDirectory& scratch = database.scratch;
    std::string path = database.target;
    std::vector<std::string> scripts;

    /// Three runs of TargetA / Ecu (the last one larger), one of TargetB / Ecu, one of
    /// TargetA / Other with an unknown time, in a database of `backend`.
    explicit HistoryDatabase(const std::string& backend = "sqlite");
};

/// A history of one platform and project, loaded from the converter's scripts and logs.
struct FindingsHistory {
    explicit FindingsHistory(const std::string& backend) : database(backend) {}
    ResultsDatabase database;
    ScratchDirectory& scratch = database.scratch;
    std::string path = database.target;

    /// Converts `report` as a run and loads its log and its script (the log first when
    /// `logFirst`); returns the load's output.
    ProgramResult add(const std::string& hash, const std::string& report, const std::string& date,
                      const std::string& time = "02:00:00", std::vector<std::string> more = {},
                      const std::string& project = "Ecu") {
        const std::string run = convertRun(scratch, "TargetA", project, hash, report, date, time);
        std::vector<std::string> arguments = {"load", "--database=" + path, run + ".sarif",
                                              run + ".sql"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const ProgramResult loaded = history(arguments);
        EXPECT_EQ(loaded.status, 0) << loaded.errors;
        return loaded;
    }

    ProgramResult run(const std::string& command, std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {command, "--database=" + path, "--platform=TargetA",
                                              "--project=Ecu"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return history(arguments);
    }

    nlohmann::json gateJson(std::vector<std::string> more = {}) {
        more.push_back("--format=json");
        const ProgramResult gated = run("gate", more);
        EXPECT_LE(gated.status, 1) << gated.errors;
        return nlohmann::json::parse(gated.console);
    }
};

/// "file:line number" of each finding of a JSON list.
inline std::vector<std::string> places(const nlohmann::json& findings) {
    std::vector<std::string> found;
    for (const nlohmann::json& finding : findings) {
        found.push_back(finding["file"].get<std::string>() + ":" +
                        std::to_string(finding["line"].get<int>()) + " " +
                        std::to_string(finding["number"].get<int>()));
    }
    return found;
}

using Places = std::vector<std::string>;

} // namespace vendrik::test_support
