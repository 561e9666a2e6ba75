#include "output/output_lines.h"

namespace vendrik {

namespace {

void writeLines(const OutputLines& lines, std::ostream& sink) {
    for (const std::string& line : lines) {
        sink.write(line.data(), static_cast<std::streamsize>(line.size()));
        sink.put('\n');
    }
}

} // namespace

bool emitOutputLines(const OutputLines& lines, std::ofstream& file, std::ostream& console) {
    writeLines(lines, file);
    file.close(); // flushes; a failure to write or close leaves the stream failed
    if (file.fail()) {
        return false;
    }
    writeLines(lines, console);
    return true;
}

} // namespace vendrik
