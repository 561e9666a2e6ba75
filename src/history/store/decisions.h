#pragma once

#include "history/store/session.h"
#include "history/store/store.h"

#include <string>
#include <vector>

namespace vendrik::history {

// The table vendrik_history_decisions: every decision on a finding as one row, appended and
// never changed, in the order of its sequence. The decision in force on a finding is the
// newest one made on it or on the same finding in another run (the one with its origin).

/// Appends `decisions` within the caller's transaction; an empty author is `author`.
void insertDecisions(SqlSession& session, const std::vector<Decision>& decisions,
                     const std::string& author);

/// Every decision of the series, oldest first, each finding with the origin that its spans
/// give it in its run. (The table is made with the findings' origins: both are there.)
std::vector<Decision> storedDecisions(SqlSession& session, const std::string& platform,
                                      const std::string& project, const std::string& branch);

} // namespace vendrik::history
