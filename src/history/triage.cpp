#include "history/triage.h"

#include "history/run_comparison.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace vendrik::history {

namespace {

/// `date` (YYYY-MM-DD) moved by `days`.
std::string daysAfter(const std::string& date, int days) {
    using namespace std::chrono;
    const year_month_day day{year(std::stoi(date.substr(0, 4))),
                             month(static_cast<unsigned>(std::stoi(date.substr(5, 2)))),
                             std::chrono::day(static_cast<unsigned>(std::stoi(date.substr(8, 2))))};
    const year_month_day moved{sys_days(day) + std::chrono::days(days)};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(moved.year()),
                  static_cast<unsigned>(moved.month()), static_cast<unsigned>(moved.day()));
    return text;
}

std::string utcFormatted(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

} // namespace

AppliedDecision decisionOfRule(const DecisionRule& rule, const std::string& rulesPath) {
    AppliedDecision applied;
    applied.decision.state = rule.state;
    applied.decision.reason = rule.reason;
    applied.decision.record = rule.record;
    applied.decision.expires = rule.expires;
    applied.decision.approver = rule.approver;
    applied.source = "rules " + rulesPath + ":" + std::to_string(rule.line);
    return applied;
}

bool AppliedDecision::suppresses() const {
    return !expired && decision.state != "confirmed";
}

std::string AppliedDecision::label() const {
    return decision.state + (expired ? " (expired " + decision.expires + ")" : "");
}

std::string todayUtc() {
    return utcFormatted("%Y-%m-%d");
}

std::string nowUtc() {
    return utcFormatted("%Y-%m-%dT%H:%M:%SZ");
}

Triage triageFindings(const std::vector<TrackedFinding>& findings,
                      const std::vector<Decision>& stored, const DecisionRules& rules,
                      const std::string& platform, const std::string& project,
                      const std::string& branch, const std::string& today, int warningDays) {
    // The newest decision made on each origin is the one in force.
    std::unordered_map<std::string, const Decision*> inForce;
    for (const Decision& decision : stored) {
        if (!decision.finding.origin.empty()) {
            inForce[decision.finding.origin] = &decision;
        }
    }
    Triage triage;
    triage.decided.resize(findings.size());
    std::unordered_set<std::string_view> originsPresent;
    std::vector<bool> ruleUsed(rules.rules.size(), false);
    // Rules by fingerprint are looked up; the others are tried on every finding.
    std::unordered_multimap<std::string_view, std::size_t> byFingerprint;
    std::vector<std::size_t> others;
    for (std::size_t index = 0; index < rules.rules.size(); ++index) {
        if (const auto& print = rules.rules[index].fingerprint) {
            byFingerprint.emplace(*print, index);
        } else {
            others.push_back(index);
        }
    }
    // One applied decision per rule and per stored decision, shared by the findings it is on.
    std::vector<std::shared_ptr<const AppliedDecision>> ofRule(rules.rules.size());
    std::unordered_map<const Decision*, std::shared_ptr<const AppliedDecision>> ofStored;
    const auto made = [&today](AppliedDecision applied) {
        applied.expired = !applied.decision.expires.empty() && applied.decision.expires < today;
        return std::make_shared<const AppliedDecision>(std::move(applied));
    };
    const std::string warnUntil = daysAfter(today, warningDays);
    triage.warnUntil = warnUntil;
    triage.rulesPath = rules.path;
    for (std::size_t at = 0; at < findings.size(); ++at) {
        const TrackedFinding& finding = findings[at];
        originsPresent.insert(finding.origin);
        const DecisionRule* chosen = nullptr;
        std::vector<std::size_t> candidates;
        const auto [first, last] = byFingerprint.equal_range(finding.fingerprint);
        for (auto at = first; at != last; ++at) {
            candidates.push_back(at->second);
        }
        candidates.insert(candidates.end(), others.begin(), others.end());
        std::sort(candidates.begin(), candidates.end()); // in file order
        for (const std::size_t index : candidates) {
            const DecisionRule& rule = rules.rules[index];
            if (!selects(rule, finding, platform, project, branch)) {
                continue;
            }
            ruleUsed[index] = true;
            if (chosen != nullptr && chosen->state != rule.state) {
                throw StoreError(rules.path + ":" + std::to_string(chosen->line) + " and " +
                                 rules.path + ":" + std::to_string(rule.line) + " give " +
                                 finding.file + ":" + std::to_string(finding.line) + " (" +
                                 finding.fingerprint + ") different states");
            }
            chosen = chosen != nullptr ? chosen : &rule;
        }
        std::shared_ptr<const AppliedDecision>& applied = triage.decided[at];
        if (chosen != nullptr) {
            auto& shared = ofRule[static_cast<std::size_t>(chosen - rules.rules.data())];
            applied = shared ? shared : (shared = made(decisionOfRule(*chosen, rules.path)));
        } else if (const auto found = inForce.find(finding.origin); found != inForce.end()) {
            auto& shared = ofStored[found->second];
            applied = shared ? shared
                             : (shared = made(AppliedDecision{*found->second, "database", false}));
        }
        if (applied && applied->suppresses() && !applied->decision.expires.empty() &&
            applied->decision.expires <= warnUntil) {
            triage.expiring.push_back(at);
        }
    }
    for (const auto& [origin, decision] : inForce) {
        if (originsPresent.count(origin) == 0) {
            triage.staleStored.push_back(*decision);
        }
    }
    for (const Decision& decision : stored) { // on a run the spans no longer hold
        if (decision.finding.origin.empty()) {
            triage.staleStored.push_back(decision);
        }
    }
    std::sort(triage.staleStored.begin(), triage.staleStored.end(),
              [](const Decision& a, const Decision& b) { return a.sequence < b.sequence; });
    for (std::size_t index = 0; index < rules.rules.size(); ++index) {
        const DecisionRule& rule = rules.rules[index];
        const bool ofSeries = (!rule.platform || *rule.platform == platform) &&
                              (!rule.project || *rule.project == project) &&
                              (!rule.branch || *rule.branch == branch);
        if (ofSeries && !ruleUsed[index]) {
            triage.staleRules.push_back(rule);
        }
    }
    return triage;
}

