// NTFS times as the times a file on the output gets.
#pragma once

#include <cstdint>
#include <ctime>

#include "ntfs/record_times.h"

namespace verandol {

// The moment an NTFS time names, as seconds and nanoseconds since 1970
// (negative before it); UTIME_OMIT for 0 (no time) and for values past
// 2^63, which no clock of a file system can hold.
timespec UnixTimeOf(std::uint64_t ntfs_time);

// {accessed, modified}, in the order futimens takes them.
struct OutputTimes {
    timespec accessed{0, 0};
    timespec modified{0, 0};
};
OutputTimes OutputTimesOf(const RecordTimes& times);

}  // namespace verandol
