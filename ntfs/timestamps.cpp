#include "ntfs/timestamps.h"

#include <cstdio>
#include <ctime>

namespace verandol {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kTicksPerMillisecond = 10'000;
// Seconds from 1601-01-01 to 1970-01-01: 369 years holding 89 leap days.
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
constexpr std::uint64_t kFirstInvalid = std::uint64_t{1} << 63;

// Years past 2038 and before 1901 are ordinary NTFS values; a 32-bit time_t
// would silently wrap them.
static_assert(sizeof(std::time_t) >= 8, "file times need a 64-bit time_t");

struct SplitTime {
    std::int64_t unix_seconds;
    int millisecond;
};

std::optional<SplitTime> Split(std::uint64_t ntfs_time) {
    if (ntfs_time >= kFirstInvalid) return std::nullopt;
    // Dividing the unsigned count since 1601 is floor division, so a time just
    // before 1970 keeps its own second and millisecond instead of borrowing
    // from the next one, which truncating a negative count would do.
    const auto seconds_since_1601 = static_cast<std::int64_t>(ntfs_time / kTicksPerSecond);
    const auto millisecond =
        static_cast<int>((ntfs_time % kTicksPerSecond) / kTicksPerMillisecond);
    return SplitTime{seconds_since_1601 - kSecondsFrom1601To1970, millisecond};
}

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

// Gregorian date of a day count relative to 1970-01-01, valid for any count.
// Works in 400-year eras starting on 1 March, so the leap day falls at the end
// of each era-year and needs no special case.
CivilDate CivilFromDays(std::int64_t days) {
    days += 719'468;  // shift the origin to 0000-03-01
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const std::int64_t day_of_era = days - era * 146'097;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1'460 + day_of_era / 36'524 - day_of_era / 146'096) / 365;
    const std::int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;  // 0 = March
    const auto day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    const auto month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

}  // namespace

std::optional<LocalDateTime> FileTimeToLocalDateTime(std::uint64_t ntfs_time) {
    const auto split = Split(ntfs_time);
    if (!split) return std::nullopt;
    const auto unix_seconds = static_cast<std::time_t>(split->unix_seconds);
    std::tm local{};
    if (localtime_r(&unix_seconds, &local) == nullptr) return std::nullopt;
    // tm_year is an int offset from 1900; widen before adding so a far-future
    // value cannot overflow on the way to being rejected.
    const std::int64_t year = std::int64_t{local.tm_year} + 1900;
    if (year < 1 || year > 9999) return std::nullopt;
    return LocalDateTime{static_cast<int>(year), local.tm_mon + 1, local.tm_mday,
                         local.tm_hour,          local.tm_min,     local.tm_sec,
                         split->millisecond};
}

std::optional<std::string> FileTimeToUtcIso8601(std::uint64_t ntfs_time) {
    const auto split = Split(ntfs_time);
    if (!split) return std::nullopt;
    const std::int64_t days = FloorDiv(split->unix_seconds, 86'400);
    const auto second_of_day = static_cast<int>(split->unix_seconds - days * 86'400);
    const CivilDate date = CivilFromDays(days);
    if (date.year < 1 || date.year > 9999) return std::nullopt;
    // Sized for any int fields, so the compiler can prove nothing is cut.
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", static_cast<int>(date.year),
                  date.month, date.day, second_of_day / 3600, second_of_day / 60 % 60,
                  second_of_day % 60);
    return std::string(text);
}

}  // namespace verandol
