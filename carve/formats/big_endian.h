// Big-endian fields of a format's header, read through the bounds-checked
// little-endian readers: nothing when the field does not lie wholly within.
#pragma once

#include <cstdint>
#include <optional>

#include "ntfs/byte_reader.h"

namespace verandol {

inline std::optional<std::uint16_t> read_be16(ByteSpan bytes, std::size_t offset) {
    const auto v = read_le16(bytes, offset);
    if (!v) return std::nullopt;
    return __builtin_bswap16(*v);
}

inline std::optional<std::uint32_t> read_be32(ByteSpan bytes, std::size_t offset) {
    const auto v = read_le32(bytes, offset);
    if (!v) return std::nullopt;
    return __builtin_bswap32(*v);
}

}  // namespace verandol
