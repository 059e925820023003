// Bounds-checked little-endian readers over byte spans.
//
// Everything read from a volume goes through these: an offset that does not
// leave room for the whole field yields nothing instead of reading past the
// buffer, so no caller ever has to trust an offset taken from disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace verandol {

using ByteSpan = std::span<const std::uint8_t>;
using MutableByteSpan = std::span<std::uint8_t>;

// True when [offset, offset + width) lies inside a buffer of `size` bytes,
// computed without overflow.
constexpr bool fits(std::size_t size, std::size_t offset, std::size_t width) {
    return offset <= size && width <= size - offset;
}

// Unsigned little-endian number of `width` bytes (at most 8) at `offset`.
inline std::optional<std::uint64_t> read_le(ByteSpan bytes, std::size_t offset, std::size_t width) {
    if (width > 8 || !fits(bytes.size(), offset, width)) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes[offset + i];
    return value;
}

inline std::optional<std::uint8_t> read_le8(ByteSpan bytes, std::size_t offset) {
    if (!fits(bytes.size(), offset, 1)) return std::nullopt;
    return bytes[offset];
}

inline std::optional<std::uint16_t> read_le16(ByteSpan bytes, std::size_t offset) {
    auto v = read_le(bytes, offset, 2);
    if (!v) return std::nullopt;
    return static_cast<std::uint16_t>(*v);
}

inline std::optional<std::uint32_t> read_le32(ByteSpan bytes, std::size_t offset) {
    auto v = read_le(bytes, offset, 4);
    if (!v) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

inline std::optional<std::uint64_t> read_le64(ByteSpan bytes, std::size_t offset) {
    return read_le(bytes, offset, 8);
}

inline std::optional<std::int64_t> read_sle64(ByteSpan bytes, std::size_t offset) {
    auto v = read_le64(bytes, offset);
    if (!v) return std::nullopt;
    return static_cast<std::int64_t>(*v);
}

// The number formed by up to `width` bytes at `offset`, taking only the bytes
// that lie inside the buffer (fewer bytes give a smaller number) and keeping
// the low 64 bits. Used where a truncated copy must still yield a value.
inline std::uint64_t read_le_clipped(ByteSpan bytes, std::size_t offset, std::size_t width) {
    if (offset >= bytes.size()) return 0;
    std::size_t avail = bytes.size() - offset;
    std::size_t n = width < avail ? width : avail;
    if (n > 8) n = 8;  // bytes above the eighth do not reach the low 64 bits
    std::uint64_t value = 0;
    for (std::size_t i = n; i-- > 0;) value = (value << 8) | bytes[offset + i];
    return value;
}

}  // namespace verandol
