// How fast a device reads, from a short sample: what the offer of a pass
// over the whole device estimates its time with.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace verandol {

// Bytes per second of sequential reads of `address` (a disk, image or
// volume address), reading from its middle, where start-up's reads have not
// warmed the cache, for at most `budget` or `max_bytes`; 0 when it cannot
// be opened or read.
std::int64_t MeasureReadRate(const std::string& address, std::chrono::milliseconds budget,
                             std::int64_t max_bytes);

}  // namespace verandol
