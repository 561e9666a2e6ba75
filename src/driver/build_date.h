#pragma once

#include <string>

namespace vendrik {

/// The date the program was built, as "Sep 26 2019": English month abbreviation, day
/// right-aligned in two characters, four-digit year. Taken from SOURCE_DATE_EPOCH when the
/// build sets it, so that builds are reproducible. Made once, on first use.
const std::string& buildDate();

} // namespace vendrik
