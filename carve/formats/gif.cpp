#include "carve/formats/gif.h"

#include <algorithm>
#include <cstring>

namespace verandol {

namespace {

constexpr std::uint8_t kImage = 0x2C, kExtension = 0x21, kTrailer = 0x3B;

// Bytes of a colour table a packed field announces (none without its flag).
std::int64_t ColourTable(std::uint8_t packed) { return (packed & 0x80) ? 3 * (std::int64_t{2} << (packed & 7)) : 0; }

// The offset past a chain of sub-blocks from `at`, ended by an empty one.
std::optional<std::int64_t> PastSubBlocks(CarveReader& in, std::int64_t at) {
    while (true) {
        const auto size = in.Byte(at);
        if (!size) return std::nullopt;
        at += 1 + *size;
        if (*size == 0) return at;
    }
}

}  // namespace

bool GifStarts(ByteSpan head) {
    if (head.size() < 13 || (std::memcmp(head.data(), "GIF87a", 6) != 0 && std::memcmp(head.data(), "GIF89a", 6) != 0))
        return false;
    // A screen of no width or height holds no picture.
    return (head[6] | head[7]) != 0 && (head[8] | head[9]) != 0;
}

WalkResult WalkGif(CarveReader& in) {
    const ByteSpan head = in.Window(0, 13);
    if (!GifStarts(head)) return std::nullopt;
    std::int64_t at = 13 + ColourTable(head[10]);
    bool image = false;
    const auto broken = [&]() -> WalkResult {
        // Nothing followed past the screen: no file.
        if (!image) return std::nullopt;
        return WalkedFile{std::min(at, in.Size()), CarveCheck::Incomplete, {}};
    };
    while (true) {
        const auto block = in.Byte(at);
        if (!block) return broken();
        if (*block == kTrailer) {
            if (!image) return broken();
            return WalkedFile{at + 1, CarveCheck::Complete, {}};
        }
        std::optional<std::int64_t> past;
        if (*block == kImage) {
            const auto packed = in.Byte(at + 9);
            const auto code_size = packed ? in.Byte(at + 10 + ColourTable(*packed)) : std::nullopt;
            // LZW starts from 2 to 8 bits per code.
            if (!code_size || *code_size < 2 || *code_size > 8) return broken();
            past = PastSubBlocks(in, at + 11 + ColourTable(*packed));
            image = image || past.has_value();
        } else if (*block == kExtension) {
            if (!in.Byte(at + 1)) return broken();
            past = PastSubBlocks(in, at + 2);
        }
        if (!past) return broken();
        at = *past;
    }
}

}  // namespace verandol
