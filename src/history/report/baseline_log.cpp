#include "history/report/baseline_log.h"

#include "output/json_text.h"
#include "output/sarif_log.h"

#include <nlohmann/json.hpp>

#include <map>

namespace vendrik::history {

namespace {

using nlohmann::json;

json resultOf(const TrackedFinding& finding, const char* state, std::size_t ruleIndex) {
    std::string uri;
    appendUriPath(uri, finding.file);
    json location = {{"artifactLocation", {{"uri", uri}, {"uriBaseId", "SRCROOT"}}}};
    if (finding.line >= 1) {
        location["region"] = {{"startLine", finding.line}};
    }
    return {{"ruleId", std::to_string(finding.number)},
            {"ruleIndex", ruleIndex},
            {"level", bandName(static_cast<std::uint32_t>(finding.priority), sarifLevels)},
            {"message", {{"text", finding.text}}},
            {"locations", json::array({{{"physicalLocation", location}}})},
            {"partialFingerprints", {{fingerprintKey, finding.fingerprint}}},
            {"baselineState", state},
            {"properties", {{"priority", finding.priority}, {"his", finding.his}}}};
}

/// `result` without its baseline state: nothing to compare with.
json withoutState(json result) {
    result.erase("baselineState");
    return result;
}

json runJson(const RunKey& run) {
    return {{"githash", run.githash}, {"date", run.date}, {"time", run.time}};
}

} // namespace

void writeBaselineLog(std::ostream& out, const Comparison& comparison, bool omitSuppressed) {
    const FindingChanges& changes = *comparison.findings;
    // One rule per message number, in number order, described by its first finding.
    std::map<std::int64_t, const TrackedFinding*> described;
    for (const auto* findings : {&changes.head, &changes.base}) {
        for (const TrackedFinding& finding : *findings) {
            described.try_emplace(finding.number, &finding);
        }
    }
    json rules = json::array();
    std::map<std::int64_t, std::size_t> ruleIndex;
    for (const auto& [number, finding] : described) {
        const std::string id = std::to_string(number);
        json properties = {{"tags", json::array()}, {"his", finding->his}};
        if (!finding->reference.empty()) {
            properties["tags"].push_back(finding->reference);
        }
        ruleIndex.emplace(number, rules.size());
        rules.push_back({{"id", id},
                         {"shortDescription", {{"text", "QAC message " + id + "."}}},
                         {"fullDescription", {{"text", finding->text}}},
                         {"help", {{"text", "QAC message " + id + ": " + finding->text}}},
                         {"properties", properties}});
    }
    std::vector<const char*> states(changes.head.size(), "new");
    for (const auto& [base, head] : changes.match.kept) {
        // A finding whose file moved is the same finding, where it now is.
        const TrackedFinding& before = changes.base[base];
        const TrackedFinding& now = changes.head[head];
        states[head] =
            !findingMoved(before, now) && findingUpdated(before, now) ? "updated" : "unchanged";
    }
    json results = json::array();
    for (std::size_t index = 0; index < changes.head.size(); ++index) {
        const TrackedFinding& finding = changes.head[index];
        if (changes.suppressed(index) && omitSuppressed) {
            continue;
        }
        json result = resultOf(finding, states[index], ruleIndex.at(finding.number));
        if (changes.suppressed(index)) {
            result["suppressions"] =
                json::array({{{"kind", "external"},
                              {"status", "accepted"},
                              {"justification", changes.decisionOn(index)->decision.reason}}});
        }
        results.push_back(comparison.hasBase ? std::move(result) : withoutState(std::move(result)));
    }
    for (const std::size_t index : changes.match.fixed) {
        const TrackedFinding& finding = changes.base[index];
        results.push_back(resultOf(finding, "absent", ruleIndex.at(finding.number)));
    }
    const RunKey& head = comparison.head;
    const json log = {
        {"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
        {"version", "2.1.0"},
        {"runs",
         json::array(
             {{{"tool", {{"driver", {{"name", "QAC"}, {"rules", rules}}}}},
               {"conversion", {{"tool", {{"driver", {{"name", "vendrik-history"}}}}}}},
               {"automationDetails",
                {{"id", "vendrik/" + head.platform + "/" + head.project + "/"}}},
               {"originalUriBaseIds",
                {{"SRCROOT",
                  {{"description",
                    {{"text", "The folder that holds the source tree's Src folder; every file "
                              "location is relative to it."}}}}}}},
               {"properties",
                {{"platform", head.platform},
                 {"project", head.project},
                 {"githash", head.githash},
                 {"date", head.date},
                 {"time", head.time},
                 {"base", comparison.hasBase ? runJson(comparison.base) : json()}}},
               {"results", results}}})}};
    out << log.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
}

} // namespace vendrik::history
