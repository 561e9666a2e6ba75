#pragma once

#include "history/run_comparison.h"

#include <ostream>

namespace vendrik::history {

/// Writes head's findings as a SARIF 2.1.0 log for code review, each result with its
/// baselineState against base: "new", "unchanged", "updated" (kept, but on another line or
/// with another priority) or "absent" (base's fixed findings, at their base location). The
/// results have the converter's shape: rule id, level by priority band, message, location
/// relative to SRCROOT, fingerprint, priority and his. Without a base run, head's findings
/// carry no baseline state: a missing baseline does not make them new. `comparison` must
/// have its findings.
/// Head's findings that a decision suppresses carry a suppression (kind external, status
/// accepted, the reason as justification); with `omitSuppressed` they are left out, for the
/// code-scanning services that read no suppressions.
void writeBaselineLog(std::ostream& out, const Comparison& comparison, bool omitSuppressed = false);

} // namespace vendrik::history
