// NTFS file times turned into calendar values.
//
// An NTFS time counts 100-nanosecond ticks since 1601-01-01 00:00:00 UTC on
// the proleptic Gregorian calendar. The values come straight from disk, so
// every conversion here is total: anything that cannot be shown as a year
// between 1 and 9999 yields nothing rather than a made-up date.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace verandol {

struct LocalDateTime {
    int year;
    int month;        // 1..12
    int day;          // 1..31
    int hour;         // 0..23
    int minute;       // 0..59
    int second;       // 0..60 (a leap second if the zone data has them)
    int millisecond;  // 0..999
};

// Local wall-clock time under the system's zone rules in force at that moment,
// so a July date gets the summer offset whatever today's offset is.
// Sub-millisecond ticks are dropped, never rounded up into the next second.
// Nothing for values >= 2^63, when the C library cannot convert, or when the
// local year is outside 1..9999. Thread-safe (localtime_r).
std::optional<LocalDateTime> FileTimeToLocalDateTime(std::uint64_t ntfs_time);

// "YYYY-MM-DDThh:mm:ssZ" in UTC, seconds precision, independent of the zone
// settings of the machine. Nothing under the same conditions as above, with
// the year taken in UTC.
std::optional<std::string> FileTimeToUtcIso8601(std::uint64_t ntfs_time);

}  // namespace verandol
