#include "history/compliance/summary.h"

#include <algorithm>
#include <unordered_map>

namespace vendrik::history {

namespace {

/// Where a reference part lands: a row of a table, or why nowhere.
struct Resolved {
    std::size_t table = 0;
    std::size_t row = 0;
    std::string why; ///< not empty: the catalogue does not hold the part
    ReferencePart part;
};

class Tables {
  public:
    explicit Tables(const CompliancePlans& plans) : plans_(plans) {
        tableOf(*plans.claimed.standard);
    }

    /// The parts of `reference`, each resolved once per distinct reference text.
    const std::vector<Resolved>& resolve(const std::string& reference) {
        const auto [at, added] = resolved_.try_emplace(reference);
        if (added) {
            for (ReferencePart& part : referenceParts(reference)) {
                at->second.push_back(resolvePart(std::move(part)));
            }
        }
        return at->second;
    }

    std::vector<ComplianceTable> tables;

  private:
    Resolved resolvePart(ReferencePart part) {
        Resolved resolved;
        const Standard* standard = plans_.catalogue.standard(part.standard);
        if (standard == nullptr) {
            resolved.why = "the catalogue holds no standard '" + part.standard + "'";
        } else {
            const std::size_t table = tableOf(*standard);
            const auto row = rows_[table].find(part.guideline);
            if (row == rows_[table].end()) {
                const Guideline* later = standard->guideline(part.guideline);
                resolved.why = later == nullptr ? standard->name + " has no " + part.guideline
                                                : part.guideline + " is not in " +
                                                      standard->editions[tables[table].edition];
            } else {
                resolved.table = table;
                resolved.row = row->second;
            }
        }
        resolved.part = std::move(part);
        return resolved;
    }

    /// The table of `standard`, made with a row per guideline of its edition when first met.
    std::size_t tableOf(const Standard& standard) {
        for (std::size_t at = 0; at < tables.size(); ++at) {
            if (tables[at].standard == &standard) {
                return at;
            }
        }
        const bool claimed = &standard == plans_.claimed.standard;
        const Recategorization plan = plans_.planOf(standard);
        ComplianceTable& table = tables.emplace_back();
        table.standard = &standard;
        table.edition = plan.edition;
        table.claimed = claimed;
        auto& rows = rows_.emplace_back();
        for (const Guideline& guideline : standard.guidelines) {
            if (guideline.added > plan.edition) {
                continue;
            }
            rows.emplace(guideline.id, table.rows.size());
            ComplianceRow& row = table.rows.emplace_back();
            row.guideline = &guideline;
            row.misra = guideline.categoryIn(plan.edition);
            row.project = plan.categoryOf(guideline);
            if (claimed && plans_.enforcement) {
                row.enforcement = plans_.enforcement->of(guideline.id);
            }
        }
        return tables.size() - 1;
    }

