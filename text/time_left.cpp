#include "text/time_left.h"

#include <algorithm>

namespace verandol {

std::string DurationText(std::chrono::seconds duration) {
    const long long s = std::max<long long>(duration.count(), 1);
    if (s < 60) return std::to_string(s) + " s";
    const long long minutes = (s + 30) / 60;
    if (minutes < 60) return std::to_string(minutes) + " min";
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

std::chrono::seconds PassDuration(std::int64_t bytes, std::int64_t bytes_per_second) {
    if (bytes <= 0 || bytes_per_second <= 0) return std::chrono::seconds(0);
    return std::chrono::seconds(bytes / bytes_per_second + 1);
}

std::string TimeLeftAtPace(std::int64_t bytes, double bytes_per_second) {
    if (bytes <= 0) return "done";
    // Below a byte a second the estimate would run to years: say so instead.
    if (!(bytes_per_second >= 1.0)) return "time left unknown";
    const double seconds = static_cast<double>(bytes) / bytes_per_second;
    if (seconds > 365.0 * 24 * 3600) return "time left unknown";
    return "about " + DurationText(std::chrono::seconds(static_cast<long long>(seconds))) + " left";
}

std::string TimeLeft::Text(std::int64_t done, std::int64_t total) const {
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    // The first second's pace says little: the cache and the device's own read-ahead warm up.
    if (done <= 0 || total <= done || elapsed < 1.0) return {};
    const double left = elapsed * static_cast<double>(total - done) / static_cast<double>(done);
    return "about " + DurationText(std::chrono::seconds(static_cast<long long>(left))) + " left";
}

}  // namespace verandol
