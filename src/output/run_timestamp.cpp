#include "output/run_timestamp.h"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <locale>
#include <optional>
#include <sstream>

namespace vendrik {

namespace {

/// The platform's conversion to local broken-down time; nothing when it fails.
std::optional<std::tm> toLocalTime(std::int64_t secondsSinceEpoch) {
    std::tm local{};
#ifdef _WIN32
    const __time64_t seconds = secondsSinceEpoch;
    if (_localtime64_s(&local, &seconds) != 0) {
        return std::nullopt;
    }
#else
    const auto seconds = static_cast<std::time_t>(secondsSinceEpoch);
    if (static_cast<std::int64_t>(seconds) != secondsSinceEpoch ||
        localtime_r(&seconds, &local) == nullptr) {
        return std::nullopt;
    }
#endif
    return local;
}

} // namespace

void takeRunTimestamp(std::string& runDate, std::string& runTime) {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    takeRunTimestampAt(now.time_since_epoch().count(), runDate, runTime);
}

RunStamp takeRunStamp() {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const std::int64_t seconds = now.time_since_epoch().count();
    RunStamp stamp;
    takeRunTimestampAt(seconds, stamp.date, stamp.time);
    std::tm utc{};
#ifdef _WIN32
    const __time64_t clock = seconds;
    const bool converted = _gmtime64_s(&utc, &clock) == 0;
#else
    const auto clock = static_cast<std::time_t>(seconds);
    const bool converted = gmtime_r(&clock, &utc) != nullptr;
#endif
    if (converted && utc.tm_year >= 1000 - 1900 && utc.tm_year <= 9999 - 1900) {
        std::ostringstream text;
        text.imbue(std::locale::classic());
        text << std::put_time(&utc, "%Y-%m-%dT%H:%M:%SZ");
        stamp.utc = text.str();
    }
    return stamp;
}

void takeRunTimestampAt(std::int64_t secondsSinceEpoch, std::string& runDate,
                        std::string& runTime) {
    const std::optional<std::tm> local = toLocalTime(secondsSinceEpoch);
    if (!local || local->tm_year < 1000 - 1900 || local->tm_year > 9999 - 1900) {
        runDate = "0000.00.00";
        runTime = "00:00:00";
        return;
    }
    std::stringstream stamp;
    stamp.imbue(std::locale::classic());
    stamp << std::put_time(&*local, "%Y.%m.%d %X");
    stamp >> runDate >> runTime;
}

} // namespace vendrik
