#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "ntfs/timestamps.h"

namespace verandol {
namespace {

constexpr std::uint64_t kUnixEpochTicks = 116'444'736'000'000'000ULL;  // 1970-01-01 in NTFS time
constexpr std::uint64_t kTicksPerSecond = 10'000'000ULL;

std::uint64_t NtfsFromUnix(std::int64_t seconds, std::uint64_t extra_ticks = 0) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(kUnixEpochTicks) +
                                      seconds * static_cast<std::int64_t>(kTicksPerSecond)) +
           extra_ticks;
}

// Pins TZ for the lifetime of the object and puts the previous value back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* rule) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", rule, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (saved_) setenv("TZ", saved_->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> saved_;
};

void ExpectDateTime(std::optional<LocalDateTime> got, int year, int month, int day, int hour,
                    int minute, int second, int millisecond) {
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->year, year);
    EXPECT_EQ(got->month, month);
    EXPECT_EQ(got->day, day);
    EXPECT_EQ(got->hour, hour);
    EXPECT_EQ(got->minute, minute);
    EXPECT_EQ(got->second, second);
    EXPECT_EQ(got->millisecond, millisecond);
}

TEST(FileTimeToLocalDateTime, IsExactAtTheEdgesOfTheRange) {
    ScopedTimeZone utc("UTC0");
    ExpectDateTime(FileTimeToLocalDateTime(0), 1601, 1, 1, 0, 0, 0, 0);
    ExpectDateTime(FileTimeToLocalDateTime(kUnixEpochTicks), 1970, 1, 1, 0, 0, 0, 0);
    // 9999-12-31 23:59:59 is the last second with a four-digit year.
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(253'402'300'799)), 9999, 12, 31, 23, 59,
                   59, 0);
    EXPECT_FALSE(FileTimeToLocalDateTime(NtfsFromUnix(253'402'300'800)).has_value());
    EXPECT_FALSE(FileTimeToLocalDateTime(std::uint64_t{1} << 63).has_value());
    EXPECT_FALSE(FileTimeToLocalDateTime(~std::uint64_t{0}).has_value());
}

TEST(FileTimeToLocalDateTime, DropsSubMillisecondTicksEvenBefore1970) {
    ScopedTimeZone utc("UTC0");
    // 2021-05-04 13:07:09.9999999: rounding would carry into the next second.
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(1'620'133'629, 9'999'999)), 2021, 5, 4,
                   13, 7, 9, 999);
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(1'620'133'629, 9'999)), 2021, 5, 4, 13,
                   7, 9, 0);
    // One tick before 1970 belongs to the last millisecond of 1969, not to
    // 1970-01-01 00:00:00 as truncating division towards zero would give.
    ExpectDateTime(FileTimeToLocalDateTime(kUnixEpochTicks - 1), 1969, 12, 31, 23, 59, 59, 999);
    ExpectDateTime(FileTimeToLocalDateTime(kUnixEpochTicks - 5'000'001), 1969, 12, 31, 23, 59,
                   59, 499);
}

TEST(FileTimeToLocalDateTime, UsesTheOffsetInForceAtThatMoment) {
    ScopedTimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
    // 2021-07-01 12:00 UTC is summer time, 2021-01-15 12:00 UTC is not.
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(1'625'140'800)), 2021, 7, 1, 14, 0, 0, 0);
    ExpectDateTime(FileTimeToLocalDateTime(NtfsFromUnix(1'610'712'000)), 2021, 1, 15, 13, 0, 0, 0);
    // A positive offset may push the last UTC second of 9999 into year 10000.
    EXPECT_FALSE(FileTimeToLocalDateTime(NtfsFromUnix(253'402'300'799)).has_value());
}

TEST(FileTimeToUtcIso8601, WritesCalendarDatesAcrossLeapRules) {
    EXPECT_EQ(FileTimeToUtcIso8601(NtfsFromUnix(1'620'133'629, 9'999'999)), "2021-05-04T13:07:09Z");
    EXPECT_EQ(FileTimeToUtcIso8601(0), "1601-01-01T00:00:00Z");
    EXPECT_EQ(FileTimeToUtcIso8601(kUnixEpochTicks - 1), "1969-12-31T23:59:59Z");
    EXPECT_EQ(FileTimeToUtcIso8601(NtfsFromUnix(951'782'400)), "2000-02-29T00:00:00Z");
    EXPECT_EQ(FileTimeToUtcIso8601(NtfsFromUnix(-2'203'891'200)), "1900-03-01T00:00:00Z");
    EXPECT_EQ(FileTimeToUtcIso8601(NtfsFromUnix(253'402'300'799)), "9999-12-31T23:59:59Z");
    EXPECT_FALSE(FileTimeToUtcIso8601(NtfsFromUnix(253'402'300'800)).has_value());
    EXPECT_FALSE(FileTimeToUtcIso8601(std::uint64_t{1} << 63).has_value());
}

TEST(FileTimeToUtcIso8601, AgreesWithTheCLibraryInUtc) {
    // The ISO text has its own calendar arithmetic; check it against
    // localtime_r over a spread of values from 1601 to 9999.
    ScopedTimeZone utc("UTC0");
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    const std::uint64_t last = NtfsFromUnix(253'402'300'799);
    for (int i = 0; i < 20'000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const std::uint64_t ticks = (state >> 1) % last;
        const auto local = FileTimeToLocalDateTime(ticks);
        ASSERT_TRUE(local.has_value()) << ticks;
        char expected[32];
        std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02dZ", local->year,
                      local->month, local->day, local->hour, local->minute, local->second);
        ASSERT_EQ(FileTimeToUtcIso8601(ticks), std::string(expected)) << ticks;
    }
}

}  // namespace
}  // namespace verandol
