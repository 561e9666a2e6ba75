#pragma once

#include "output/export_text.h"
#include "parse/report_reader.h"

#include <string_view>

namespace vendrik {

/// What a SARIF log says of the run beside its findings.
struct SarifRun {
    std::string_view platform;
    std::string_view project;
    std::string_view hash; ///< empty: the log has no version-control provenance
    std::string_view date; ///< the run's stamp, as the SQL script of the run writes it
    std::string_view time;
};

/// Writes a SARIF 2.1.0 log of the findings of `list` to `sink`, in pieces: one run whose
/// driver is the analyser (QAC 8.1.2.R) and whose conversion names this program; one rule
/// per message number, in number order; one result per finding, in list order, with its
/// level from its priority band (8-9 error, 5-7 warning, 0-4 note), its file as a URI
/// relative to the base id SRCROOT (the folder that holds Src), its line when it is 1 or
/// more, and its fingerprint (see ReviewFinding). The run's properties name it as its SQL
/// script does: platform, project, githash, date and time. Returns false when the sink fails.
bool writeSarifLog(const FindingsList& list, const SarifRun& run, const TextSink& sink);

} // namespace vendrik
