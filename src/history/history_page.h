#pragma once

#include "history/history_store.h"

#include <ostream>

namespace vendrik::history {

/// Writes one self-contained HTML page of the history in `store`: for each platform and
/// project, the trend of the totals by band and HIS over its runs (hovering a point shows
/// hash, date and time), its runs, the files with most findings in the newest run with a
/// small trend each, and the newest comparison. It loads nothing from elsewhere.
void writeHistoryPage(std::ostream& out, HistoryStore& store);

} // namespace vendrik::history
