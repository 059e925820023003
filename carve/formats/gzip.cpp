#include "carve/formats/gzip.h"

#include "carve/formats/deflate_stream.h"

namespace verandol {

namespace {

constexpr std::uint8_t kFhcrc = 2, kFextra = 4, kFname = 8, kFcomment = 16, kReserved = 0xE0;
// A name or comment longer than this is not a header.
constexpr std::int64_t kMaxText = 64 << 10;
// Past this the inflated bytes are not counted on: ISIZE holds them modulo 2^32.
constexpr std::uint64_t kMaxInflated = std::uint64_t{1} << 40;

// The offset one past a zero-terminated field from `at`.
std::optional<std::int64_t> PastText(CarveReader& in, std::int64_t at) {
    const std::string_view zero("\0", 1);
    const auto nul = in.Find(at, at + kMaxText, zero);
    if (!nul) return std::nullopt;
    return *nul + 1;
}

}  // namespace

bool GzipStarts(ByteSpan head) {
    return head.size() >= 10 && head[0] == 0x1F && head[1] == 0x8B && head[2] == 8 && (head[3] & kReserved) == 0 &&
           (head[8] == 0 || head[8] == 2 || head[8] == 4) && (head[9] <= 13 || head[9] == 255);
}

WalkResult WalkGzip(CarveReader& in) {
    const ByteSpan head = in.Window(0, 10);
    if (!GzipStarts(head)) return std::nullopt;
    const std::uint8_t flags = head[3];
    std::int64_t at = 10;
    if (flags & kFextra) {
        const auto extra = in.Le16(at);
        if (!extra) return std::nullopt;
        at += 2 + *extra;
    }
    for (const std::uint8_t text : {kFname, kFcomment}) {
        if (!(flags & text)) continue;
        const auto past = PastText(in, at);
        if (!past) return std::nullopt;
        at = *past;
    }
    if (flags & kFhcrc) at += 2;
    const auto stream = InflateRaw(in, at, kMaxInflated);
    // A stream that breaks at once was never deflate data: no file here.
    if (!stream || (!stream->finished && stream->size == 0)) return std::nullopt;
    if (!stream->finished) return WalkedFile{stream->end, CarveCheck::Incomplete, {}};
    const auto crc = in.Le32(stream->end);
    const auto isize = in.Le32(stream->end + 4);
    if (!crc || !isize) return WalkedFile{stream->end, CarveCheck::Incomplete, {}};
    const bool whole = *crc == stream->crc && *isize == static_cast<std::uint32_t>(stream->size);
    return WalkedFile{stream->end + 8, whole ? CarveCheck::Verified : CarveCheck::Incomplete, {}};
}

}  // namespace verandol
