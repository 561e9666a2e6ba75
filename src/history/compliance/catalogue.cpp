#include "history/compliance/catalogue.h"

#include "history/store/store.h"
#include "history/yaml_file.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace vendrik::history {

extern const char builtInCatalogueText[]; // generated from data/misra_catalogue.yaml

namespace {

constexpr std::array<std::string_view, 4> categoryNames = {"mandatory", "required", "advisory",
                                                           "disapplied"};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/// The number at `at` of `text` (digits), without leading zeros; moves `at` past it.
std::string numberAt(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && isDigit(text[at])) {
        ++at;
    }
    std::string_view digits = text.substr(start, at - start);
    while (digits.size() > 1 && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    return std::string(digits);
}

Category categoryOf(const std::string& path, const YAML::Node& node) {
    const std::string name = scalarOf(path, "category", node);
    const auto category = categoryNamed(name);
    if (!category || *category == Category::disapplied) {
        refuse(path, node.Mark(),
               "category: '" + name + "' is none of mandatory, required, advisory");
    }
    return *category;
}

std::size_t editionOf(const std::string& path, const Standard& standard, const YAML::Node& node) {
    const std::string name = scalarOf(path, "edition", node);
    const auto edition = standard.edition(name);
    if (!edition) {
        refuse(path, node.Mark(), "'" + name + "' is not an edition of " + standard.name);
    }
    return *edition;
}

/// A guideline's entry; `held` is the standard's guideline of that id when the standard is
/// built in (then only its text may be given, and a category must agree).
Guideline guidelineOf(const std::string& path, const Standard& standard, const YAML::Node& node) {
    if (!node.IsMap()) {
        refuse(path, node.Mark(), "a guideline must be a map of keys and values");
    }
    Guideline guideline;
    std::optional<Category> first;
    bool added = false;
    for (const auto& entry : node) {
        const std::string key = scalarOf(path, "a key", entry.first);
        if (key == "guideline") {
            guideline.id = scalarOf(path, key, entry.second);
            if (!isGuidelineId(guideline.id)) {
                refuse(path, entry.second.Mark(),
                       "guideline: '" + guideline.id +
                           "' is not written \"Rule N.M\" or \"Dir N.M\"");
            }
        } else if (key == "category") {
            first = categoryOf(path, entry.second);
        } else if (key == "added") {
            guideline.added = editionOf(path, standard, entry.second);
            added = true;
        } else if (key == "changed") {
            if (!entry.second.IsMap()) {
                refuse(path, entry.second.Mark(), "changed: a map of editions and categories");
            }
            for (const auto& change : entry.second) {
                guideline.categories.emplace_back(editionOf(path, standard, change.first),
                                                  categoryOf(path, change.second));
            }
        } else if (key == "text") {
            guideline.text = scalarOf(path, key, entry.second);
        } else {
            refuse(path, entry.first.Mark(), "unknown key '" + key + "'");
        }
    }
    if (guideline.id.empty()) {
        refuse(path, node.Mark(), "a guideline needs its 'guideline' (such as \"Rule 17.7\")");
    }
    if (first) {
        guideline.categories.insert(guideline.categories.begin(),
                                    {added ? guideline.added : 0, *first});
    }
    for (std::size_t at = 1; at < guideline.categories.size(); ++at) {
        if (guideline.categories[at].first <= guideline.categories[at - 1].first) {
            refuse(path, node.Mark(),
                   "changed: each change must be of a later edition than the one before");
        }
    }
    return guideline;
}

void addStandard(Catalogue& catalogue, const std::string& path, const YAML::Node& node) {
    if (!node.IsMap() || !node["standard"]) {
        refuse(path, node.Mark(), "a standard must be a map with its 'standard' (its name)");
    }
    Standard read;
    read.name = scalarOf(path, "standard", node["standard"]);
    for (const auto& entry : node) {
        const std::string key = scalarOf(path, "a key", entry.first);
        if (key == "references") {
            read.references = scalarsOf(path, key, entry.second);
        } else if (key == "editions") {
            read.editions = scalarsOf(path, key, entry.second);
        } else if (key != "standard" && key != "guidelines") {
            refuse(path, entry.first.Mark(), "unknown key '" + key + "'");
        }
    }
    const auto held = std::find_if(catalogue.standards.begin(), catalogue.standards.end(),
                                   [&](const Standard& s) { return s.name == read.name; });
    if (held != catalogue.standards.end() && (node["references"] || node["editions"])) {
        refuse(path, node.Mark(),
               read.name + " is built in: a project's catalogue may only give its texts");
    }
    Standard& standard = held != catalogue.standards.end() ? *held : read;
    if (standard.editions.empty()) {
        standard.editions = {standard.name};
    }
    const YAML::Node list = node["guidelines"];
    if (!list || !list.IsSequence()) {
        refuse(path, node.Mark(), "guidelines: a list of guidelines");
    }
    std::vector<std::string> seen;
    for (const YAML::Node& item : list) {
        Guideline guideline = guidelineOf(path, standard, item);
        if (std::find(seen.begin(), seen.end(), guideline.id) != seen.end()) {
            refuse(path, item.Mark(), guideline.id + " is given twice");
        }
        seen.push_back(guideline.id);
        if (&standard == &read) {
            if (guideline.categories.empty()) {
                refuse(path, item.Mark(), guideline.id + " needs its category");
            }
            standard.guidelines.push_back(std::move(guideline));
            continue;
        }
        auto* own = const_cast<Guideline*>(standard.guideline(guideline.id));
        if (own == nullptr) {
            refuse(path, item.Mark(), standard.name + " has no " + guideline.id);
        }
        if (!guideline.categories.empty() && guideline.categories != own->categories) {
            refuse(path, item.Mark(),
                   guideline.id + ": its category differs from the one " + standard.name +
                       " gives it (" +
                       std::string(categoryName(own->categoryIn(standard.editions.size() - 1))) +
                       ")");
        }
        own->text = guideline.text;
    }
    if (&standard == &read) {
        catalogue.standards.push_back(std::move(read));
    }
}

void addCatalogueText(Catalogue& catalogue, const std::string& path, const YAML::Node& root) {
    if (!root.IsMap() || root.size() != 1 || !root["standards"] ||
        !root["standards"].IsSequence()) {
        throw StoreError(path + ":1: a catalogue is a map with the one key 'standards', a list");
    }
    for (const YAML::Node& node : root["standards"]) {
        addStandard(catalogue, path, node);
    }
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view separators = " \t\r\n;,|/&+.";
    const auto first = text.find_first_not_of(separators);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(separators) - first + 1);
}

} // namespace

