#include "cli/progress_line.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace verandol::cli {

ProgressLine::ProgressLine(std::string what) : what_(std::move(what)), enabled_(isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Update(long long done, long long total, const char* unit, const std::string& note) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (last_ != std::chrono::steady_clock::time_point{} && done != total &&
        now - last_ < std::chrono::milliseconds(100))
        return;
    last_ = now;
    const std::string text = what_ + ": " + std::to_string(done) + "/" + std::to_string(total) + " " + unit +
                             (note.empty() ? std::string() : ", " + note);
    // Padding covers the tail of a longer earlier text.
    const std::size_t pad = shown_length_ > text.size() ? shown_length_ - text.size() : 0;
    std::fprintf(stderr, "\r%s%*s", text.c_str(), static_cast<int>(pad), "");
    std::fflush(stderr);
    shown_length_ = text.size();
}

void ProgressLine::Clear() {
    if (!enabled_ || shown_length_ == 0) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(shown_length_), "");
    std::fflush(stderr);
    shown_length_ = 0;
}

}  // namespace verandol::cli
