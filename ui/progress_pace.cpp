#include "ui/progress_pace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text/time_left.h"

namespace verandol {

namespace {

// A rate is taken over at least this long: progress comes in bursts.
constexpr double kSampleSeconds = 0.5;
// How quickly the smoothed rate follows a change of pace: after this long
// at a new pace it has gone about two thirds of the way.
constexpr double kSmoothingSeconds = 5.0;
// Beyond this an estimate says nothing a person can use.
constexpr double kLongestEstimate = 100.0 * 3600;

}  // namespace

void ProgressPace::Start(std::int64_t maximum, std::string unit, Clock::time_point now) {
    maximum_ = std::max<std::int64_t>(maximum, 0);
    position_ = 0;
    unit_ = std::move(unit);
    sample_position_ = 0;
    sample_time_ = now;
    rate_ = -1;
}

void ProgressPace::Update(std::int64_t position, Clock::time_point now) {
    position = std::clamp<std::int64_t>(position, 0, maximum_);
    // A position that went back, or a clock that did, starts the sampling again.
    if (position < sample_position_ || now < sample_time_) {
        position_ = position;
        sample_position_ = position;
        sample_time_ = now;
        return;
    }
    position_ = position;
    const double seconds = std::chrono::duration<double>(now - sample_time_).count();
    if (seconds < kSampleSeconds) return;
    const double sampled = static_cast<double>(position - sample_position_) / seconds;
    const double weight = 1.0 - std::exp(-seconds / kSmoothingSeconds);
    rate_ = rate_ < 0 ? sampled : rate_ + weight * (sampled - rate_);
    sample_position_ = position;
    sample_time_ = now;
}

int ProgressPace::Percent() const {
    if (maximum_ <= 0) return 0;
    return static_cast<int>(static_cast<double>(position_) * 100.0 / static_cast<double>(maximum_));
}

double ProgressPace::SecondsLeft() const {
    if (maximum_ > 0 && position_ >= maximum_) return 0;
    // Under a step in ten seconds the job has as good as stalled.
    if (!(rate_ >= 0.1)) return -1;
    const double left = static_cast<double>(maximum_ - position_) / rate_;
    return left <= kLongestEstimate ? left : -1;
}

std::string ProgressPace::Text() const {
    std::string text = std::to_string(Percent()) + "%, ";
    if (rate_ < 0) {
        text.append("—");
    } else {
        char rate[32];
        std::snprintf(rate, sizeof rate, rate_ < 10 ? "%.1f" : "%.0f", rate_);
        text.append(rate);
    }
    text.append(" ").append(unit_).append("/s, ");
    const double left = SecondsLeft();
    if (left < 0)
        text.append("time left —");
    else if (left == 0)
        text.append("done");
    else
        text.append("about ")
            .append(DurationText(std::chrono::seconds(static_cast<long long>(std::ceil(left)))))
            .append(" left");
    return text;
}

}  // namespace verandol
