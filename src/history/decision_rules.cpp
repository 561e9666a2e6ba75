#include "history/decision_rules.h"

#include "history/yaml_file.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <fnmatch.h>

namespace vendrik::history {

namespace {

DecisionRule ruleOf(const std::string& path, const YAML::Node& node) {
    if (!node.IsMap()) {
        refuse(path, node.Mark(), "a rule must be a map of keys and values");
    }
    DecisionRule rule;
    rule.line = node.Mark().line + 1;
    for (const auto& entry : node) {
        const std::string key = scalarOf(path, "a key", entry.first);
        const std::string value = scalarOf(path, key, entry.second);
        std::optional<std::string>* selector = key == "fingerprint" ? &rule.fingerprint
                                               : key == "file"      ? &rule.file
                                               : key == "misra"     ? &rule.misra
                                               : key == "text"      ? &rule.text
                                               : key == "platform"  ? &rule.platform
                                               : key == "project"   ? &rule.project
                                               : key == "branch"    ? &rule.branch
                                                                    : nullptr;
        std::string* field = key == "state"      ? &rule.state
                             : key == "reason"   ? &rule.reason
                             : key == "record"   ? &rule.record
                             : key == "expires"  ? &rule.expires
                             : key == "approver" ? &rule.approver
                                                 : nullptr;
        if (selector != nullptr) {
            *selector = value;
        } else if (field != nullptr) {
            *field = value;
        } else if (key == "number") {
            std::int64_t number = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), number);
            if (error != std::errc() || end != value.data() + value.size() || number < 0) {
                refuse(path, entry.second.Mark(), "number: not a message number: " + value);
            }
            rule.number = number;
        } else {
            refuse(path, entry.first.Mark(), "unknown key '" + key + "'");
        }
    }
    if (!rule.fingerprint && !rule.file && !rule.number && !rule.misra && !rule.text) {
        refuse(path, node.Mark(),
               "a rule needs a selector: fingerprint, file, number, misra or text");
    }
    try {
        checkDecision("", rule.state, rule.reason, rule.record, rule.expires);
    } catch (const StoreError& error) {
        refuse(path, node.Mark(), error.what());
    }
    return rule;
}

} // namespace

bool isDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    const char* at = text.data();
    const bool digits = std::all_of(text.begin(), text.end(),
                                    [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
    if (!digits || std::from_chars(at, at + 4, year).ec != std::errc() ||
        std::from_chars(at + 5, at + 7, month).ec != std::errc() ||
        std::from_chars(at + 8, at + 10, day).ec != std::errc()) {
        return false;
    }
    return std::chrono::year_month_day(std::chrono::year(year), std::chrono::month(month),
                                       std::chrono::day(day))
        .ok();
}

void checkDecision(const std::string& where, const std::string& state, const std::string& reason,
                   const std::string& record, const std::string& expires) {
    const std::string prefix = where.empty() ? "" : where + ": ";
    if (std::find(decisionStates.begin(), decisionStates.end(), state) == decisionStates.end()) {
        throw StoreError(prefix + "state: '" + state +
                         "' is none of confirmed, false-positive, accepted, deviation");
    }
    if (blank(reason)) {
        throw StoreError(prefix + "a decision needs a reason");
    }
    if (state == "deviation" && blank(record)) {
        throw StoreError(prefix + "a deviation needs its record (such as DEV-012)");
    }
    if (state != "deviation" && !record.empty()) {
        throw StoreError(prefix + "a record is for a deviation only");
    }
    if (!expires.empty() && !isDate(expires)) {
        throw StoreError(prefix + "expires: not a date (YYYY-MM-DD): " + expires);
    }
}

DecisionRules readDecisionRules(const std::string& path) {
    const YAML::Node root = readYamlFile(path, "rules file");
    if (!root.IsMap() || root.size() != 1 || !root["rules"]) {
        throw StoreError(path + ":1: a rules file is a map with the one key 'rules'");
    }
    const YAML::Node list = root["rules"];
    if (!list.IsSequence()) {
        refuse(path, list.Mark(), "rules: a list of rules");
    }
    DecisionRules rules{path, {}};
    for (const YAML::Node& node : list) {
        rules.rules.push_back(ruleOf(path, node));
    }
    return rules;
}

bool selects(const DecisionRule& rule, const TrackedFinding& finding, const std::string& platform,
             const std::string& project, const std::string& branch) {
    const auto is = [](const std::optional<std::string>& wanted, const std::string& value) {
        return !wanted || *wanted == value;
    };
    // Each part of a compound reference ("A; B") is matched on its own.
    const auto namesRule = [&](std::string_view wanted) {
        std::string_view rest = finding.reference;
        while (true) {
            const std::size_t end = rest.find("; ");
            const std::string_view reference = rest.substr(0, end);
            if (reference == wanted ||
                (reference.size() > wanted.size() && reference.ends_with(wanted) &&
                 reference[reference.size() - wanted.size() - 1] == ' ')) {
                return true;
            }
            if (end == std::string_view::npos) {
                return false;
            }
            rest.remove_prefix(end + 2);
        }
    };
    return is(rule.platform, platform) && is(rule.project, project) && is(rule.branch, branch) &&
           is(rule.fingerprint, finding.fingerprint) &&
           (!rule.number || *rule.number == finding.number) &&
           (!rule.file || fnmatch(rule.file->c_str(), finding.file.c_str(), FNM_PATHNAME) == 0) &&
           (!rule.text || finding.text.find(*rule.text) != std::string::npos) &&
           (!rule.misra || namesRule(*rule.misra));
}

} // namespace vendrik::history
