#pragma once

#include "output/export_text.h"
#include "output/review_findings.h"
#include "parse/report_reader.h"

namespace vendrik {

/// Writes a GitLab Code Quality report of the findings of `list` to `sink`, in pieces: a JSON
/// array of one issue per finding, in list order, with the message text as description, the
/// message number as check name, the finding's fingerprint (see ReviewFinding), a severity
/// from its priority band (8-9 critical, 5-7 major, 0-4 minor), the category "Complexity" for
/// a HIS finding, and its path inside the source root (see insideRoot), from line 1 or more
/// (line 0 gives 1).
/// Only the findings that `selection` keeps are issues. Returns false when the sink fails.
bool writeCodeQuality(const FindingsList& list, const TextSink& sink,
                      const ReviewSelection& selection = {});

} // namespace vendrik
