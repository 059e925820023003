// The "Scanning: i/n records" line a person at a terminal watches.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace verandol::cli {

// Rewrites one stderr line in place. Silent unless stderr is a terminal, so
// scripts capturing stderr get only the error lines; updates come at most
// every 100 ms because a volume has millions of records.
class ProgressLine {
public:
    explicit ProgressLine(std::string what);  // "Scanning", "Recovering"
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // `note` follows the counts, as "about 4 min left".
    void Update(long long done, long long total, const char* unit, const std::string& note = {});
    // Blanks the line so what follows starts on a clean one.
    void Clear();

private:
    std::string what_;
    bool enabled_;
    std::size_t shown_length_ = 0;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace verandol::cli
