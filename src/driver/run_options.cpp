#include "driver/run_options.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vendrik {

namespace {

struct ValuedOption {
    std::string_view name;
    bool RunOptions::*given;
    std::string RunOptions::*value;
};

constexpr std::array<ValuedOption, 14> valuedOptions = {{
    {"--branch", &RunOptions::branchGiven, &RunOptions::branch},
    {"--codequality_output", &RunOptions::codequalityOutputGiven, &RunOptions::codequalityOutput},
    {"--hash_value", &RunOptions::hashValueGiven, &RunOptions::hashValue},
    {"--history_sarif_output", &RunOptions::historySarifOutputGiven,
     &RunOptions::historySarifOutput},
    {"--input", &RunOptions::inputGiven, &RunOptions::input},
    {"--output", &RunOptions::outputGiven, &RunOptions::output},
    {"--platform", &RunOptions::platformGiven, &RunOptions::platform},
    {"--repository_uri", &RunOptions::repositoryUriGiven, &RunOptions::repositoryUri},
    {"--review_category", &RunOptions::reviewCategoryGiven, &RunOptions::reviewCategory},
    {"--review_max_findings", &RunOptions::reviewMaxFindingsGiven, &RunOptions::reviewMaxFindings},
    {"--sarif_output", &RunOptions::sarifOutputGiven, &RunOptions::sarifOutput},
    {"--sql_config", &RunOptions::sqlConfigGiven, &RunOptions::sqlConfig},
    {"--typ_name", &RunOptions::typNameGiven, &RunOptions::typName},
    {"--typ_var", &RunOptions::typVarGiven, &RunOptions::typVar},
}};

} // namespace

void parseRunOptions(RunOptions& options, const std::vector<std::string>& arguments) {
    options.helpGiven = std::find(arguments.begin(), arguments.end(), "--help") != arguments.end();
    for (const ValuedOption& option : valuedOptions) {
        const auto found =
            std::find_if(arguments.begin(), arguments.end(), [&](const std::string& argument) {
                return argument.find(option.name) != std::string::npos;
            });
        if (found == arguments.end()) {
            continue;
        }
        options.*option.given = true;
        const std::size_t valueStart = option.name.size() + 1;
        if (found->size() > valueStart) {
            options.*option.value = found->substr(valueStart);
        }
    }
}

std::optional<std::size_t> reviewCap(const RunOptions& options) {
    const std::string& value = options.reviewMaxFindings;
    if (value.empty() || value.size() > 9 ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(std::stoul(value));
}

bool sqlModeSelected(const RunOptions& options) {
    return options.sqlConfig == "SQL" && !options.hashValue.empty();
}

} // namespace vendrik
