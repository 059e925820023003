// What the failing test device counts: every read, the failing ones, and for
// each 512-byte sector of the bad ranges how many reads touched it. Written
// out as lines of text:
//
//   reads 12
//   failing_reads 3
//   sector 2048 2      (one line for each sector of the bad ranges)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/failing_device/bad_ranges.h"

namespace verandol::testing {

class ReadTally {
public:
    explicit ReadTally(const std::vector<ByteRange>& bad);
    void Count(std::uint64_t offset, std::uint64_t size, bool failed);
    // Replaces `path` whole (a new file renamed over it), so a reader never
    // sees it half written.
    bool WriteTo(const std::string& path) const;

private:
    std::uint64_t reads_ = 0, failing_reads_ = 0;
    std::vector<std::uint64_t> sectors_;  // sorted
    std::vector<std::uint64_t> touches_;  // by the index in sectors_
};

}  // namespace verandol::testing
