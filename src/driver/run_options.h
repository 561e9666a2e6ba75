#pragma once

#include <string>
#include <vector>

namespace vendrik {

/// The command line's options. The flags record which options were present; the run is
/// steered by the values alone.
struct RunOptions {
    bool codequalityOutputGiven = false;
    bool hashValueGiven = false;
    bool helpGiven = false;
    bool inputGiven = false;
    bool outputGiven = false;
    bool platformGiven = false;
    bool sarifOutputGiven = false;
    bool sqlConfigGiven = false;
    bool typNameGiven = false;
    bool typVarGiven = false;
    std::string codequalityOutput;
    std::string hashValue;
    std::string input;
    std::string output;
    std::string platform;
    std::string sarifOutput;
    std::string sqlConfig;
    std::string typName;
    std::string typVar;
};

/// Fills `options` from the whole argument list, program path included. For each valued
/// option (--platform, --input, --output, --typ_name, --typ_var, --sql_config,
/// --hash_value, --sarif_output, --codequality_output) the first argument that contains the name
/// anywhere sets its flag, and its value is what follows the first (name length + 1) characters of
/// that argument, verbatim; an argument no longer than that gives an empty value. --help is
/// recognised only as a whole argument. Anything else is ignored; parsing never fails.
void parseRunOptions(RunOptions& options, const std::vector<std::string>& arguments);

/// True when `sqlConfig` is exactly "SQL" (case-sensitive) and `hashValue` is not empty: the
/// run writes the SQL script instead of the summary.
bool sqlModeSelected(const RunOptions& options);

} // namespace vendrik
