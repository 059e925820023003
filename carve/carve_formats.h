// The formats the carve pass looks for: how each one's start is told from
// its first bytes, the walker that follows it to its end, and how far that
// walker may read.
#pragma once

#include <cstdint>
#include <span>

#include "carve/carve_reader.h"
#include "carve/formats/walked_file.h"
#include "ntfs/byte_reader.h"

namespace verandol {

struct CarveFormat {
    const char* name;       // "png"
    const char* extension;  // the carved file's, unless the walker tells a finer one
    std::int64_t max_bytes;
    bool (*starts)(ByteSpan head);
    WalkResult (*walk)(CarveReader& in);
};

// Every start test needs no more than this many bytes.
inline constexpr std::size_t kCarveHeadBytes = 32;

std::span<const CarveFormat> CarveFormats();

// The format whose start test the bytes pass, or null.
const CarveFormat* FormatStartingAt(ByteSpan head);

}  // namespace verandol
