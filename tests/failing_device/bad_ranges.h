// The byte ranges where the failing test device's reads fail, and the
// command-line values that name them and its delays.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace verandol::testing {

struct ByteRange {
    std::uint64_t start = 0, length = 0;
    std::uint64_t end() const { return start + length; }
    bool Overlaps(std::uint64_t offset, std::uint64_t size) const {
        return size > 0 && offset < end() && start < offset + size;
    }
};

// "START+LENGTH" in bytes, decimal, LENGTH above zero and the end within 2^63.
std::optional<ByteRange> ParseByteRange(std::string_view text);

// A delay in seconds: a decimal number from 0 to 3600, a fraction allowed ("0.2").
std::optional<double> ParseSeconds(std::string_view text);

// The 512-byte sectors the ranges touch, in order, each once.
std::vector<std::uint64_t> SectorsOf(const std::vector<ByteRange>& ranges);

}  // namespace verandol::testing