std::string todayOf(const DecisionInputs& inputs) {
    return inputs.today.empty() ? todayUtc() : inputs.today;
}

Triage triageOf(HistoryStore& store, const DecisionInputs& inputs, const RunKey& run,
                const std::string& branch, const std::vector<TrackedFinding>& findings) {
    const DecisionRules rules =
        inputs.rulesFile ? readDecisionRules(*inputs.rulesFile) : DecisionRules{};
    const std::vector<Decision> stored = store.decisions(run.platform, run.project, branch);
    return triageFindings(findings, stored, rules, run.platform, run.project, branch,
                          todayOf(inputs), inputs.expiryWarning);
}

void applyDecisions(HistoryStore& store, const DecisionInputs& inputs, const std::string& branch,
                    Comparison& comparison) {
    if (!comparison.findings) {
        return;
    }
    FindingChanges& changes = *comparison.findings;
    const DecisionRules rules =
        inputs.rulesFile ? readDecisionRules(*inputs.rulesFile) : DecisionRules{};
    const std::vector<Decision> stored =
        store.decisions(comparison.head.platform, comparison.head.project, branch);
    if (stored.empty() && !inputs.rulesFile) {
        return; // nothing to apply: outputs as without decisions
    }
    Triage triage =
        triageFindings(changes.head, stored, rules, comparison.head.platform,
                       comparison.head.project, branch, todayOf(inputs), inputs.expiryWarning);
    if (inputs.rulesFile || !triage.staleStored.empty() ||
        std::any_of(triage.decided.begin(), triage.decided.end(),
                    [](const auto& decided) { return decided != nullptr; })) {
        changes.triage = std::move(triage);
    }
}

} // namespace vendrik::history
