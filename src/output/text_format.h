#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrik {

/// Names the analyser in both outputs.
inline constexpr std::string_view toolLabel = "QAC 8.1.2.R";

/// `text` between two double-quote characters, copied verbatim (nothing escaped).
std::string quoted(std::string_view text);

/// Plain decimal digits of `count`: no sign, no leading zeros, no grouping; 0 is "0".
std::string numberText(std::uint64_t count);

} // namespace vendrik
