#pragma once

#include <deque>
#include <string>

namespace vendrik {

/// The run's output: complete lines without terminators, appended at the back only.
using OutputLines = std::deque<std::string>;

/// The output as the file and the console receive it: every line followed by "\n".
std::string joinOutputLines(const OutputLines& lines);

} // namespace vendrik
