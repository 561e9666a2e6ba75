#include "output/code_quality.h"

#include "analysis/finding_counts.h"
#include "output/json_text.h"
#include "output/review_findings.h"
#include "output/text_format.h"

#include <algorithm>

namespace vendrik {

namespace {

using namespace std::literals;

constexpr std::array<const char*, 3> severities = {"critical", "major", "minor"};

} // namespace

bool writeCodeQuality(const FindingsList& list, const TextSink& sink,
                      const ReviewSelection& selection) {
    ExportText made(sink);
    std::string& out = made.text;
    out = "[";
    bool first = true;
    FileText path(appendJsonPath);
    forEachReviewFinding(
        list,
        [&](const ReviewFinding& review) {
            const Finding& finding = review.finding;
            out += first ? "\n{\"description\":" : ",\n{\"description\":";
            first = false;
            appendJsonSentence(out, finding.messageText);
            out += ",\"check_name\":\""sv;
            out += numberText(finding.messageNumber);
            out += "\",\"fingerprint\":\""sv;
            out += review.fingerprint;
            out += "\",\"severity\":\""sv;
            out += bandName(finding.priority, severities);
            // HIS findings are metrics, which the summary counts apart from the bands.
            out += review.his ? "\",\"categories\":[\"Complexity\"],\"location\":{\"path\":"sv
                              : "\",\"location\":{\"path\":"sv;
            out += path.of(finding.file);
            out += ",\"lines\":{\"begin\":"sv;
            out += numberText(std::max(finding.line, std::uint32_t{1}));
            out += "}}}"sv;
            made.pieceMade();
        },
        selection);
    out += "\n]\n"sv;
    return made.finish();
}

} // namespace vendrik
