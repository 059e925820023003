// A raw deflate stream followed through zlib from an offset of a carve
// reader to its last block: where it ends, how many bytes it makes and
// their CRC-32, without holding them.
#pragma once

#include <cstdint>
#include <optional>

#include "carve/carve_reader.h"

namespace verandol {

struct InflatedStream {
    std::int64_t end = 0;       // offset one past the stream's last byte
    std::uint64_t size = 0;     // bytes it inflates to
    std::uint32_t crc = 0;      // their CRC-32
    bool finished = false;      // the last block was reached; else `end` is where it broke
};

// Follows the stream from `offset`; making more than `max_output` bytes
// counts as broken (a bomb or garbage). Nullopt when zlib cannot start.
std::optional<InflatedStream> InflateRaw(CarveReader& in, std::int64_t offset, std::uint64_t max_output);

}  // namespace verandol
