// How fast a job gets on and how long it still needs, from the positions it
// reports: the rate is smoothed over the last seconds, so one slow read does
// not swing the estimate, and a job that stops moving has its rate fall
// away instead of keeping the pace it had.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace verandol {

class ProgressPace {
public:
    using Clock = std::chrono::steady_clock;

    // A job of `maximum` steps begins at `now`; `unit` names the steps ("records").
    void Start(std::int64_t maximum, std::string unit, Clock::time_point now);
    // The job is at `position` at `now`; also called with the same position
    // while nothing moves, so a stall shows.
    void Update(std::int64_t position, Clock::time_point now);

    // 0 to 100.
    int Percent() const;
    // Steps a second; negative while unknown.
    double Rate() const { return rate_; }
    // Seconds still to go; negative while unknown.
    double SecondsLeft() const;
    // "42%, 1250 records/s, about 2 min left"; "—" for what is not known yet.
    std::string Text() const;

private:
    std::int64_t maximum_ = 0;
    std::int64_t position_ = 0;
    std::string unit_;
    // The last sample the rate was taken from.
    std::int64_t sample_position_ = 0;
    Clock::time_point sample_time_{};
    double rate_ = -1;
};

}  // namespace verandol
