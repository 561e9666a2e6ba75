#pragma once

#include "output/output_file.h"

#include <deque>
#include <ostream>
#include <string>

namespace vendrik {

/// The run's output: complete lines without terminators, appended at the back only.
using OutputLines = std::deque<std::string>;

/// Writes every line followed by "\n" to `file` as its whole new content (see
/// replaceOutputFile) and then, only if that succeeded and `echo` is set, writes the same
/// text to `console` in one piece. Returns false when the file could not be written, closed
/// or put in place (a full disk, say); the console then receives nothing. Failures on the
/// console are not reported.
bool emitOutputLines(const OutputLines& lines, OutputFile& file, std::ostream& console, bool echo);

} // namespace vendrik
