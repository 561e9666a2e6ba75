#include "parse/regex_grammar.h"

#include <string>

namespace vendrik {

namespace {

template <std::size_t N>
bool matchWhole(const std::regex& grammar, std::string_view text,
                std::array<std::string_view, N>& groups) {
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_match(text.begin(), text.end(), match, grammar)) {
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (i < match.size() && match[i].matched) {
            const auto offset = static_cast<std::size_t>(match[i].first - text.begin());
            groups[i] = text.substr(offset, static_cast<std::size_t>(match[i].length()));
        } else {
            groups[i] = {};
        }
    }
    return true;
}

} // namespace

const std::regex& reportLineGrammar() {
    static const std::regex grammar(
        std::string("(.*\\.(?:h|cpp|c|hpp))") + "[[:space:]]+" + "\\(" + "([0-9]+)" + "\\)" +
            "[[:space:]]+" + "[[:punct:]]{1}" + "[[:space:]]+" + "(warning|error)" +
            "[[:space:]]+" + "[[:punct:]]{1}" + "[[:space:]]+" + "QAC\\(Prio([0-9]{1})\\)" +
            "[[:space:]]+" + "Msg" + "[[:punct:]]{1}" + "[[:space:]]+" + "([0-9]+)" + "\\(" +
            "(.*)" + "\\.\\)" + "(.*)" + "[[:space:]]+" + "(Ref)" + "[[:punct:]]{1}" + "(.*)",
        std::regex::ECMAScript);
    return grammar;
}

const std::regex& ruleReferenceGrammar() {
    static const std::regex grammar(std::string("(MISRA.*[[:punct:]]{1}[0-9]+)") + "[[:space:]]+" +
                                        "(Rule|Dir)" + "[\\-]{1}" + "([0-9]+)" + "[\\.]{1}" +
                                        "([0-9]+)" + "(.*)",
                                    std::regex::ECMAScript);
    return grammar;
}

bool matchReportLineRegex(std::string_view line, ReportLineGroups& groups) {
    return matchWhole(reportLineGrammar(), line, groups);
}

bool matchRuleReferenceRegex(std::string_view text, RuleReferenceGroups& groups) {
    return matchWhole(ruleReferenceGrammar(), text, groups);
}

} // namespace vendrik
