#include "ntfs/lznt1.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace verandol {

namespace {

constexpr std::uint16_t kChunkCompressed = 0x8000;
constexpr std::uint16_t kChunkLengthMask = 0x0FFF;

// Decodes one compressed chunk's items into `out` (at most 4,096 bytes) and
// returns the bytes produced.
Outcome<std::size_t> DecodeChunk(ByteSpan items, MutableByteSpan out) {
    std::size_t p = 0;
    std::size_t produced = 0;
    while (p < items.size()) {
        const std::uint8_t flags = items[p++];
        for (int bit = 0; bit < 8 && p < items.size(); ++bit) {
            if (!(flags >> bit & 1)) {
                if (produced >= out.size()) return Refusal("a chunk holds more than 4,096 bytes");
                out[produced++] = items[p++];
                continue;
            }
            auto token = read_le16(items, p);
            if (!token) return Refusal("a chunk ends inside a back-reference");
            p += 2;
            if (produced == 0) return Refusal("a chunk begins with a back-reference");
            // The further into the chunk, the more bits the distance takes
            // from the length: 4 at the start, up to 12 near its end.
            unsigned length_bits = 12;
            for (std::size_t reach = produced - 1; reach >= 0x10; reach >>= 1) --length_bits;
            const std::size_t length = (*token & ((1u << length_bits) - 1)) + 3;
            const std::size_t distance = (*token >> length_bits) + 1u;
            if (distance > produced) return Refusal("a back-reference points before its chunk");
            if (length > out.size() - produced) return Refusal("a chunk holds more than 4,096 bytes");
            // Byte by byte: a reference may overlap the bytes it produces.
            for (std::size_t i = 0; i < length; ++i, ++produced) out[produced] = out[produced - distance];
        }
    }
    return produced;
}

}  // namespace

Outcome<std::size_t> DecompressLznt1(ByteSpan in, MutableByteSpan out) {
    std::size_t p = 0;
    std::size_t covered = 0;
    while (covered < out.size()) {
        auto header = read_le16(in, p);
        if (!header || *header == 0) break;  // the unit's data ends here; the rest reads as zeros
        const std::size_t stored = (*header & kChunkLengthMask) + 1u;
        if (!fits(in.size(), p + 2, stored)) return Refusal("a chunk runs past the unit's stored data");
        const ByteSpan body = in.subspan(p + 2, stored);
        const MutableByteSpan target = out.subspan(covered, std::min(kLznt1ChunkBytes, out.size() - covered));
        if (*header & kChunkCompressed) {
            auto produced = DecodeChunk(body, target);
            if (!produced)
                return Refusal("chunk " + std::to_string(covered / kLznt1ChunkBytes) + ": " + produced.reason());
        } else {
            if (stored > target.size()) return Refusal("a stored chunk holds more than 4,096 bytes");
            std::memcpy(target.data(), body.data(), stored);
        }
        covered += target.size();
        p += 2 + stored;
    }
    return covered;
}

}  // namespace verandol
