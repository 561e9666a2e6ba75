#include "output/run_timestamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>

namespace vendrik {
namespace {

/// Sets the process's time zone for the length of one test.
class TimeZone {
  public:
    explicit TimeZone(const char* zone) {
        if (const char* previous = std::getenv("TZ")) {
            saved_ = previous;
            hadZone_ = true;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (hadZone_) {
            setenv("TZ", saved_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::string saved_;
    bool hadZone_ = false;
};

TEST(RunTimestamp, FormatsLocalDateAndTime) {
    const TimeZone utc("UTC0");
    const struct {
        std::int64_t seconds;
        const char* date;
        const char* time;
    } rows[] = {
        {1569493032, "2019.09.26", "10:17:12"},   {1614931449, "2021.03.05", "08:04:09"},
        {1735689599, "2024.12.31", "23:59:59"},   {1735689600, "2025.01.01", "00:00:00"},
        {1700053500, "2023.11.15", "13:05:00"},   {0, "1970.01.01", "00:00:00"},
        {253402300799, "9999.12.31", "23:59:59"},
    };
    for (const auto& row : rows) {
        std::string date = "old";
        std::string time = "old";
        takeRunTimestampAt(row.seconds, date, time);
        EXPECT_EQ(date, row.date) << row.seconds;
        EXPECT_EQ(time, row.time) << row.seconds;
    }
}

TEST(RunTimestamp, AppliesTheTimeZoneAndDaylightSaving) {
    const TimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    std::string date;
    std::string time;
    takeRunTimestampAt(1719835200, date, time); // 2024-07-01 12:00:00 UTC
    EXPECT_EQ(date, "2024.07.01");
    EXPECT_EQ(time, "14:00:00");
    takeRunTimestampAt(1704110400, date, time); // 2024-01-01 12:00:00 UTC
    EXPECT_EQ(time, "13:00:00");
}

TEST(RunTimestamp, ClockBeyondTheConversionGivesTheNullStamp) {
    const TimeZone utc("UTC0");
    for (const std::int64_t seconds :
         {std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min(),
          std::int64_t{253402300800}}) {
        std::string date;
        std::string time;
        takeRunTimestampAt(seconds, date, time);
        EXPECT_EQ(date, "0000.00.00") << seconds;
        EXPECT_EQ(time, "00:00:00") << seconds;
    }
}

TEST(RunTimestamp, TakesTheCurrentTime) {
    std::string date;
    std::string time;
    takeRunTimestamp(date, time);
    ASSERT_EQ(date.size(), 10u);
    ASSERT_EQ(time.size(), 8u);
    EXPECT_EQ(date[4], '.');
    EXPECT_EQ(time[2], ':');
    EXPECT_GE(date, "2024.01.01");
}

} // namespace
} // namespace vendrik
