// "about 4 min left": how long a pass over a volume has still to go.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace verandol {

// A duration as a person reads it: "12 s", "4 min", "1 h 20 min".
std::string DurationText(std::chrono::seconds duration);

// The time a pass over `bytes` takes at `bytes_per_second`, for an offer
// made before the pass starts.
std::chrono::seconds PassDuration(std::int64_t bytes, std::int64_t bytes_per_second);

// "about 4 min left" for `bytes` still to go at `bytes_per_second`;
// "time left unknown" when nothing is being read.
std::string TimeLeftAtPace(std::int64_t bytes, double bytes_per_second);

// Estimates the rest of a pass from its pace so far.
class TimeLeft {
public:
    TimeLeft() : start_(std::chrono::steady_clock::now()) {}
    // "about 4 min left", or empty until enough is done to tell.
    std::string Text(std::int64_t done, std::int64_t total) const;

private:
    std::chrono::steady_clock::time_point start_;
};

}  // namespace verandol
