#include "output/sarif_log.h"

#include "analysis/finding_counts.h"
#include "output/json_text.h"
#include "output/review_findings.h"
#include "output/sarif_rules.h"
#include "output/text_format.h"
#include "parse/rule_reference.h"
#include "version_record.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace vendrik {

namespace {

using namespace std::literals;

/// The analyser's name and version, from the tool label ("QAC 8.1.2.R").
constexpr std::string_view toolName = toolLabel.substr(0, toolLabel.find(' '));
constexpr std::string_view toolVersion = toolLabel.substr(toolLabel.find(' ') + 1);

/// A property "name":"text".
void appendTextProperty(std::string& out, std::string_view name, std::string_view text) {
    out += '"';
    out += name;
    out += "\":"sv;
    appendJsonString(out, text);
}

/// {"text":"..."}
void appendMessage(std::string& out, std::string_view text) {
    out += "{\"text\":"sv;
    appendJsonString(out, text);
    out += '}';
}

/// The rule of message number `number`, from what all its findings say (see RuleFacts).
void appendRule(std::string& out, std::uint32_t number, const RuleFacts& facts) {
    const bool his = isHisMessage(number);
    const std::string id = std::to_string(number);
    std::string references;
    for (const std::string& reference : facts.references) {
        references += (references.empty() ? "" : "; ") + reference;
    }
    const std::string described = "QAC message " + id + ": " + facts.summary + ".";
    std::string help = described;
    help += references.empty() ? "" : " MISRA references: " + references + ".";
    help += his ? " It belongs to the HIS metric messages (5300 to 5399)." : "";
    out += "{\"id\":\"" + id + "\",\"name\":\"QacMessage" + id + "\",\"shortDescription\":";
    appendMessage(out, facts.summary + ".");
    out += ",\"fullDescription\":"sv;
    appendMessage(out, described);
    out += ",\"help\":"sv;
    appendMessage(out, help);
    out += ",\"defaultConfiguration\":{\"level\":\""sv;
    out += bandName(mostFrequentPriority(facts), sarifLevels);
    out += "\"},\"properties\":{\"tags\":["sv;
    bool first = true;
    for (const std::string& reference : facts.references) {
        out += first ? "" : ",";
        first = false;
        appendJsonString(out, reference);
    }
    out += his ? (first ? "\"HIS\"" : ",\"HIS\"") : "";
    out += "],\"his\":"sv;
    out += his ? "true" : "false";
    // One rule reference: its standard and number, for viewers that filter on them.
    if (const auto rule = facts.references.size() == 1
                              ? parseRuleReference(*facts.references.begin())
                              : std::nullopt) {
        out += ',';
        appendTextProperty(out, "misraStandard", rule->ruleStandard);
        out += ',';
        appendTextProperty(out, "misraRule",
                           std::to_string(rule->ruleNumber) + "." +
                               std::to_string(rule->ruleSubNumber));
    }
    out += "}}"sv;
}

/// One result; `uri` is the finding's file as appendUriPath gives it.
void appendResult(std::string& out, const ReviewFinding& review, std::size_t ruleIndex,
                  std::string_view uri) {
    const Finding& finding = review.finding;
    out += "{\"ruleId\":\""sv;
    out += numberText(finding.messageNumber);
    out += "\",\"ruleIndex\":"sv;
    out += numberText(ruleIndex);
    out += ",\"level\":\""sv;
    out += bandName(finding.priority, sarifLevels);
    out += "\",\"message\":{\"text\":"sv;
    appendJsonSentence(out, finding.messageText);
    out += "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":\""sv;
    out += uri;
    out += "\",\"uriBaseId\":\"SRCROOT\"}"sv;
    if (finding.line >= 1) {
        out += ",\"region\":{\"startLine\":"sv;
        out += numberText(finding.line);
        out += '}';
    }
    out += "}}],\"partialFingerprints\":{\""sv;
    out += fingerprintKey;
    out += "\":\""sv;
    out += review.fingerprint;
    out += "\"},\"properties\":{\"priority\":"sv;
    out += numberText(finding.priority);
    out += ",\"his\":"sv;
    out += review.his ? "true,\"tags\":[\"HIS\"]" : "false";
    out += "}}"sv;
}

} // namespace

