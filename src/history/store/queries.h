#pragma once

#include "history/store/session.h"

#include <optional>
#include <string>
#include <vector>

namespace vendrik::history {

// The store's reading queries that both backends run as they are, over a session (see
// HistoryStore for what each returns).

std::vector<RunKey> passedRuns(SqlSession& session, const std::string& platform,
                               const std::string& project, const std::string& branch);

/// `origin`: how to read the findings' origins (see findingsAt).
std::optional<std::vector<TrackedFinding>> storedFindings(SqlSession& session, const RunKey& run,
                                                          const std::string& branch,
                                                          const std::string& origin);

/// The findings of `run` on `branch`, which only its SARIF log recorded, counted per file and
/// named as the converter's script names a file (platform, "\\" and its path), by name.
std::vector<FileRow> loggedFiles(SqlSession& session, const RunKey& run, const std::string& branch);

std::vector<std::vector<std::int64_t>> fileTrends(SqlSession& session,
                                                  const std::vector<RunTotals>& runs,
                                                  const std::vector<std::string>& filenames);

} // namespace vendrik::history
