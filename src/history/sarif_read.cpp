#include "history/sarif_read.h"

#include "output/sarif_log.h"

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
            // Every reference of a compound one is a tag of its own: all are kept.
            for (const json& tag : (*properties)["tags"]) {
                if (tag.is_string() && tag != "HIS") {
                    reference += (reference.empty() ? "" : "; ") + tag.get<std::string>();
                }
            }
        }
        references.emplace_back(id, reference);
    }
    std::sort(references.begin(), references.end());
    return references;
}

/// The integer member `name` of `object`, refused outside `low` to `high`.
std::int64_t boundedAt(const json& object, const char* name, std::uint64_t low, std::uint64_t high,
                       const std::string& where) {
    const json& value = member(object, name, json::value_t::number_integer, where);
    // The parser reads a number below 0 as signed, any other as unsigned.
    const bool inRange = value.is_number_unsigned() && value.get<std::uint64_t>() >= low &&
                         value.get<std::uint64_t>() <= high;
    if (!inRange) {
        refuse(where + " has the " + name + " " + value.dump() + ", outside " +
               std::to_string(low) + " to " + std::to_string(high));
    }
    return value.get<std::int64_t>();
}

constexpr std::uint64_t largestUnsigned = 4294967295; // the converter's numbers are 32-bit