bool writeSarifLog(const FindingsList& list, const SarifRun& run, const TextSink& sink,
                   const ReviewSelection& selection) {
    // The rules come first, each from all the log's findings of its message number.
    std::map<std::uint32_t, std::size_t> ruleIndex;
    ExportText made(sink);
    std::string& out = made.text;
    out = "{\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\",\"version\":\"2.1.0\","
          "\"runs\":[{\"tool\":{\"driver\":{\"name\":\"" +
          std::string(toolName) + "\",\"version\":\"" + std::string(toolVersion) + "\",\"rules\":[";
    for (const auto& [number, facts] : gatherRuleFacts(list, selection)) {
        out += ruleIndex.empty() ? "" : ",";
        ruleIndex.emplace(number, ruleIndex.size());
        appendRule(out, number, facts);
    }
    out += "]}},\"conversion\":{\"tool\":{\"driver\":{\"name\":\"Vendrik\",\"version\":\"" +
           std::to_string(versionMajor) + "." + std::to_string(versionMinor) + "." +
           std::to_string(versionPatch) + "." + std::to_string(versionTweak) +
           "\"}}},\"automationDetails\":{\"id\":";
    appendJsonString(out, run.category.empty() ? "vendrik/" + std::string(run.platform) + "/" +
                                                     std::string(run.project) + "/"
                                               : std::string(run.category) + "/");
    out += "},\"originalUriBaseIds\":{\"SRCROOT\":{\"description\":{\"text\":\"The folder that "
           "holds the source tree's Src folder; every file location is relative to it.\"}}}";
    if (!run.repositoryUri.empty()) { // SARIF requires the repository's URI
        out += ",\"versionControlProvenance\":[{\"repositoryUri\":"sv;
        appendJsonString(out, uriReference(run.repositoryUri));
        // A branch as a fully qualified ref, as code-scanning uploads require.
        const std::string ref = run.branch.starts_with("refs/") || run.branch.empty()
                                    ? std::string(run.branch)
                                    : "refs/heads/" + std::string(run.branch);
        for (const auto& [name, value] :
             {std::pair{"revisionId"sv, run.hash}, {"branch"sv, std::string_view(ref)}}) {
            if (!value.empty()) {
                out += ',';
                appendTextProperty(out, name, value);
            }
        }
        out += ",\"mappedTo\":{\"uriBaseId\":\"SRCROOT\"}}]"sv;
    }
    out += ",\"invocations\":[{\"executionSuccessful\":true"sv;
    if (!run.startTimeUtc.empty()) {
        out += ',';
        appendTextProperty(out, "startTimeUtc", run.startTimeUtc);
    }
    if (selection.leftOut > 0) {
        out += ",\"toolExecutionNotifications\":[{\"level\":\"warning\",\"message\":{\"text\":\"" +
               std::to_string(selection.leftOut) + " of " + std::to_string(list.findings.size()) +
               " findings left out: --review_max_findings keeps the " + std::to_string(*run.cap) +
               " most serious (priority, then the summary's file order).\"}}]";
    }
    out += "}]"sv;
    out += ",\"properties\":{"sv;
    appendTextProperty(out, "platform", run.platform);
    out += ',';
    appendTextProperty(out, "project", run.project);
    for (const auto& [name, value] :
         {std::pair{"githash"sv, run.hash}, {"date"sv, run.date}, {"time"sv, run.time}}) {
        out += ',';
        appendTextProperty(out, name, value);
    }
    if (!run.branch.empty()) {
        out += ',';
        appendTextProperty(out, "branch", run.branch);
    }
    if (run.cap) {
        out += ",\"reviewMaxFindings\":" + std::to_string(*run.cap) +
               ",\"omittedFindings\":" + std::to_string(selection.leftOut);
    }
    out += "},\"results\":["sv;

    bool first = true;
    FileText uri(appendUriPath);
    // The files of the results, each once (two names may come to one path inside the root).
    std::set<std::string> files;
    forEachReviewFinding(
        list,
        [&](const ReviewFinding& review) {
            out += first ? "" : ",";
            first = false;
            const std::string& path = uri.of(review.finding.file);
            appendResult(out, review, ruleIndex.at(review.finding.messageNumber), path);
            files.insert(path);
            made.pieceMade();
        },
        selection);
    out += "],\"artifacts\":["sv;
    for (const std::string& path : files) {
        out += path == *files.begin() ? "" : ",";
        out += "{\"location\":{\"uri\":\"" + path + "\",\"uriBaseId\":\"SRCROOT\"}}";
    }
    out += "]}]}\n"sv;
    return made.finish();
}

} // namespace vendrik
