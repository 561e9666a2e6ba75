#pragma once

#include "output/export_text.h"
#include "output/review_findings.h"
#include "parse/report_reader.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace vendrik {

/// What a SARIF log says of the run beside its findings.
/// The shape of a result, shared by every SARIF log the programs write and read: the level of
/// each priority band (8-9, 5-7, 0-4, see bandName), and the key of the partial fingerprint.
inline constexpr std::array<const char*, 3> sarifLevels = {"error", "warning", "note"};
inline constexpr const char* fingerprintKey = "vendrikFinding/v1";

struct SarifRun {
    std::string_view platform;
    std::string_view project;
    std::string_view hash; ///< empty: none
    std::string_view date; ///< the run's stamp, as the SQL script of the run writes it
    std::string_view time;
    std::string_view category = {};      ///< automationDetails.id is category + "/" when set
    std::string_view repositoryUri = {}; ///< empty: the log has no version-control provenance
    std::string_view branch = {};        ///< empty: none
    std::optional<std::size_t> cap = {}; ///< --review_max_findings, when given as a number
    std::string_view startTimeUtc = {};  ///< ISO 8601; empty: not known
};

/// Writes a SARIF 2.1.0 log of the findings of `list` to `sink`, in pieces: one run whose
/// driver is the analyser (QAC 8.1.2.R) and whose conversion names this program; one rule
/// per message number of its results, in number order, from all of them (see RuleFacts); one result
/// per finding, in list order, with its level from its priority band (8-9 error, 5-7 warning, 0-4
/// note), its file as a URI relative to the base id SRCROOT (the folder that holds Src), its line
/// when it is 1 or more, and its fingerprint (see ReviewFinding). The run's properties name it as
/// its SQL script does: platform, project, githash, date and time, and its branch when given.
/// automationDetails.id is "vendrik/<platform>/<project>/", or the category and "/".
/// versionControlProvenance (repository as a URI reference, see uriReference; hash as
/// revisionId; branch as a ref: "main" gives "refs/heads/main") is there only with a
/// repository URI. invocations[0] says the conversion
/// succeeded, and when it started. Only the findings that `selection` keeps are results; with a
/// cap, the properties reviewMaxFindings and omittedFindings say so, and when findings were left
/// out, a warning of invocations[0] says how many. `artifacts` lists the files of the results.
/// Returns false when the sink fails.
bool writeSarifLog(const FindingsList& list, const SarifRun& run, const TextSink& sink,
                   const ReviewSelection& selection = {});

} // namespace vendrik
