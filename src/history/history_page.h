#pragma once

#include "history/history_store.h"

#include <optional>
#include <ostream>
#include <string>

namespace vendrik::history {

/// Writes one self-contained HTML page of the history in `store` (of the runs of `branch`
/// when given): an overview with a row per platform, project and branch (the newest run's
/// total, its change since the previous run with another hash, in new and fixed findings
/// where both logs are loaded, and a small trend, linked to its section); then for each, a
/// headline with the same figures, the newest run's new and fixed findings (the first 100
/// of each, then how many more), the trend of the totals by band and HIS over
/// its runs (hovering a point shows hash, date and time), its runs, the files with most findings in
/// the newest run with a small trend each, and the newest comparison. It loads nothing from
/// elsewhere.
void writeHistoryPage(std::ostream& out, HistoryStore& store,
                      const std::optional<std::string>& branch = std::nullopt);

} // namespace vendrik::history