TrackedFinding findingOf(const json& result, std::size_t index) {
    const std::string where = "result " + std::to_string(index);
    TrackedFinding finding;
    const std::string& rule = textAt(result, "ruleId", where);
    if (rule.empty() || rule.size() > 10 ||
        !std::all_of(rule.begin(), rule.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stoull(rule) > largestUnsigned) {
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
        finding.line = boundedAt(physical["region"], "startLine", 1, largestUnsigned, where);
    }
    finding.fingerprint = textAt(
        member(result, "partialFingerprints", json::value_t::object, where), fingerprintKey, where);
    const json& properties = member(result, "properties", json::value_t::object, where);
    finding.priority = boundedAt(properties, "priority", 0, 9, where);
    finding.his = member(properties, "his", json::value_t::boolean, where).get<bool>();
    return finding;
}

/// The paths of the log that the history reads, each a list of member names, "*" for any
/// element of an array and "0" for its first. A result's own paths follow runs/*/results/*.
using LogPath = std::vector<std::string_view>;
const std::vector<LogPath>& keptPaths() {
    static const std::vector<LogPath> paths = [] {
        std::vector<LogPath> kept = {
            {"version"},
            {"runs", "0", "conversion", "tool", "driver", "name"},
            {"runs", "0", "versionControlProvenance", "0", "branch"},
            {"runs", "0", "tool", "driver", "rules", "*", "id"},
            {"runs", "0", "tool", "driver", "rules", "*", "properties", "tags", "*"},
        };
        for (const char* name :
             {"platform", "project", "githash", "date", "time", "branch", "omittedFindings"}) {
            kept.push_back({"runs", "0", "properties", name});
        }
        const std::vector<LogPath> ofResult = {
            {"ruleId"},
            {"message", "text"},
            {"locations", "0", "physicalLocation", "artifactLocation", "uri"},
            {"locations", "0", "physicalLocation", "region", "startLine"},
            {"partialFingerprints", fingerprintKey},
            {"properties", "priority"},
            {"properties", "his"},
        };
        for (const LogPath& path : ofResult) {
            LogPath whole = {"runs", "*", "results", "*"};
            whole.insert(whole.end(), path.begin(), path.end());
            kept.push_back(whole);
        }
        return kept;
    }();
    return paths;
}

/// Reads a log with the SAX parser and builds only the values on keptPaths: whatever else a
/// log holds (descriptions, invocations, properties of its own) is skipped as it is read and
/// costs no memory. Each result of a run's results goes to `take` as soon as it is whole and
/// is not kept. A container nested deeper than maxLogDepth, results that are not an array
/// and a result's second location are refused as they are met.
class LogReader : public nlohmann::json_sax<json> {
  public:
    explicit LogReader(std::function<void(const json&, std::size_t)> take)
        : take_(std::move(take)) {}
    json document;
    std::size_t runs = 0; ///< the elements of "runs"

    bool null() override { return add(nullptr); }
    bool boolean(bool value) override { return add(value); }
    bool number_integer(number_integer_t value) override { return add(value); }
    bool number_unsigned(number_unsigned_t value) override { return add(value); }
    bool number_float(number_float_t value, const string_t&) override { return add(value); }
    bool string(string_t& value) override { return add(std::move(value)); }
    bool binary(binary_t& value) override { return add(std::move(value)); }
    bool start_object(std::size_t) override { return open(false); }
    bool key(string_t& name) override {
        key_ = std::move(name);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

  private:
    /// An open container: where its values go (nothing when it is skipped), the kept paths
    /// (bits of keptPaths) that its values may be on, and its key in its parent.
    struct Open {
        json* value = nullptr;
        bool array = false;
        std::size_t elements = 0;
        std::uint32_t paths = 0;
        std::string key;
    };

    bool at(std::size_t depth, std::string_view key) const {
        return open_.size() > depth && open_[depth].key == key;
    }
    /// The container at the top is the results of a run, and is read.
    bool inResults() const { return open_.size() == 4 && inResultsAt(3); }
    /// The container at `depth` is the results of a run, and is read.
    bool inResultsAt(std::size_t depth) const {
        return depth == 3 && at(1, "runs") && at(3, "results") && open_[3].value;
    }

    /// The kept paths that the next value of the container at the top is on, and whether one
    /// of them ends at it.
    std::pair<std::uint32_t, bool> nextValue() {
        Open& top = open_.back();
        const std::size_t depth = open_.size() - 1;
        const std::size_t index = top.array ? top.elements++ : 0;
        if (depth == 1 && top.array && at(1, "runs")) {
            ++runs;
        }
        if (depth == 5 && index > 0 && top.array && at(5, "locations") && inResultsAt(3)) {
            refuse("result " + std::to_string(open_[3].elements) + " has not one location");
        }
        std::uint32_t paths = 0;
        bool ends = false;
        for (std::size_t path = 0; path < keptPaths().size(); ++path) {
            const LogPath& segments = keptPaths()[path];
            if ((top.paths & (1u << path)) == 0 || segments.size() <= depth) {
                continue;
            }
            const std::string_view wanted = segments[depth];
            if (top.array ? wanted == "*" || (wanted == "0" && index == 0) : wanted == key_) {
                paths |= 1u << path;
                ends = ends || segments.size() == depth + 1;
            }
        }
        return {top.value ? paths : 0, ends && top.value};
    }

    /// Puts `value` in the container at the top, or makes it the document.
    json* place(json value) {
        if (open_.empty()) {
            document = std::move(value);
            return &document;
        }
        json& top = *open_.back().value;
        if (top.is_array()) {
            top.push_back(std::move(value));
            return &top.back();
        }
        return &(top[key_] = std::move(value));
    }

    bool add(json value) {
        if (inResults()) {
            take_(value, ++open_.back().elements); // not an object: refused as a result
        } else if (open_.empty() || nextValue().second) {
            place(std::move(value));
        }
        return true;
    }

    bool open(bool array) {
        if (open_.size() >= maxLogDepth) {
            refuse("it nests deeper than " + std::to_string(maxLogDepth) + " levels");
        }
        Open next;
        next.array = array;
        if (open_.empty()) {
            next.paths = (1u << keptPaths().size()) - 1;
        } else {
            next.key = open_.back().array ? std::string() : key_;
            if (!array && open_.size() == 3 && at(1, "runs") && next.key == "results" &&
                open_.back().value) {
                refuse("the run's results are not an array");
            }
            next.paths = nextValue().first;
        }
        if (open_.empty() || next.paths != 0) {
            next.value = place(array ? json::array() : json::object());
        }
        open_.push_back(std::move(next));
        return true;
    }

    bool close() {
        open_.pop_back();
        if (inResults()) {
            json& results = *open_.back().value;
            take_(results.back(), open_.back().elements);
            results.get_ref<json::array_t&>().pop_back();
        }
        return true;
    }

    std::function<void(const json&, std::size_t)> take_;
    std::vector<Open> open_;
    std::string key_;
};

} // namespace

bool looksLikeSarifLog(std::string_view content) {
    const std::size_t first = content.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && content[first] == '{';
}

namespace {

LoggedRun readWholeLog(std::string_view content) {
    LoggedRun logged;
    LogReader reader([&](const json& result, std::size_t index) {
        logged.findings.push_back(findingOf(result, index));
    });
    if (!json::sax_parse(content, &reader)) {
        refuse("it is not well-formed JSON (was it cut short?)");
    }
    const json& log = reader.document;
    if (!log.is_object() || !log.contains("version") || log["version"] != "2.1.0") {
        refuse("it is not a SARIF 2.1.0 log");
    }
    const json& runs = member(log, "runs", json::value_t::array, "the log");
    if (reader.runs != 1) {
        refuse("it holds " + std::to_string(reader.runs) + " runs, not one");
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
    if (const auto omitted = properties.find("omittedFindings");
        omitted != properties.end() && !(omitted->is_number_unsigned() && *omitted == 0)) {
        throw StoreError("refused: the log leaves out " + omitted->dump() +
                         " findings (--review_max_findings), and the history keeps a run's "
                         "findings whole: load the log of a conversion without the cap "
                         "(--history_sarif_output)");
    }
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

} // namespace

LoggedRun readSarifLog(std::string_view content) {
    try {
        return readWholeLog(content);
    } catch (const nlohmann::json::exception& error) {
        refuse(std::string("it cannot be read: ") + error.what());
    }
}

} // namespace vendrik::history