    const CompliancePlans& plans_;
    std::vector<std::unordered_map<std::string, std::size_t>> rows_; // per table: id to row
    std::unordered_map<std::string, std::vector<Resolved>> resolved_;
};

std::string compliance(const ComplianceRow& row) {
    if (row.project == Category::disapplied) {
        return "Disapplied";
    }
    if (row.open > 0 || row.accepted > 0) {
        return "Violations";
    }
    if (row.deviated > 0) {
        return "Deviations";
    }
    // A guideline without findings is compliant only where something is known to check it.
    return !row.enforcement.empty() || row.falsePositive > 0
               ? "Compliant"
               : "no findings; enforcement not stated";
}

} // namespace

std::int64_t allErrorsOf(const std::vector<FileRow>& rows) {
    const std::size_t column = static_cast<std::size_t>(
        std::find(counterColumns.begin(), counterColumns.end(), "all_errors") -
        counterColumns.begin());
    std::int64_t total = 0;
    for (const FileRow& row : rows) {
        total += row.counters[column];
    }
    return total;
}

CompliancePlans readPlans(const PlanPaths& paths) {
    CompliancePlans plans;
    plans.catalogue = builtInCatalogue();
    for (const std::string& path : paths.catalogues) {
        plans.catalogueFiles.push_back(addCatalogueFile(plans.catalogue, path));
    }
    plans.claimed = paths.recategorization
                        ? readRecategorization(plans.catalogue, *paths.recategorization)
                        : defaultRecategorization(*plans.catalogue.standard("MISRA C:2012"));
    if (paths.deviations) {
        plans.deviations = readDeviationRegister(*paths.deviations);
    }
    if (paths.enforcement) {
        plans.enforcement = readEnforcementPlan(*paths.enforcement);
    }
    return plans;
}

std::string decisionFault(const Decision& decision, const std::string& guideline, Category category,
                          const std::string& file, std::int64_t number,
                          const std::optional<DeviationRegister>& deviations,
                          const std::string& today) {
    const std::string& state = decision.state;
    if (state == "confirmed" || state == "false-positive" || category == Category::disapplied) {
        return {};
    }
    if (category == Category::mandatory) {
        return state + " on the Mandatory " + guideline + ": only false-positive is allowed";
    }
    if (state == "accepted") {
        return category == Category::advisory
                   ? std::string()
                   : "accepted on the Required " + guideline +
                         ": only false-positive, or a deviation citing a record, is allowed";
    }
    const DeviationRecord* record = deviations ? deviations->record(decision.record) : nullptr;
    if (record == nullptr) {
        return "deviation citing the unknown record " + decision.record;
    }
    if (!record->expires.empty() && record->expires < today) {
        return "deviation citing the record " + decision.record + ", expired on " + record->expires;
    }
    if (!record->covers(guideline, file, number)) {
        return "deviation citing the record " + decision.record + ", which does not cover " +
               guideline + " in " + file + " (message " + std::to_string(number) + ")";
    }
    return {};
}

std::vector<std::string> decisionFaults(const Decision& decision, const TrackedFinding& finding,
                                        const CompliancePlans& plans, const std::string& today) {
    std::vector<std::string> faults;
    for (const ReferencePart& part : referenceParts(finding.reference)) {
        const Standard* standard = plans.catalogue.standard(part.standard);
        const Guideline* guideline = standard ? standard->guideline(part.guideline) : nullptr;
        if (guideline == nullptr) {
            continue;
        }
        const Recategorization plan = plans.planOf(*standard);
        if (guideline->added > plan.edition) {
            continue;
        }
        const std::string fault =
            decisionFault(decision, guideline->id, plan.categoryOf(*guideline), finding.file,
                          finding.number, plans.deviations, today);
        if (!fault.empty()) {
            faults.push_back(fault);
        }
    }
    return faults;
}

ComplianceSummary summarizeCompliance(const RunKey& run, const std::string& branch,
                                      std::vector<TrackedFinding> findings, const Triage& triage,
                                      const CompliancePlans& plans, const std::string& today,
                                      std::int64_t allErrors) {
    ComplianceSummary summary;
    summary.run = run;
    summary.branch = branch;
    summary.today = today;
    summary.allErrors = allErrors;
    for (const PlanFile* file : {plans.claimed.file.path.empty() ? nullptr : &plans.claimed.file,
                                 plans.deviations ? &plans.deviations->file : nullptr,
                                 plans.enforcement ? &plans.enforcement->file : nullptr}) {
        if (file != nullptr) {
            summary.planFiles.push_back(*file);
        }
    }
    summary.planFiles.insert(summary.planFiles.end(), plans.catalogueFiles.begin(),
                             plans.catalogueFiles.end());
    Tables tables(plans);
    for (std::size_t at = 0; at < findings.size(); ++at) {
        const TrackedFinding& finding = findings[at];
        const std::vector<Resolved>& parts = tables.resolve(finding.reference);
        if (parts.empty()) {
            summary.unreferenced.push_back(at);
            ++summary.apart;
            continue;
        }
        const AppliedDecision* applied =
            at < triage.decided.size() ? triage.decided[at].get() : nullptr;
        bool inRow = false;
        std::vector<std::pair<std::size_t, std::size_t>> counted; // a row once per finding
        for (const Resolved& part : parts) {
            if (!part.why.empty()) {
                summary.unknown.push_back({at, part.part, part.why});
                continue;
            }
            inRow = true;
            const std::pair place{part.table, part.row};
            if (std::find(counted.begin(), counted.end(), place) != counted.end()) {
                continue;
            }
            counted.push_back(place);
            ComplianceRow& row = tables.tables[part.table].rows[part.row];
            std::string fault;
            if (applied != nullptr && !applied->expired) {
                fault = decisionFault(applied->decision, row.guideline->id, row.project,
                                      finding.file, finding.number, plans.deviations, today);
            }
            if (!fault.empty()) {
                summary.faults.push_back({at, row.guideline->id, applied->source, fault});
            }
            const std::string state = applied == nullptr || applied->expired || !fault.empty()
                                          ? ""
                                          : applied->decision.state;
            if (state == "false-positive") {
                ++row.falsePositive;
            } else if (state == "accepted") {
                ++row.accepted;
            } else if (state == "deviation") {
                ++row.deviated;
                if (std::find(row.records.begin(), row.records.end(), applied->decision.record) ==
                    row.records.end()) {
                    row.records.push_back(applied->decision.record);
                }
            } else {
                ++row.open;
            }
        }
        ++(inRow ? summary.inRows : summary.apart);
    }
    for (ComplianceTable& table : tables.tables) {
        for (ComplianceRow& row : table.rows) {
            std::sort(row.records.begin(), row.records.end());
            row.compliance = compliance(row);
            if (row.compliance == "Violations" &&
                (row.project == Category::mandatory || row.project == Category::required)) {
                summary.deciding.push_back(table.standard->name + " " + row.guideline->id);
            }
            if (row.compliance == "Deviations" && row.project != Category::advisory) {
                summary.deviated.push_back(table.standard->name + " " + row.guideline->id);
            }
            summary.unenforced += row.compliance.starts_with("no findings") ? 1 : 0;
        }
    }
    summary.compliant = summary.deciding.empty();
    summary.tables = std::move(tables.tables);
    summary.findings = std::move(findings);
    return summary;
}

} // namespace vendrik::history
