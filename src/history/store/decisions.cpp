#include "history/store/decisions.h"

#include <algorithm>

namespace vendrik::history {

namespace {

constexpr const char* decisionColumns =
    "platform, project, branch, run, fingerprint, file, line, number, text, state, record, "
    "reason, author, at, expires, approver";

constexpr std::size_t decisionColumnCount = 16;

} // namespace

void insertDecisions(SqlSession& session, const std::vector<Decision>& decisions,
                     const std::string& author) {
    // Many to a statement: a thousand decisions are a few statements.
    constexpr std::size_t perStatement = 50;
    for (std::size_t first = 0; first < decisions.size(); first += perStatement) {
        std::string rows;
        std::vector<SqlValue> values;
        for (std::size_t at = first; at < std::min(decisions.size(), first + perStatement); ++at) {
            const Decision& d = decisions[at];
            rows += rows.empty() ? "(" : ", (";
            for (std::size_t column = 0; column < decisionColumnCount; ++column) {
                rows += (column ? ", " : "") + std::string("cast(?") +
                        std::to_string(values.size() + column + 1) +
                        (column == 6 || column == 7 ? " as bigint)" : " as text)");
            }
            rows += ")";
            const auto optional = [](const std::string& text) {
                return text.empty() ? SqlValue(nullptr) : SqlValue(text);
            };
            for (SqlValue value :
                 {SqlValue(d.platform), SqlValue(d.project), SqlValue(d.branch), SqlValue(d.run),
                  SqlValue(d.finding.fingerprint), SqlValue(d.finding.file),
                  SqlValue(d.finding.line), SqlValue(d.finding.number), SqlValue(d.finding.text),
                  SqlValue(d.state), optional(d.record), SqlValue(d.reason),
                  SqlValue(d.author.empty() ? author : d.author), SqlValue(d.at),
                  optional(d.expires), optional(d.approver)}) {
                values.push_back(std::move(value));
            }
        }
        session.execute("insert into vendrik_history_decisions (" + std::string(decisionColumns) +
                            ") values " + rows,
                        values);
    }
}

std::vector<Decision> storedDecisions(SqlSession& session, const std::string& platform,
                                      const std::string& project, const std::string& branch) {
    std::vector<Decision> found;
    session.forEachRow(
        "select d.platform, d.project, d.branch, d.run, d.fingerprint, d.file, d.line, "
        "d.number, d.text, d.state, d.record, d.reason, d.author, d.at, d.expires, d.approver, "
        "d.sequence, f.origin from vendrik_history_decisions d left join vendrik_history_findings "
        "f" +
            session.readBy("vendrik_history_findings_by_print") +
            " on f.platform = d.platform and f.project = d.project and f.branch = d.branch and "
            "f.fingerprint = d.fingerprint and f.first <= d.run and f.last >= d.run where "
            "d.platform = ?1 and d.project = ?2 and d.branch = ?3 order by d.sequence",
        {platform, project, branch}, [&](const SqlCursor& row) {
            Decision& d = found.emplace_back();
            d.platform = row.text(0);
            d.project = row.text(1);
            d.branch = row.text(2);
            d.run = row.text(3);
            d.finding.fingerprint = row.text(4);
            d.finding.file = row.text(5);
            d.finding.line = row.number(6);
            d.finding.number = row.number(7);
            d.finding.text = row.text(8);
            d.state = row.text(9);
            d.record = row.text(10);
            d.reason = row.text(11);
            d.author = row.text(12);
            d.at = row.text(13);
            d.expires = row.text(14);
            d.approver = row.text(15);
            d.sequence = row.number(16);
            d.finding.origin = row.text(17);
        });
    return found;
}

} // namespace vendrik::history
