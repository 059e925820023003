// CRC-32 (zlib's) over a stretch of a file read through a carve reader.
#pragma once

#include <cstdint>
#include <optional>

#include "carve/carve_reader.h"

namespace verandol {

// CRC-32 of [offset, offset + length), continuing from `crc` (0 to begin);
// nullopt when the stretch runs past the reader's end.
std::optional<std::uint32_t> Crc32Of(CarveReader& in, std::int64_t offset, std::int64_t length, std::uint32_t crc = 0);

// Continues a CRC-32 over bytes in memory, whatever their count.
std::uint32_t Crc32Update(std::uint32_t crc, ByteSpan bytes);

}  // namespace verandol
