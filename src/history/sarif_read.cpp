#include "history/sarif_read.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>

namespace vendrik::history {

namespace {

using nlohmann::json;

[[noreturn]] void refuse(const std::string& why) {
    throw StoreError("refused: not a SARIF log of the converter: " + why);
}

/// The member `name` of `object`, which must have `type`.
const json& member(const json& object, const char* name, json::value_t type,
                   const std::string& where) {
    const auto at = object.is_object() ? object.find(name) : object.end();
    const bool integer = type == json::value_t::number_integer;
    if (at == object.end() || (integer ? !at->is_number_integer() : at->type() != type)) {
        refuse(where + " has no " + name + " of the right kind");
    }
    return *at;
}

const std::string& textAt(const json& object, const char* name, const std::string& where) {
    return member(object, name, json::value_t::string, where).get_ref<const std::string&>();
}

std::string decodedUri(const std::string& uri) {
    std::string decoded;
    for (std::size_t at = 0; at < uri.size(); ++at) {
        const auto hex = [&](std::size_t i) {
            const char c = i < uri.size() ? uri[i] : 'x';
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                          : -1;
        };
        if (uri[at] == '%') {
            if (hex(at + 1) < 0 || hex(at + 2) < 0) {
                refuse("the location " + uri + " has a malformed escape");
            }
            decoded += static_cast<char>(hex(at + 1) * 16 + hex(at + 2));
            at += 2;
        } else {
            decoded += uri[at];
        }
    }
    return decoded;
}

/// The MISRA reference of each rule id: the rule's first tag other than "HIS".
std::vector<std::pair<std::string, std::string>> referencesOf(const json& driver) {
    std::vector<std::pair<std::string, std::string>> references;
    const auto rules = driver.find("rules");
    if (rules == driver.end() || !rules->is_array()) {
        return references;
    }
    for (const json& rule : *rules) {
        const std::string& id = textAt(rule, "id", "a rule");
        std::string reference;
        const auto properties = rule.find("properties");
        if (properties != rule.end() && properties->contains("tags") &&
            (*properties)["tags"].is_array()) {
            for (const json& tag : (*properties)["tags"]) {
                if (tag.is_string() && tag != "HIS") {
                    reference = tag.get<std::string>();
                    break;
                }
            }
        }
        references.emplace_back(id, reference);
    }
    std::sort(references.begin(), references.end());
    return references;
}

TrackedFinding findingOf(const json& result, std::size_t index,
                         const std::vector<std::pair<std::string, std::string>>& references) {
    const std::string where = "result " + std::to_string(index);
    TrackedFinding finding;
    const std::string& rule = textAt(result, "ruleId", where);
    if (rule.empty() || rule.size() > 9 ||
        !std::all_of(rule.begin(), rule.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        refuse(where + " has the rule id " + rule + ", not a message number");
    }
    finding.number = std::stoll(rule);
    finding.text = textAt(member(result, "message", json::value_t::object, where), "text", where);
    const json& locations = member(result, "locations", json::value_t::array, where);
    if (locations.size() != 1) {
        refuse(where + " has not one location");
    }
    const json& physical = member(locations[0], "physicalLocation", json::value_t::object, where);
    finding.file = decodedUri(
        textAt(member(physical, "artifactLocation", json::value_t::object, where), "uri", where));
    if (physical.contains("region")) {
        finding.line = member(physical["region"], "startLine", json::value_t::number_integer, where)
                           .get<std::int64_t>();
    }
    finding.fingerprint =
        textAt(member(result, "partialFingerprints", json::value_t::object, where),
               "vendrikFinding/v1", where);
    const json& properties = member(result, "properties", json::value_t::object, where);
    finding.priority =
        member(properties, "priority", json::value_t::number_integer, where).get<std::int64_t>();
    finding.his = member(properties, "his", json::value_t::boolean, where).get<bool>();
    const auto reference =
        std::lower_bound(references.begin(), references.end(), std::pair{rule, std::string()});
    if (reference != references.end() && reference->first == rule) {
        finding.reference = reference->second;
    }
    return finding;
}

} // namespace

bool looksLikeSarifLog(std::string_view content) {
    const std::size_t first = content.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && content[first] == '{';
}

LoggedRun readSarifLog(std::string_view content) {
    const json log = json::parse(content, nullptr, false);
    if (log.is_discarded()) {
        refuse("it is not well-formed JSON (was it cut short?)");
    }
    if (!log.is_object() || !log.contains("version") || log["version"] != "2.1.0") {
        refuse("it is not a SARIF 2.1.0 log");
    }
    const json& runs = member(log, "runs", json::value_t::array, "the log");
    if (runs.size() != 1) {
        refuse("it holds " + std::to_string(runs.size()) + " runs, not one");
    }
    const json& run = runs[0];
    const json& conversion = member(run, "conversion", json::value_t::object, "the run");
    const json& converter = member(member(conversion, "tool", json::value_t::object, "the run"),
                                   "driver", json::value_t::object, "the run");
    if (textAt(converter, "name", "the conversion") != "Vendrik") {
        refuse("its conversion does not name Vendrik");
    }
    const json& properties = member(run, "properties", json::value_t::object, "the run");
    LoggedRun logged;
    logged.run = {textAt(properties, "platform", "the run's properties"),
                  textAt(properties, "project", "the run's properties"),
                  textAt(properties, "githash", "the run's properties"),
                  textAt(properties, "date", "the run's properties"),
                  textAt(properties, "time", "the run's properties")};
    static const std::regex date(R"(\d{4}\.\d{2}\.\d{2})");
    static const std::regex time(R"(\d{2}:\d{2}:\d{2})");
    if (!std::regex_match(logged.run.date, date) || !std::regex_match(logged.run.time, time)) {
        refuse("the run's date and time are not YYYY.MM.DD and HH:MM:SS");
    }
    if (const auto provenance = run.find("versionControlProvenance");
        provenance != run.end() && provenance->is_array() && !provenance->empty() &&
        (*provenance)[0].contains("branch") && (*provenance)[0]["branch"].is_string()) {
        logged.branch = (*provenance)[0]["branch"].get<std::string>();
    }
    const auto references =
        referencesOf(member(member(run, "tool", json::value_t::object, "the run"), "driver",
                            json::value_t::object, "the run"));
    const json& results = member(run, "results", json::value_t::array, "the run");
    logged.findings.reserve(results.size());
    for (std::size_t index = 0; index < results.size(); ++index) {
        logged.findings.push_back(findingOf(results[index], index + 1, references));
    }
    return logged;
}

} // namespace vendrik::history
