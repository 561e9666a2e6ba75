#pragma once

#include <ostream>
#include <string_view>

namespace vendrik {

/// Writes the two banner lines that identify the program, read from the version
/// information of the program file at `programPath`, to `console`; nothing when the
/// program carries no version information.
void printVersionBanner(std::string_view programPath, std::ostream& console);

} // namespace vendrik
