#pragma once

#include "end_to_end/program_run.h"

#include <gtest/gtest.h>

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

/// A report line of the project: "D:\w\Src\Src_NV\" + file, line, priority, number, text.
std::string reportLine(const std::string& file, int line, int priority, int number,
                       const std::string& text);

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

} // namespace vendrik::test_support
