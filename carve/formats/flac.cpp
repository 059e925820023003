#include "carve/formats/flac.h"

#include <algorithm>
#include <cstring>

#include "carve/formats/msb_crc.h"
#include "carve/formats/sector_tail.h"

namespace verandol {

namespace {

constexpr std::uint8_t kStreamInfo = 0, kInvalidBlock = 127;
// A frame longer than this (when STREAMINFO gives no bound) is not followed:
// 65535 samples of 8 channels of 32 bits, stored verbatim, is about 2 MiB.
constexpr std::int64_t kMaxFrame = 4 << 20;

struct FrameHeader {
    std::int64_t length = 0;   // of the header, its CRC-8 included
    std::uint32_t samples = 0;  // in the frame
    std::uint64_t number = 0;   // the frame's number, or its first sample's
    bool variable = false;
};

// The header of a frame at `at`, when its fields are legal and its CRC-8
// matches, holding no more samples than STREAMINFO's largest block.
std::optional<FrameHeader> ReadFrameHeader(CarveReader& in, std::int64_t at, std::uint32_t max_block) {
    const ByteSpan h = in.Window(at, 16);
    if (h.size() < 6 || h[0] != 0xFF || (h[1] & 0xFE) != 0xF8) return std::nullopt;
    const std::uint8_t size_code = h[2] >> 4, rate_code = h[2] & 15, channels = h[3] >> 4, depth = (h[3] >> 1) & 7;
    if (size_code == 0 || rate_code == 15 || channels > 10 || depth == 3 || depth == 7 || (h[3] & 1)) return std::nullopt;
    FrameHeader frame;
    frame.variable = h[1] & 1;
    // The frame or sample number, coded as UTF-8 is (up to 36 bits).
    std::size_t p = 4;
    std::uint8_t lead = h[p++];
    int more = 0;
    if (lead < 0x80) frame.number = lead;
    else if ((lead & 0xE0) == 0xC0) more = 1, frame.number = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0) more = 2, frame.number = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0) more = 3, frame.number = lead & 0x07;
    else if ((lead & 0xFC) == 0xF8) more = 4, frame.number = lead & 0x03;
    else if ((lead & 0xFE) == 0xFC) more = 5, frame.number = lead & 0x01;
    else if (lead == 0xFE) more = 6, frame.number = 0;
    else return std::nullopt;
    for (int i = 0; i < more; ++i, ++p) {
        if (p >= h.size() || (h[p] & 0xC0) != 0x80) return std::nullopt;
        frame.number = frame.number << 6 | (h[p] & 0x3F);
    }
    if (size_code == 1) frame.samples = 192;
    else if (size_code <= 5) frame.samples = 576u << (size_code - 2);
    else if (size_code >= 8) frame.samples = 256u << (size_code - 8);
    const std::size_t extra = (size_code == 6 ? 1 : size_code == 7 ? 2 : 0) +
                              (rate_code == 12 ? 1 : rate_code == 13 || rate_code == 14 ? 2 : 0);
    if (p + extra >= h.size()) return std::nullopt;
    if (size_code == 6) frame.samples = h[p] + 1u;
    if (size_code == 7) frame.samples = (std::uint32_t{h[p]} << 8 | h[p + 1]) + 1u;
    p += extra;
    if (frame.samples > max_block) return std::nullopt;
    if (FlacCrc8::Update(0, h.first(p)) != h[p]) return std::nullopt;
    frame.length = static_cast<std::int64_t>(p) + 1;
    return frame;
}

}  // namespace

bool FlacStarts(ByteSpan head) {
    // STREAMINFO comes first and is 34 bytes long.
    if (head.size() < 8 || std::memcmp(head.data(), "fLaC", 4) != 0) return false;
    return (head[4] & 0x7F) == kStreamInfo && head[5] == 0 && head[6] == 0 && head[7] == 34;
}

WalkResult WalkFlac(CarveReader& in) {
    const ByteSpan head = in.Window(0, 42);
    if (head.size() < 42 || !FlacStarts(head)) return std::nullopt;
    const std::uint32_t min_block = std::uint32_t{head[8]} << 8 | head[9];
    const std::uint32_t max_block = std::uint32_t{head[10]} << 8 | head[11];
    const std::uint32_t max_frame = std::uint32_t{head[15]} << 16 | std::uint32_t{head[16]} << 8 | head[17];
    const std::uint64_t samples_total = (std::uint64_t{head[21]} & 15) << 32 | std::uint64_t{head[22]} << 24 |
                                        std::uint64_t{head[23]} << 16 | std::uint64_t{head[24]} << 8 | head[25];
    if (min_block < 16 || max_block < min_block) return std::nullopt;

    // The metadata blocks, the last one flagged.
    std::int64_t at = 4;
    while (true) {
        const auto type = in.Byte(at);
        const ByteSpan size = in.Window(at + 1, 3);
        if (!type || size.size() < 3 || (*type & 0x7F) == kInvalidBlock || (at > 4 && (*type & 0x7F) == kStreamInfo))
            return std::nullopt;
        at += 4 + (std::int64_t{size[0]} << 16 | std::int64_t{size[1]} << 8 | size[2]);
        if (*type & 0x80) break;
    }
    const std::int64_t frame_bound = max_frame != 0 ? std::int64_t{max_frame} : kMaxFrame;

    std::uint64_t frames = 0, samples = 0;
    std::optional<FrameHeader> frame = ReadFrameHeader(in, at, max_block);
    // Metadata with no frame after it is no stream at all.
    if (!frame || frame->number != 0) return std::nullopt;
    const bool variable = frame->variable;
    while (true) {
        const std::uint64_t after = samples + frame->samples;
        const bool last = samples_total != 0 && after == samples_total;
        if (samples_total != 0 && after > samples_total) return WalkedFile{at, CarveCheck::Incomplete, {}};
        // The frame runs on until its CRC-16 closes (the CRC over a frame
        // with its stored CRC after it is zero), there confirmed by the next
        // frame's header numbered on from this one, or after the stream's
        // last sample by the zeros its writer left to the sector's end.
        std::uint16_t crc = 0;
        std::optional<FrameHeader> next;
        std::int64_t end = -1;
        const std::int64_t limit = at + frame_bound + 2;
        for (std::int64_t p = at; p < limit && end < 0;) {
            const ByteSpan piece = in.Window(p, static_cast<std::size_t>(std::min<std::int64_t>(limit - p, 1 << 16)));
            if (piece.empty()) break;
            std::size_t i = 0;
            bool closed = false;
            while (i < piece.size() && !closed) {
                crc = FlacCrc16::Update(crc, piece[i++]);
                closed = crc == 0 && p + static_cast<std::int64_t>(i) - at >= frame->length + 3;
            }
            p += static_cast<std::int64_t>(i);
            if (!closed) continue;
            // The reads below move the reader's window; the loop fetches again from p.
            if (last) {
                if (ZerosToSectorEnd(in, p)) end = p;
                continue;
            }
            const auto candidate = ReadFrameHeader(in, p, max_block);
            if (candidate && candidate->variable == variable && candidate->number == (variable ? after : frames + 1)) {
                next = candidate;
                end = p;
            }
        }
        if (end < 0) return WalkedFile{at, CarveCheck::Incomplete, {}};
        ++frames;
        samples = after;
        at = end;
        if (!next) return WalkedFile{at, CarveCheck::Verified, {}};
        frame = next;
    }
}

}  // namespace verandol
