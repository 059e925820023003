#include "carve/formats/png.h"

#include <algorithm>
#include <cstring>

#include "carve/formats/chunk_crc.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// The standard caps a chunk's length at 2^31 - 1.
constexpr std::uint32_t kMaxChunk = 0x7FFFFFFF;

bool IsChunkType(std::uint32_t type) {
    for (int shift = 0; shift < 32; shift += 8) {
        const auto c = static_cast<std::uint8_t>(type >> shift);
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    }
    return true;
}

}  // namespace

bool PngStarts(ByteSpan head) {
    // The signature and the first chunk's header: 13 bytes of IHDR.
    static constexpr std::uint8_t kIhdr[8] = {0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    return head.size() >= 16 && std::memcmp(head.data(), kSignature, 8) == 0 &&
           std::memcmp(head.data() + 8, kIhdr, 8) == 0;
}

WalkResult WalkPng(CarveReader& in) {
    if (!PngStarts(in.Window(0, 16))) return std::nullopt;
    std::int64_t at = 8;
    bool first = true;
    while (true) {
        const auto length = in.Be32(at);
        const auto type = in.Be32(at + 4);
        std::int64_t end;  // one past the chunk's CRC
        if (!length || !type || *length > kMaxChunk || !IsChunkType(*type) ||
            AddOverflows(at, std::int64_t{*length} + 12, end) || end > in.Size()) {
            // A header the first chunk cannot follow is no PNG at all.
            if (first) return std::nullopt;
            return WalkedFile{at, CarveCheck::Incomplete, {}, at, std::min(at + 8, in.Size())};
        }
        const auto crc = Crc32Of(in, at + 4, std::int64_t{*length} + 4);
        const auto stored = in.Be32(at + 8 + *length);
        if (!crc || !stored || *crc != *stored) {
            if (first) return std::nullopt;
            return WalkedFile{at, CarveCheck::Incomplete, {}, at + 8, end};
        }
        first = false;
        at = end;
        if (*type == 0x49454E44 /* IEND */) return WalkedFile{at, CarveCheck::Verified, {}};
    }
}

}  // namespace verandol
