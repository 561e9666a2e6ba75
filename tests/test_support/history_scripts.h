#pragma once

#include "history/store/store.h"

#include <string>
#include <vector>

namespace vendrik::test_support {

/// A converter script of `run` with one row per file of `rows`, as the converter writes it.
std::string scriptOf(const history::RunKey& run, const std::vector<history::FileRow>& rows);

/// A row of `file` with all_errors `all`, of which `his` are HIS findings and the rest of
/// priority `priority`.
history::FileRow fileRow(const std::string& file, std::int64_t all, std::int64_t his = 0,
                         std::size_t priority = 3);

/// A finding of the converter's SARIF log as a test gives it: file (as the report names it,
/// "Src\\Src_NV\\a.c"), line, priority, message number, text.
struct LogFinding {
    std::string file;
    std::uint32_t line = 0;
    std::uint32_t priority = 3;
    std::uint32_t number = 2000;
    std::string text = "t";
};

/// The converter's SARIF log of `run` with `findings`, as its writer makes it.
std::string logOf(const history::RunKey& run, const std::vector<LogFinding>& findings);

/// How often `part` occurs in `text`, overlaps counted.
std::size_t occurrences(const std::string& text, const std::string& part);

/// The path of a results database in a folder of its own, removed with the object.
struct TemporaryDatabase {
    TemporaryDatabase();
    ~TemporaryDatabase();
    TemporaryDatabase(const TemporaryDatabase&) = delete;
    TemporaryDatabase& operator=(const TemporaryDatabase&) = delete;
    std::string folder;
    std::string path;
};

} // namespace vendrik::test_support
