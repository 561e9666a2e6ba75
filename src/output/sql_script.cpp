#include "output/sql_script.h"

#include "output/text_format.h"

namespace vendrik {

std::string countsValueList(const FindingCounts& counts) {
    std::string list = quoted(numberText(counts.all_errors)) + " ,";
    for (std::size_t digit = 0; digit < misraCounters.size(); ++digit) {
        list += quoted(numberText(counts.*misraCounters[digit]));
        list += ", ";
    }
    list += quoted(numberText(counts.his));
    return list;
}

std::string sqlValue(std::string_view text) {
    std::string doubled;
    doubled.reserve(text.size());
    for (const char c : text) {
        if (c == '\0') {
            // The sqlite3 shell drops what follows a NUL in a script line, which could end
            // the value early: the byte is made by the expression instead.
            doubled += "\" || char(0) || \"";
            continue;
        }
        doubled += c;
        if (c == '"') {
            doubled += '"';
        }
    }
    return quoted(doubled);
}

void appendSqlScript(OutputLines& lines, const std::vector<FileFindings>& ranked,
                     std::string_view runDate, std::string_view runTime, std::string_view platform,
                     std::string_view project, std::string_view hash) {
    lines.emplace_back(sqlSchemaStatement);
    const std::string rowHead = std::string(sqlInsertHead) + sqlValue(platform) + ", " +
                                sqlValue(project) + ", " + sqlValue(toolLabel) + ", " +
                                sqlValue(hash) + ", " + sqlValue(runDate) + ", " +
                                sqlValue(runTime) + ", ";
    for (const FileFindings& entry : ranked) {
        std::string fileName(platform);
        fileName.append("\\").append(entry.file);
        lines.push_back(rowHead + sqlValue(fileName) + ", " +
                        countsValueList(countFindings(entry.findings)) + ");");
    }
}

} // namespace vendrik
