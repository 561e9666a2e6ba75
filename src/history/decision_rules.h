#pragma once

#include "history/store/store.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrik::history {

/// The states a decision can give a finding, as triage set and rules files name them.
inline constexpr std::array<std::string_view, 4> decisionStates = {"confirmed", "false-positive",
                                                                   "accepted", "deviation"};

/// One rule of a rules file: its selectors, all of which must match a finding, and the
/// decision it gives.
struct DecisionRule {
    int line = 0; ///< where the rule starts in its file, from 1
    std::optional<std::string> fingerprint;
    std::optional<std::string> file; ///< a glob: * and ? within a folder, [...] as in a shell
    std::optional<std::int64_t> number;
    std::optional<std::string>
        misra; ///< a part of the finding's reference, or its end ("Rule-15.7")
    std::optional<std::string> text; ///< a part of the message text
    std::optional<std::string> platform;
    std::optional<std::string> project;
    std::optional<std::string> branch;
    std::string state;
    std::string reason;
    std::string record;
    std::string expires; ///< "YYYY-MM-DD" or empty
    std::string approver;
};

/// A rules file: `rules:`, a list of rules, each a map of the keys fingerprint, file, number,
/// misra, text, platform, project, branch (the selectors: at least one of the first five),
/// state, reason (not empty), record (a deviation's, which needs one), expires (YYYY-MM-DD)
/// and approver.
struct DecisionRules {
    std::string path;
    std::vector<DecisionRule> rules;
};

/// Reads the rules file at `path` whole; throws StoreError "PATH:LINE: what is wrong" for a
/// file that cannot be read or parsed, an unknown key, a value of the wrong kind, a bad date
/// or state, a missing reason or record, or a rule without a selector.
DecisionRules readDecisionRules(const std::string& path);

/// True when every selector of `rule` matches `finding` of the series (platform, project,
/// branch).
bool selects(const DecisionRule& rule, const TrackedFinding& finding, const std::string& platform,
             const std::string& project, const std::string& branch);

/// True for a real date written YYYY-MM-DD.
bool isDate(const std::string& text);

/// Throws StoreError for a decision that cannot be recorded: an unknown state, an empty
/// reason, a deviation without a record or a record without a deviation, or a bad expiry;
/// `where` starts the message ("--state" for the command line, "PATH:LINE" for a rule).
void checkDecision(const std::string& where, const std::string& state, const std::string& reason,
                   const std::string& record, const std::string& expires);

} // namespace vendrik::history
