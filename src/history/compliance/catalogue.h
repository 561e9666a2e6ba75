#pragma once

#include "history/compliance/plan_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrik::history {

/// A guideline's MISRA category; disapplied only as a project's plan sets it.
enum class Category { mandatory, required, advisory, disapplied };

/// "mandatory", "required", "advisory", "disapplied".
std::string_view categoryName(Category category);

/// The category of that name (as categoryName writes it), or nothing.
std::optional<Category> categoryNamed(std::string_view name);

/// One guideline of a standard: "Rule 17.7" or "Dir 4.6".
struct Guideline {
    std::string id;
    std::size_t added = 0; ///< the index of the edition that added it
    /// its category from the edition that added it: (edition index, category), in edition
    /// order; later entries are changes
    std::vector<std::pair<std::size_t, Category>> categories;
    std::string text; ///< its headline, when a project's catalogue gives one

    /// Its category in the edition of index `edition` (not before it was added).
    Category categoryIn(std::size_t edition) const;
};

/// A standard: its name, the names the analyser's references give it, its editions (oldest
/// first) and its guidelines (directives, then rules, in number order).
struct Standard {
    std::string name;
    std::vector<std::string> references;
    std::vector<std::string> editions;
    std::vector<Guideline> guidelines;

    /// The guideline of that id, or nullptr.
    const Guideline* guideline(std::string_view id) const;
    /// The index of the edition of that name, or nothing.
    std::optional<std::size_t> edition(std::string_view name) const;
};

/// The standards known: built in, and added from project files.
struct Catalogue {
    std::vector<Standard> standards;

    /// The standard of that name or reference name, or nullptr.
    const Standard* standard(std::string_view name) const;
};

/// The catalogue built into the program (data/misra_catalogue.yaml): MISRA C:2012 with its
/// amendments up to MISRA C:2023, and MISRA C:2004.
Catalogue builtInCatalogue();

/// Reads a catalogue file (the format of the built-in one: `standards:`, each with
/// `standard`, `references`, `editions` and `guidelines`, each guideline with `guideline`,
/// `category`, `added`, and optionally `changed` (edition: category) and `text`) into
/// `catalogue`. A standard that the catalogue holds already may only give its guidelines'
/// texts; a new standard is added whole. Throws StoreError "PATH:LINE: ..." for a file that
/// cannot be read, an unknown key, an unknown category or edition, a guideline given twice,
/// or a category that differs from the one held.
PlanFile addCatalogueFile(Catalogue& catalogue, const std::string& path);

/// True for "Rule N.M" or "Dir N.M", the numbers without leading zeros.
bool isGuidelineId(const std::string& id);

/// One part of a finding's reference, as written: the standard's name (as the reference
/// gives it, e.g. "MISRA-C:2004") and the guideline ("Rule 10.1").
struct ReferencePart {
    std::string standard;
    std::string guideline;
    friend bool operator==(const ReferencePart&, const ReferencePart&) = default;
};

/// Every part of a reference text: each "Rule-N.M" or "Dir-N.M" after white space, with
/// the standard named before it (the text from the previous part, or the start, up to the
/// white space, without separators), or the previous part's standard when none is named
/// between them. Numbers lose leading zeros ("Rule-017.07" is Rule 17.7), and a third
/// number is not part of the guideline ("Rule-8.4.1" is Rule 8.4). A part without any
/// standard before it is not a part. "MISRA C:2012 Rule-17.7; MISRA C:2012 Rule-2.2" has two.
std::vector<ReferencePart> referenceParts(std::string_view reference);

} // namespace vendrik::history
