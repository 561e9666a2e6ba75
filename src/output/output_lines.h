#pragma once

#include <deque>
#include <fstream>
#include <ostream>
#include <string>

namespace vendrik {

/// The run's output: complete lines without terminators, appended at the back only.
using OutputLines = std::deque<std::string>;

/// Writes every line followed by "\n" to `file`, closes it, and then, only if writing and
/// closing succeeded, writes the same lines the same way to `console`. Returns false when
/// the file could not be written or closed completely (a full disk, say); the console then
/// receives nothing. Failures on the console are not reported.
bool emitOutputLines(const OutputLines& lines, std::ofstream& file, std::ostream& console);

} // namespace vendrik
