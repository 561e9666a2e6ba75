#pragma once

#include "history/decision_rules.h"
#include "history/store/store.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vendrik::history {

/// A decision as it applies to a finding of a run: from the database or from a rule.
struct AppliedDecision {
    Decision decision;    ///< for a rule: its state, reason, record, expiry and approver
    std::string source;   ///< "database", or "rules PATH:LINE"
    bool expired = false; ///< its expiry date is before today

    /// False positive, accepted or deviation, and not expired: not counted by a gate.
    bool suppresses() const;

    /// The state as outputs name it: "false-positive", or "accepted (expired 2026-11-30)".
    std::string label() const;
};

/// The decision that `rule`, of the rules file at `rulesPath`, gives.
AppliedDecision decisionOfRule(const DecisionRule& rule, const std::string& rulesPath);

/// The decisions that apply to the findings of one run of a series, and those that apply to
/// none of them.
struct Triage {
    /// one per finding, in their order; findings with one decision share it
    std::vector<std::shared_ptr<const AppliedDecision>> decided;
    std::vector<Decision> staleStored;    ///< in force, on no finding of the run
    std::vector<DecisionRule> staleRules; ///< of the series, selecting no finding of the run
    std::vector<std::size_t> expiring;    ///< findings whose suppression ends by warnUntil
    std::string warnUntil;                ///< today and the days of warning, YYYY-MM-DD
    std::string rulesPath;                ///< the rules file's, for the stale rules
};

/// The decision in force on each of `findings`, a run of the series (platform, project,
/// branch), on `today` (YYYY-MM-DD): the rule of `rules` that selects it, else the newest of
/// `stored` (oldest first) made on its origin. Rules win: a finding that rules give two
/// states refuses the rules file (StoreError naming both lines). Suppressions that end within
/// `warningDays` of today are listed as expiring.
Triage triageFindings(const std::vector<TrackedFinding>& findings,
                      const std::vector<Decision>& stored, const DecisionRules& rules,
                      const std::string& platform, const std::string& project,
                      const std::string& branch, const std::string& today, int warningDays);

/// What reads decisions: the rules file (--decisions), the date that expiry is judged on
/// (--today, default today in UTC) and the days of warning before a suppression ends.
struct DecisionInputs {
    std::optional<std::string> rulesFile;
    std::string today;
    int expiryWarning = 30;
};

/// The day that `inputs` judge expiry on: --today, else today in UTC.
std::string todayOf(const DecisionInputs& inputs);

/// The decisions of the database and the rules file of `inputs` that apply to `findings`, of
/// `run` on `branch` (see triageFindings).
Triage triageOf(HistoryStore& store, const DecisionInputs& inputs, const RunKey& run,
                const std::string& branch, const std::vector<TrackedFinding>& findings);

struct Comparison;

/// Applies the decisions of the database and the rules file to head's findings in
/// `comparison`, where it has them and there is any decision to apply.
void applyDecisions(HistoryStore& store, const DecisionInputs& inputs, const std::string& branch,
                    Comparison& comparison);

/// Today in UTC as YYYY-MM-DD.
std::string todayUtc();

/// Now in UTC: "2026-12-09T09:30:00Z".
std::string nowUtc();

} // namespace vendrik::history
