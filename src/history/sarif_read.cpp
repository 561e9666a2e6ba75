#include "history/sarif_read.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <regex>

namespace vendrik::history {

namespace {

using json = nlohmann::ordered_json;

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

TrackedFinding findingOf(const json& result, std::size_t index) {
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
    return finding;
}

/// Builds the log as a document, but hands each result of a run's results to `take` as soon
/// as it is whole and keeps none: the results are most of a log, and one result at a time
/// takes a fraction of the memory and time of all of them as a document.
class LogReader : public nlohmann::json_sax<json> {
  public:
    explicit LogReader(std::function<void(const json&)> take) : take_(std::move(take)) {}
    json document;

    bool null() override { return add(nullptr); }
    bool boolean(bool value) override { return add(value); }
    bool number_integer(number_integer_t value) override { return add(value); }
    bool number_unsigned(number_unsigned_t value) override { return add(value); }
    bool number_float(number_float_t value, const string_t&) override { return add(value); }
    bool string(string_t& value) override { return add(std::move(value)); }
    bool binary(binary_t& value) override { return add(std::move(value)); }
    bool start_object(std::size_t) override { return open(json::object()); }
    bool key(string_t& name) override {
        key_ = std::move(name);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(json::array()); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

  private:
    /// Where the open container at the top is: in a run's results.
    bool inResults() const {
        return open_.size() == 4 && keys_[1] == "runs" && keys_[3] == "results";
    }
    /// Puts `value` in the open container, or makes it the document; a whole result goes
    /// to `take` instead.
    json* place(json value) {
        if (open_.empty()) {
            document = std::move(value);
            return &document;
        }
        json& top = *open_.back();
        if (top.is_array()) {
            top.push_back(std::move(value));
            return &top.back();
        }
        return &(top[key_] = std::move(value));
    }
    bool add(json value) {
        if (inResults()) {
            take_(value);
        } else {
            place(std::move(value));
        }
        return true;
    }
    bool open(json container) {
        const bool array = open_.empty() || open_.back()->is_array();
        keys_.push_back(array ? std::string() : key_);
        open_.push_back(place(std::move(container)));
        return true;
    }
    bool close() {
        open_.pop_back();
        keys_.pop_back();
        if (inResults()) {
            take_(open_.back()->back());
            open_.back()->get_ref<json::array_t&>().pop_back();
        }
        return true;
    }

    std::function<void(const json&)> take_;
    std::vector<json*> open_;
    std::vector<std::string> keys_; ///< the key of each open container ("" in an array)
    std::string key_;
};

} // namespace

bool looksLikeSarifLog(std::string_view content) {
    const std::size_t first = content.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && content[first] == '{';
}

LoggedRun readSarifLog(std::string_view content) {
    LoggedRun logged;
    LogReader reader([&](const json& result) {
        logged.findings.push_back(findingOf(result, logged.findings.size() + 1));
    });
    if (!json::sax_parse(content, &reader)) {
        refuse("it is not well-formed JSON (was it cut short?)");
    }
    const json& log = reader.document;
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
    // The branch as the converter was given it (its provenance holds it as a ref), else the
    // provenance's.
    if (properties.contains("branch") && properties["branch"].is_string()) {
        logged.branch = properties["branch"].get<std::string>();
    } else if (const auto provenance = run.find("versionControlProvenance");
               provenance != run.end() && provenance->is_array() && !provenance->empty() &&
               (*provenance)[0].contains("branch") && (*provenance)[0]["branch"].is_string()) {
        logged.branch = (*provenance)[0]["branch"].get<std::string>();
    }
    const auto references =
        referencesOf(member(member(run, "tool", json::value_t::object, "the run"), "driver",
                            json::value_t::object, "the run"));
    member(run, "results", json::value_t::array, "the run"); // its results were taken
    for (TrackedFinding& finding : logged.findings) {
        const std::string rule = std::to_string(finding.number);
        const auto reference =
            std::lower_bound(references.begin(), references.end(), std::pair{rule, std::string()});
        if (reference != references.end() && reference->first == rule) {
            finding.reference = reference->second;
        }
    }
    return logged;
}

} // namespace vendrik::history
