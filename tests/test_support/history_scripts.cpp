#include "test_support/history_scripts.h"

#include "output/sarif_log.h"
#include "output/sql_script.h"
#include "test_support/findings.h"

#include <cstdlib>
#include <filesystem>

namespace vendrik::test_support {

std::string scriptOf(const history::RunKey& run, const std::vector<history::FileRow>& rows) {
    std::string script = std::string(sqlSchemaStatement) + "\n";
    for (const history::FileRow& row : rows) {
        script += std::string(sqlInsertHead) + sqlValue(run.platform) + ", " +
                  sqlValue(run.project) + ", " + sqlValue("QAC 8.1.2.R") + ", " +
                  sqlValue(run.githash) + ", " + sqlValue(run.date) + ", " + sqlValue(run.time) +
                  ", " + sqlValue(row.filename);
        for (const std::int64_t count : row.counters) {
            script += ", \"" + std::to_string(count) + "\"";
        }
        script += ");\n";
    }
    return script;
}

std::string logOf(const history::RunKey& run, const std::vector<LogFinding>& findings) {
    std::vector<Finding> records;
    for (const LogFinding& finding : findings) {
        records.push_back(testFinding(finding.file, finding.line, finding.priority, finding.number,
                                      finding.text));
    }
    const FindingsList list = sortedList(std::move(records));
    std::string log;
    writeSarifLog(list, {run.platform, run.project, run.githash, run.date, run.time},
                  [&](std::string_view piece) {
                      log += piece;
                      return true;
                  });
    return log;
}

history::FileRow fileRow(const std::string& file, std::int64_t all, std::int64_t his,
                         std::size_t priority) {
    history::FileRow row{file, {}};
    row.counters[0] = all;
    row.counters[1 + priority] = all - his;
    row.counters[11] = his;
    return row;
}

TemporaryDatabase::TemporaryDatabase() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vendrik-db-XXXXXX").string();
    folder = mkdtemp(pattern.data()) ? pattern : "";
    path = folder + "/results.db";
}

TemporaryDatabase::~TemporaryDatabase() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

} // namespace vendrik::test_support
