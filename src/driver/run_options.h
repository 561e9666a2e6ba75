#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vendrik {

/// The command line's options. The flags record which options were present; the run is
/// steered by the values alone.
struct RunOptions {
    bool branchGiven = false;
    bool codequalityOutputGiven = false;
    bool hashValueGiven = false;
    bool helpGiven = false;
    bool historySarifOutputGiven = false;
    bool inputGiven = false;
    bool outputGiven = false;
    bool platformGiven = false;
    bool repositoryUriGiven = false;
    bool reviewCategoryGiven = false;
    bool reviewMaxFindingsGiven = false;
    bool sarifOutputGiven = false;
    bool sqlConfigGiven = false;
    bool typNameGiven = false;
    bool typVarGiven = false;
    std::string branch;
    std::string codequalityOutput;
    std::string hashValue;
    std::string historySarifOutput;
    std::string input;
    std::string output;
    std::string platform;
    std::string repositoryUri;
    std::string reviewCategory;
    std::string reviewMaxFindings;
    std::string sarifOutput;
    std::string sqlConfig;
    std::string typName;
    std::string typVar;
};

/// Fills `options` from the whole argument list, program path included. For each valued
/// option (--platform, --input, --output, --typ_name, --typ_var, --sql_config,
/// --hash_value, --sarif_output, --codequality_output, --review_max_findings,
/// --review_category, --repository_uri, --branch, --history_sarif_output) the first argument that
/// contains the name anywhere sets its flag, and its value is what follows the first (name length +
/// 1) characters of that argument, verbatim; an argument no longer than that gives an empty value.
/// --help is recognised only as a whole argument. Anything else is ignored; parsing never fails.
void parseRunOptions(RunOptions& options, const std::vector<std::string>& arguments);

/// The cap on the findings of the review exports: --review_max_findings when its value is a
/// whole number of at most nine digits (0 keeps none), else nothing (all findings).
std::optional<std::size_t> reviewCap(const RunOptions& options);

/// True when `sqlConfig` is exactly "SQL" (case-sensitive) and `hashValue` is not empty: the
/// run writes the SQL script instead of the summary.
bool sqlModeSelected(const RunOptions& options);

} // namespace vendrik
