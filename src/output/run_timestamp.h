#pragma once

#include <cstdint>
#include <string>

namespace vendrik {

/// A run's local date (YYYY.MM.DD) and time (HH:MM:SS), as the SQL script writes them, and
/// the same moment in UTC as ISO 8601 ("2026-12-08T23:59:07Z"; empty when the platform cannot
/// convert it).
struct RunStamp {
    std::string date;
    std::string time;
    std::string utc;
};

/// The run's stamp, from one reading of the clock.
RunStamp takeRunStamp();

/// Stamps the run with the current local time: `runDate` becomes YYYY.MM.DD and `runTime`
/// HH:MM:SS (24-hour clock, zero-padded), the fraction of the second dropped.
void takeRunTimestamp(std::string& runDate, std::string& runTime);

/// The same for a clock reading given as whole seconds since 1970-01-01 00:00:00 UTC.
/// When the platform cannot convert the reading to local time, or the local year does not
/// have four digits, the stamp is 0000.00.00 and 00:00:00, a date no real run carries.
void takeRunTimestampAt(std::int64_t secondsSinceEpoch, std::string& runDate, std::string& runTime);

} // namespace vendrik
