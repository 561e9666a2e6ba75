#include "output/summary_report.h"

#include "output/text_format.h"

namespace vendrik {

std::string bandCountsValueList(const PriorityBandCounts& counts) {
    return quoted(numberText(counts.allFindings)) + " ," + quoted(numberText(counts.priority8to9)) +
           ", " + quoted(numberText(counts.priority5to7)) + ", " +
           quoted(numberText(counts.priority0to4)) + ", " + quoted(numberText(counts.his));
}

void appendSummaryReport(OutputLines& lines, const std::vector<FileFindings>& ranked,
                         FindingRange allFindings, std::string_view runDate,
                         std::string_view runTime, std::string_view platform,
                         std::string_view typName) {
    lines.emplace_back("[files]");
    for (const FileFindings& entry : ranked) {
        std::string line;
        line.append(runDate).append(", ").append(runTime).append(" ");
        line.append(platform).append("\\").append(entry.file).append(", ");
        line.append(bandCountsValueList(countPriorityBands(entry.findings)));
        lines.push_back(std::move(line));
    }
    lines.emplace_back("");
    lines.emplace_back("[totals]");
    lines.push_back("Number of files with warnings/errors : " + quoted(numberText(ranked.size())));
    lines.push_back("Number of unique warnings/errors____ : " +
                    bandCountsValueList(countPriorityBands(allFindings)));
    lines.emplace_back("");
    lines.emplace_back("[info]");
    lines.push_back("Platform___: " + std::string(platform));
    lines.push_back("ProjectName: " + std::string(typName));
    lines.push_back("Tool_______: " + std::string(toolLabel));
    lines.emplace_back("");
}

} // namespace vendrik
