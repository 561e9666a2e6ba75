#pragma once

#include "history/compliance/catalogue.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vendrik::history {

/// A Guideline Re-categorization Plan: `standard` (a catalogue's), optionally `edition`
/// (default the standard's newest), and `guidelines`, a list of `guideline` with `category`
/// (mandatory, required, advisory or disapplied). Only raising is legal: Required to
/// Mandatory, Advisory to Mandatory or Required, or Advisory disapplied; a Mandatory
/// guideline never changes.
struct Recategorization {
    PlanFile file; ///< empty for the default plan
    const Standard* standard = nullptr;
    std::size_t edition = 0;
    std::map<std::string, Category> categories; ///< the guidelines the plan changes

    /// The guideline's category for the project: as the plan sets it, else the edition's.
    Category categoryOf(const Guideline& guideline) const;
};

/// Reads the plan at `path` against `catalogue`; throws StoreError "PATH:LINE: ..." for a
/// file that cannot be read, an unknown key, standard, edition or guideline, a guideline
/// that the edition does not hold or that is given twice, or an illegal change, naming the
/// rule it breaks.
Recategorization readRecategorization(const Catalogue& catalogue, const std::string& path);

/// The plan of a project without one: the standard's newest edition, nothing changed.
Recategorization defaultRecategorization(const Standard& standard);

/// One record of the deviation register.
struct DeviationRecord {
    int line = 0;
    std::string id;
    std::vector<std::string> guidelines; ///< "Rule 11.3"
    std::vector<std::string> files;      ///< globs as in a rules file; none: every file
    std::vector<std::int64_t> numbers;   ///< message numbers; none: every message
    std::string circumstances;
    std::string reason;
    std::string risk; ///< the risk and how it is controlled
    std::string approver;
    std::string date;    ///< YYYY-MM-DD, when it was approved
    std::string permit;  ///< the deviation permit it cites, or empty
    std::string expires; ///< YYYY-MM-DD, or empty

    /// True when the record covers `guideline` for a finding of `number` in `file`.
    bool covers(const std::string& guideline, const std::string& file, std::int64_t number) const;
};

/// The deviation register: `records`, each with id, guidelines, circumstances, reason, risk,
/// approver and date (all required), the scope (`files`, `numbers`) and optionally `permit`
/// and `expires`.
struct DeviationRegister {
    PlanFile file;
    std::vector<DeviationRecord> records;

    /// The record of that id, or nullptr.
    const DeviationRecord* record(const std::string& id) const;
};

/// Reads the register at `path`; throws StoreError "PATH:LINE: ..." for a file that cannot
/// be read, an unknown or missing key, a bad date, or an id given twice.
DeviationRegister readDeviationRegister(const std::string& path);

/// How a guideline is checked, by a Guideline Enforcement Plan.
struct EnforcementPlan {
    PlanFile file;
    std::string byDefault;                  ///< for the guidelines not listed, or empty
    std::map<std::string, std::string> how; ///< guideline: analyser, compiler or review

    /// How `guideline` is checked, or empty when the plan does not say.
    std::string of(const std::string& guideline) const;
};

/// Reads the plan at `path`: optionally `default`, and `guidelines`, a list of `guideline`
/// (or `guidelines`, a list) with `by` (analyser, compiler or review). Throws StoreError
/// "PATH:LINE: ..." for a file that cannot be read, an unknown key or method, or a guideline
/// given twice.
EnforcementPlan readEnforcementPlan(const std::string& path);

} // namespace vendrik::history
