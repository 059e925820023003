#include "carve/formats/ogg.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "carve/formats/msb_crc.h"

namespace verandol {

namespace {

constexpr std::uint8_t kContinued = 1, kFirst = 2, kLast = 4;
constexpr std::int64_t kHeader = 27;
// More streams than this in one file is not a file.
constexpr std::size_t kMaxStreams = 64;

struct Stream {
    std::uint32_t next_sequence = 0;
    bool ended = false;
};

// The CRC of the page at `at`, its CRC field taken as zeros; nullopt when
// the page runs past the readable bytes.
std::optional<std::uint32_t> PageCrc(CarveReader& in, std::int64_t at, std::int64_t length) {
    std::uint32_t crc = 0;
    for (std::int64_t done = 0; done < length;) {
        const ByteSpan piece = in.Window(at + done, static_cast<std::size_t>(length - done));
        if (piece.empty()) return std::nullopt;
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const std::int64_t offset = done + static_cast<std::int64_t>(i);
            crc = OggCrc32::Update(crc, offset >= 22 && offset < 26 ? std::uint8_t{0} : piece[i]);
        }
        done += static_cast<std::int64_t>(piece.size());
    }
    return crc;
}

// The extension the first stream's first packet tells.
std::string KindOf(CarveReader& in, std::int64_t packet) {
    if (in.Matches(packet, "OpusHead")) return "opus";
    if (in.Matches(packet, "\x80theora")) return "ogv";
    return {};
}

}  // namespace

bool OggStarts(ByteSpan head) {
    // The first page of a stream: version 0, flagged first and nothing else,
    // at granule position 0, sequence 0, holding at least one segment.
    if (head.size() < kHeader || std::memcmp(head.data(), "OggS", 4) != 0 || head[4] != 0 || head[5] != kFirst)
        return false;
    const auto granule = read_le64(head, 6);
    const auto sequence = read_le32(head, 18);
    return granule == 0 && sequence == 0 && head[26] != 0;
}

WalkResult WalkOgg(CarveReader& in) {
    if (!OggStarts(in.Window(0, kHeader))) return std::nullopt;
    std::map<std::uint32_t, Stream> streams;
    std::string extension;
    std::int64_t at = 0;
    bool opening = true;  // still among the streams' first pages
    const auto cut = [&]() -> WalkResult {
        if (at == 0) return std::nullopt;
        return WalkedFile{at, CarveCheck::Incomplete, extension};
    };
    while (true) {
        const ByteSpan header = in.Window(at, kHeader);
        if (header.size() < kHeader || std::memcmp(header.data(), "OggS", 4) != 0 || header[4] != 0 ||
            (header[5] & ~(kContinued | kFirst | kLast)) != 0)
            return cut();
        const std::uint8_t flags = header[5];
        const std::uint32_t serial = *read_le32(header, 14);
        const std::uint32_t sequence = *read_le32(header, 18);
        const std::uint32_t stored_crc = *read_le32(header, 22);
        const std::uint8_t segments = header[26];
        const ByteSpan table = in.Window(at + kHeader, segments);
        if (table.size() < segments) return cut();
        std::int64_t body = 0;
        for (const std::uint8_t lace : table) body += lace;
        const std::int64_t length = kHeader + segments + body;
        const auto crc = PageCrc(in, at, length);
        if (!crc || *crc != stored_crc) return cut();

        if (flags & kFirst) {
            // New streams begin only together, before any stream's second page.
            if (!opening || streams.count(serial) || streams.size() >= kMaxStreams) return cut();
            if (streams.empty()) extension = KindOf(in, at + kHeader + segments);
            streams[serial] = {};
        } else {
            opening = false;
        }
        const auto stream = streams.find(serial);
        if (stream == streams.end() || stream->second.ended || stream->second.next_sequence != sequence) return cut();
        ++stream->second.next_sequence;
        if (flags & kLast) stream->second.ended = true;
        at += length;
        if (std::all_of(streams.begin(), streams.end(), [](const auto& s) { return s.second.ended; }))
            return WalkedFile{at, CarveCheck::Verified, extension};
    }
}

}  // namespace verandol
