// What follows the rescued and total MiB on the line a person watches
// while a device is copied: the bad areas found, how fast it reads now and on average, how
// long since a read last delivered anything, and the time left.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "reading/rescue_map.h"

namespace verandol {

// The read rate over the last few seconds and since the start.
class CopyPace {
public:
    using Clock = std::chrono::steady_clock;
    explicit CopyPace(Clock::time_point start = Clock::now()) : start_(start) {}
    void Sample(std::int64_t bytes_read, Clock::time_point now = Clock::now());
    double Recent() const;   // bytes a second
    double Average() const;  // bytes a second

private:
    Clock::time_point start_;
    std::deque<std::pair<Clock::time_point, std::int64_t>> samples_;
};

// "bad areas: 3 (1536 bytes), now 85 MB/s, average
// 90 MB/s, last good read 0 s ago, about 4 min left". The time left counts
// the bytes still untried or in failed areas at the slower of the two rates,
// so a copy that has slowed down does not promise the early pace.
std::string CopyProgressText(const RescueMap& map, const CopyPace& pace, std::chrono::seconds since_good_read);

}  // namespace verandol
