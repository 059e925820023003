#include "imaging/copy_progress_text.h"

#include <algorithm>

#include "disk/volume_discovery.h"
#include "text/time_left.h"

namespace verandol {

namespace {

constexpr auto kRecentWindow = std::chrono::seconds(5);

std::string RateText(double bytes_per_second) {
    return SizeText(static_cast<std::int64_t>(bytes_per_second)) + "/s";
}

}  // namespace

void CopyPace::Sample(std::int64_t bytes_read, Clock::time_point now) {
    samples_.emplace_back(now, bytes_read);
    while (samples_.size() > 2 && now - samples_[1].first > kRecentWindow) samples_.pop_front();
}

double CopyPace::Recent() const {
    if (samples_.size() < 2) return Average();
    const double seconds = std::chrono::duration<double>(samples_.back().first - samples_.front().first).count();
    if (seconds <= 0.0) return Average();
    return static_cast<double>(samples_.back().second - samples_.front().second) / seconds;
}

double CopyPace::Average() const {
    if (samples_.empty()) return 0.0;
    const double seconds = std::chrono::duration<double>(samples_.back().first - start_).count();
    return seconds > 0.0 ? static_cast<double>(samples_.back().second) / seconds : 0.0;
}

std::string CopyProgressText(const RescueMap& map, const CopyPace& pace, std::chrono::seconds since_good_read) {
    const std::int64_t failed = map.BytesWith(AreaStatus::NonTrimmed) + map.BytesWith(AreaStatus::NonScraped) +
                                map.BytesWith(AreaStatus::Bad);
    const std::int64_t failed_areas = map.AreasWith(AreaStatus::NonTrimmed) + map.AreasWith(AreaStatus::NonScraped) +
                                      map.AreasWith(AreaStatus::Bad);
    const std::int64_t left = map.BytesWith(AreaStatus::NonTried) + map.BytesWith(AreaStatus::NonTrimmed) +
                              map.BytesWith(AreaStatus::NonScraped);
    return "bad areas: " + std::to_string(failed_areas) + " (" + SizeText(failed) + "), now " +
           RateText(pace.Recent()) + ", average " + RateText(pace.Average()) + ", last good read " +
           std::to_string(since_good_read.count()) + " s ago, " +
           TimeLeftAtPace(left, std::min(pace.Recent(), pace.Average()));
}

}  // namespace verandol
