#include "recover/file_times.h"

#include <sys/stat.h>

namespace verandol {

namespace {

// 100-nanosecond ticks from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochTicks = 116444736000000000;
constexpr std::int64_t kTicksPerSecond = 10'000'000;

}  // namespace

timespec UnixTimeOf(std::uint64_t ntfs_time) {
    if (ntfs_time == 0 || ntfs_time > static_cast<std::uint64_t>(INT64_MAX)) return {0, UTIME_OMIT};
    // Both lie in 0..2^63, so the difference cannot overflow.
    const std::int64_t ticks = static_cast<std::int64_t>(ntfs_time) - kUnixEpochTicks;
    std::int64_t seconds = ticks / kTicksPerSecond;
    std::int64_t rest = ticks % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        seconds -= 1;
    }
    return {static_cast<time_t>(seconds), static_cast<long>(rest * 100)};
}

OutputTimes OutputTimesOf(const RecordTimes& times) {
    return {UnixTimeOf(times.accessed), UnixTimeOf(times.modified)};
}

}  // namespace verandol