bool isGuidelineId(const std::string& id) {
    const std::size_t blank = id.find(' ');
    if (blank == std::string::npos ||
        (id.compare(0, blank, "Rule") != 0 && id.compare(0, blank, "Dir") != 0)) {
        return false;
    }
    std::size_t at = blank + 1;
    const std::string first = numberAt(id, at);
    if (first.empty() || at >= id.size() || id[at] != '.') {
        return false;
    }
    ++at;
    const std::string second = numberAt(id, at);
    return !second.empty() && at == id.size() && id.substr(blank + 1) == first + "." + second;
}

std::string_view categoryName(Category category) {
    return categoryNames[static_cast<std::size_t>(category)];
}

std::optional<Category> categoryNamed(std::string_view name) {
    const auto found = std::find(categoryNames.begin(), categoryNames.end(), name);
    if (found == categoryNames.end()) {
        return std::nullopt;
    }
    return static_cast<Category>(found - categoryNames.begin());
}

Category Guideline::categoryIn(std::size_t edition) const {
    Category category = categories.front().second;
    for (const auto& [from, changed] : categories) {
        if (from <= edition) {
            category = changed;
        }
    }
    return category;
}

const Guideline* Standard::guideline(std::string_view id) const {
    const auto found = std::find_if(guidelines.begin(), guidelines.end(),
                                    [&](const Guideline& g) { return g.id == id; });
    return found == guidelines.end() ? nullptr : &*found;
}

std::optional<std::size_t> Standard::edition(std::string_view name) const {
    const auto found = std::find(editions.begin(), editions.end(), name);
    if (found == editions.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - editions.begin());
}

const Standard* Catalogue::standard(std::string_view name) const {
    for (const Standard& standard : standards) {
        if (standard.name == name ||
            std::find(standard.references.begin(), standard.references.end(), name) !=
                standard.references.end()) {
            return &standard;
        }
    }
    return nullptr;
}

Catalogue builtInCatalogue() {
    Catalogue catalogue;
    addCatalogueText(catalogue, "the built-in catalogue", YAML::Load(builtInCatalogueText));
    return catalogue;
}

PlanFile addCatalogueFile(Catalogue& catalogue, const std::string& path) {
    std::string bytes;
    addCatalogueText(catalogue, path, readYamlFile(path, "catalogue", &bytes));
    return planFile(path, bytes);
}

std::vector<ReferencePart> referenceParts(std::string_view reference) {
    std::vector<ReferencePart> parts;
    std::size_t from = 0; // where the text before the next part starts
    for (std::size_t at = 1; at < reference.size(); ++at) {
        if (!std::isspace(static_cast<unsigned char>(reference[at - 1]))) {
            continue;
        }
        const std::string_view rest = reference.substr(at);
        const std::string_view kind = rest.starts_with("Rule-")  ? "Rule"
                                      : rest.starts_with("Dir-") ? "Dir"
                                                                 : "";
        if (kind.empty()) {
            continue;
        }
        std::size_t end = at + kind.size() + 1;
        if (end >= reference.size() || !isDigit(reference[end])) {
            continue;
        }
        const std::string first = numberAt(reference, end);
        if (end + 1 >= reference.size() || reference[end] != '.' || !isDigit(reference[end + 1])) {
            continue;
        }
        ++end;
        const std::string second = numberAt(reference, end);
        while (end + 1 < reference.size() && reference[end] == '.' &&
               isDigit(reference[end + 1])) { // "Rule-8.4.1": a third number is not kept
            ++end;
            numberAt(reference, end);
        }
        std::string standard(trimmed(reference.substr(from, at - from)));
        if (standard.empty() && !parts.empty()) {
            standard = parts.back().standard;
        }
        if (!standard.empty()) {
            parts.push_back({std::move(standard), std::string(kind) + " " + first + "." + second});
        }
        from = end;
        at = end;
    }
    return parts;
}

} // namespace vendrik::history
