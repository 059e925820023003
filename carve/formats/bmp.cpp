#include "carve/formats/bmp.h"

#include <algorithm>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr std::uint32_t kCoreHeader = 12, kInfoHeader = 40, kV5Header = 124;
constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6;
// Writers pad the file to an even or a four-byte boundary past the pixels.
constexpr std::int64_t kMaxTailPadding = 3;
// Larger pictures than this are not BMPs anyone wrote.
constexpr std::int64_t kMaxSide = 1 << 16;

bool KnownHeaderSize(std::uint32_t size) {
    return size == kCoreHeader || size == kInfoHeader || size == 52 || size == 56 || size == 64 || size == 108 ||
           size == kV5Header;
}

bool KnownDepth(std::uint32_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 64;
}

struct Header {
    std::uint32_t file_size = 0;
    std::uint32_t pixels_at = 0;
    std::uint32_t dib_size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;  // rows, whichever way they run
    std::uint32_t bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t image_size = 0;
};

// The header's fields, when they hold together; nullopt otherwise.
std::optional<Header> ReadHeader(ByteSpan head) {
    if (head.size() < 30 || head[0] != 'B' || head[1] != 'M') return std::nullopt;
    Header h;
    h.file_size = read_le32(head, 2).value_or(0);
    h.pixels_at = read_le32(head, 10).value_or(0);
    h.dib_size = read_le32(head, 14).value_or(0);
    // Both reserved words are zero in every writer's files.
    if (read_le32(head, 6).value_or(1) != 0 || !KnownHeaderSize(h.dib_size)) return std::nullopt;
    std::uint32_t planes = 0;
    if (h.dib_size == kCoreHeader) {
        h.width = read_le16(head, 18).value_or(0);
        h.height = read_le16(head, 20).value_or(0);
        planes = read_le16(head, 22).value_or(0);
        h.bits = read_le16(head, 24).value_or(0);
    } else {
        const auto width = static_cast<std::int32_t>(read_le32(head, 18).value_or(0));
        const auto height = static_cast<std::int32_t>(read_le32(head, 22).value_or(0));
        h.width = width;
        h.height = height < 0 ? -std::int64_t{height} : height;
        planes = read_le16(head, 26).value_or(0);
        h.bits = read_le16(head, 28).value_or(0);
    }
    if (planes != 1 || !KnownDepth(h.bits) || h.width <= 0 || h.width > kMaxSide || h.height <= 0 ||
        h.height > kMaxSide)
        return std::nullopt;
    // The pixels lie after both headers, within the file.
    if (h.pixels_at < 14 + h.dib_size || h.pixels_at >= h.file_size) return std::nullopt;
    return h;
}

}  // namespace

bool BmpStarts(ByteSpan head) { return ReadHeader(head).has_value(); }

WalkResult WalkBmp(CarveReader& in) {
    const ByteSpan head = in.Window(0, 14 + kV5Header);
    auto header = ReadHeader(head);
    if (!header) return std::nullopt;
    Header& h = *header;
    if (h.dib_size >= kInfoHeader) {
        h.compression = read_le32(head, 30).value_or(~0u);
        h.image_size = read_le32(head, 34).value_or(0);
        if (head.size() < 14 + h.dib_size) return std::nullopt;
    }
    // Where the pixel array ends: whole rows, each padded to four bytes,
    // unless the pixels are compressed and only the header's size says.
    std::int64_t pixel_bytes = 0;
    if (h.compression == kRgb || h.compression == kBitfields || h.compression == kAlphaBitfields) {
        const std::int64_t row = (h.width * h.bits + 31) / 32 * 4;
        pixel_bytes = row * h.height;  // both at most 2^16: no overflow
        // A size the header states may exceed the rows (padding), never fall short.
        if (h.image_size != 0 && h.image_size < pixel_bytes) return std::nullopt;
    } else if (h.compression == kRle8 || h.compression == kRle4 || h.compression == 4 || h.compression == 5) {
        if (h.image_size == 0) return std::nullopt;
        pixel_bytes = h.image_size;
    } else {
        return std::nullopt;
    }
    std::int64_t end = std::int64_t{h.pixels_at} + pixel_bytes;
    // A version 5 header may place a colour profile after the pixels.
    if (h.dib_size == kV5Header) {
        const auto profile_at = read_le32(head, 14 + 112).value_or(0);
        const auto profile_size = read_le32(head, 14 + 116).value_or(0);
        if (profile_size != 0) end = std::max(end, 14 + std::int64_t{profile_at} + profile_size);
    }
    const std::int64_t stated = h.file_size;
    if (stated < end || stated - end > kMaxTailPadding) {
        // The header disagrees with itself: the pixels are all that is known.
        return WalkedFile{std::min(end, in.Size()), CarveCheck::Incomplete, {}};
    }
    if (stated > in.Size()) return WalkedFile{in.Size(), CarveCheck::Incomplete, {}};
    return WalkedFile{stated, CarveCheck::Complete, {}};
}

}  // namespace verandol
