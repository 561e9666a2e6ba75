#include "output/output_lines.h"

namespace vendrik {

bool emitOutputLines(const OutputLines& lines, OutputFile& file, std::ostream& console, bool echo) {
    std::size_t size = 0;
    for (const std::string& line : lines) {
        size += line.size() + 1;
    }
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    if (!replaceOutputFile(file, text)) {
        return false;
    }
    if (echo) {
        console.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    return true;
}

} // namespace vendrik
