#include "history/compliance/plans.h"

#include "history/decision_rules.h"
#include "history/store/store.h"
#include "history/yaml_file.h"

#include <charconv>
#include <fnmatch.h>
#include <set>

namespace vendrik::history {

namespace {

/// Each key of the map `node` with its value, refused when it is not one of `known`.
template <typename Take>
void forEachKey(const std::string& path, const YAML::Node& node, const std::set<std::string>& known,
                const char* what, Take take) {
    if (!node.IsMap()) {
        refuse(path, node.Mark(), std::string(what) + " must be a map of keys and values");
    }
    for (const auto& entry : node) {
        const std::string key = scalarOf(path, "a key", entry.first);
        if (known.count(key) == 0) {
            refuse(path, entry.first.Mark(), "unknown key '" + key + "'");
        }
        take(key, entry.second);
    }
}

/// The list under `key` of the map `root` that holds only the keys `known`.
YAML::Node listOf(const std::string& path, const YAML::Node& root, const std::string& key,
                  const std::set<std::string>& known, const char* what) {
    forEachKey(path, root, known, what, [](const std::string&, const YAML::Node&) {});
    const YAML::Node list = root[key];
    if (!list || !list.IsSequence()) {
        refuse(path, list ? list.Mark() : root.Mark(), key + ": a list");
    }
    return list;
}

std::string guidelineIdOf(const std::string& path, const YAML::Node& node) {
    const std::string id = scalarOf(path, "guideline", node);
    if (!isGuidelineId(id)) {
        refuse(path, node.Mark(), "'" + id + "' is not written \"Rule N.M\" or \"Dir N.M\"");
    }
    return id;
}

/// Why changing a guideline of category `from` to `to` is illegal, or empty when it is legal.
std::string illegalChange(Category from, Category to) {
    if (from == to) {
        return {};
    }
    if (from == Category::mandatory) {
        return "a Mandatory guideline is never re-categorized";
    }
    if (to == Category::disapplied) {
        return from == Category::advisory
                   ? std::string()
                   : "a Required guideline cannot be disapplied, only an Advisory one";
    }
    if (static_cast<int>(to) > static_cast<int>(from)) { // mandatory < required < advisory
        return "a category may only be raised, not lowered";
    }
    return {};
}

} // namespace

Category Recategorization::categoryOf(const Guideline& guideline) const {
    const auto changed = categories.find(guideline.id);
    return changed != categories.end() ? changed->second : guideline.categoryIn(edition);
}

Recategorization defaultRecategorization(const Standard& standard) {
    return {{}, &standard, standard.editions.size() - 1, {}};
}

Recategorization readRecategorization(const Catalogue& catalogue, const std::string& path) {
    std::string bytes;
    const YAML::Node root = readYamlFile(path, "re-categorization plan", &bytes);
    const YAML::Node list = listOf(path, root, "guidelines", {"standard", "edition", "guidelines"},
                                   "a re-categorization plan");
    if (!root["standard"]) {
        refuse(path, root.Mark(), "a re-categorization plan names its 'standard'");
    }
    const std::string name = scalarOf(path, "standard", root["standard"]);
    const Standard* standard = catalogue.standard(name);
    if (standard == nullptr) {
        refuse(path, root["standard"].Mark(), "the catalogue holds no standard '" + name + "'");
    }
    Recategorization plan = defaultRecategorization(*standard);
    plan.file = planFile(path, bytes);
    if (root["edition"]) {
        const std::string edition = scalarOf(path, "edition", root["edition"]);
        const auto at = standard->edition(edition);
        if (!at) {
            refuse(path, root["edition"].Mark(), "'" + edition + "' is not an edition of " + name);
        }
        plan.edition = *at;
    }
    for (const YAML::Node& item : list) {
        std::string id;
        std::optional<Category> category;
        forEachKey(path, item, {"guideline", "category"}, "a guideline",
                   [&](const std::string& key, const YAML::Node& value) {
                       if (key == "guideline") {
                           id = guidelineIdOf(path, value);
                           return;
                       }
                       const std::string text = scalarOf(path, key, value);
                       category = categoryNamed(text);
                       if (!category) {
                           refuse(path, value.Mark(),
                                  "category: '" + text +
                                      "' is none of mandatory, required, advisory, disapplied");
                       }
                   });
        if (id.empty() || !category) {
            refuse(path, item.Mark(), "each guideline has its 'guideline' and 'category'");
        }
        const Guideline* guideline = standard->guideline(id);
        if (guideline == nullptr || guideline->added > plan.edition) {
            refuse(path, item.Mark(), standard->editions[plan.edition] + " has no " + id);
        }
        if (plan.categories.count(id) != 0) {
            refuse(path, item.Mark(), id + " is given twice");
        }
        const Category from = guideline->categoryIn(plan.edition);
        if (const std::string why = illegalChange(from, *category); !why.empty()) {
            refuse(path, item.Mark(),
                   "illegal re-categorization of " + id + " from " +
                       std::string(categoryName(from)) + " to " +
                       std::string(categoryName(*category)) + ": " + why);
        }
        plan.categories.emplace(id, *category);
    }
    return plan;
}

bool DeviationRecord::covers(const std::string& guideline, const std::string& file,
                             std::int64_t number) const {
    const auto in = [](const auto& list, const auto& value) {
        return std::find(list.begin(), list.end(), value) != list.end();
    };
    return in(guidelines, guideline) && (numbers.empty() || in(numbers, number)) &&
           (files.empty() || std::any_of(files.begin(), files.end(), [&](const std::string& glob) {
                return fnmatch(glob.c_str(), file.c_str(), FNM_PATHNAME) == 0;
            }));
}

const DeviationRecord* DeviationRegister::record(const std::string& id) const {
    const auto found = std::find_if(records.begin(), records.end(),
                                    [&](const DeviationRecord& r) { return r.id == id; });
    return found == records.end() ? nullptr : &*found;
}

DeviationRegister readDeviationRegister(const std::string& path) {
    std::string bytes;
    const YAML::Node root = readYamlFile(path, "deviation register", &bytes);
    const YAML::Node list = listOf(path, root, "records", {"records"}, "a deviation register");
    DeviationRegister deviations;
    deviations.file = planFile(path, bytes);
    for (const YAML::Node& item : list) {
        DeviationRecord record;
        record.line = item.Mark().line + 1;
        std::map<std::string, std::string*> texts = {{"id", &record.id},
                                                     {"circumstances", &record.circumstances},
                                                     {"reason", &record.reason},
                                                     {"risk", &record.risk},
                                                     {"approver", &record.approver},
                                                     {"date", &record.date},
                                                     {"permit", &record.permit},
                                                     {"expires", &record.expires}};
        forEachKey(path, item,
                   {"id", "guidelines", "files", "numbers", "circumstances", "reason", "risk",
                    "approver", "date", "permit", "expires"},
                   "a record", [&](const std::string& key, const YAML::Node& value) {
                       if (const auto text = texts.find(key); text != texts.end()) {
                           *text->second = scalarOf(path, key, value);
                       } else if (key == "guidelines") {
                           for (const std::string& id : scalarsOf(path, key, value)) {
                               if (!isGuidelineId(id)) {
                                   refuse(path, value.Mark(),
                                          "guidelines: '" + id +
                                              "' is not written \"Rule N.M\" or \"Dir N.M\"");
                               }
                               record.guidelines.push_back(id);
                           }
                       } else if (key == "files") {
                           record.files = scalarsOf(path, key, value);
                       } else {
                           for (const std::string& text : scalarsOf(path, key, value)) {
                               std::int64_t number = 0;
                               const auto [end, error] =
                                   std::from_chars(text.data(), text.data() + text.size(), number);
                               if (error != std::errc() || end != text.data() + text.size() ||
                                   number < 0) {
                                   refuse(path, value.Mark(),
                                          "numbers: not a message number: " + text);
                               }
                               record.numbers.push_back(number);
                           }
                       }
                   });
        for (const char* key : {"id", "circumstances", "reason", "risk", "approver", "date"}) {
            if (blank(*texts.at(key))) {
                refuse(path, item.Mark(), std::string("a record needs its '") + key + "'");
            }
        }
        if (record.guidelines.empty()) {
            refuse(path, item.Mark(), "a record needs the 'guidelines' it covers");
        }
        for (const auto& [key, value] :
             {std::pair{"date", &record.date}, {"expires", &record.expires}}) {
            if (!value->empty() && !isDate(*value)) {
                refuse(path, item.Mark(),
                       std::string(key) + ": not a date (YYYY-MM-DD): " + *value);
            }
        }
        if (deviations.record(record.id) != nullptr) {
            refuse(path, item.Mark(), "the record " + record.id + " is given twice");
        }
        deviations.records.push_back(std::move(record));
    }
    return deviations;
}

std::string EnforcementPlan::of(const std::string& guideline) const {
    const auto found = how.find(guideline);
    return found != how.end() ? found->second : byDefault;
}

EnforcementPlan readEnforcementPlan(const std::string& path) {
    std::string bytes;
    const YAML::Node root = readYamlFile(path, "enforcement plan", &bytes);
    const YAML::Node list =
        listOf(path, root, "guidelines", {"default", "guidelines"}, "an enforcement plan");
    const auto method = [&](const YAML::Node& node) {
        const std::string by = scalarOf(path, "by", node);
        if (by != "analyser" && by != "compiler" && by != "review") {
            refuse(path, node.Mark(), "by: '" + by + "' is none of analyser, compiler, review");
        }
        return by;
    };
    EnforcementPlan plan;
    plan.file = planFile(path, bytes);
    if (root["default"]) {
        plan.byDefault = method(root["default"]);
    }
    for (const YAML::Node& item : list) {
        std::vector<std::string> ids;
        std::string by;
        forEachKey(path, item, {"guideline", "guidelines", "by"}, "an entry",
                   [&](const std::string& key, const YAML::Node& value) {
                       if (key == "by") {
                           by = method(value);
                           return;
                       }
                       for (const std::string& id : scalarsOf(path, key, value)) {
                           if (!isGuidelineId(id)) {
                               refuse(path, value.Mark(),
                                      "'" + id + "' is not written \"Rule N.M\" or \"Dir N.M\"");
                           }
                           ids.push_back(id);
                       }
                   });
        if (ids.empty() || by.empty()) {
            refuse(path, item.Mark(), "each entry names its guidelines and 'by'");
        }
        for (const std::string& id : ids) {
            if (!plan.how.emplace(id, by).second) {
                refuse(path, item.Mark(), id + " is given twice");
            }
        }
    }
    return plan;
}

} // namespace vendrik::history
