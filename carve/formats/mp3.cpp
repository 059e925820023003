#include "carve/formats/mp3.h"

#include <cstring>

#include "carve/formats/sector_tail.h"

namespace verandol {

namespace {

// Fewer frames in a row than this may be chance; a real file holds hundreds.
constexpr int kMinFrames = 6;
constexpr std::int64_t kId3v1 = 128;

struct FrameHeader {
    std::uint8_t version = 0;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    std::uint8_t layer = 0;    // 1: Layer III, 2: Layer II, 3: Layer I, as coded
    std::uint8_t rate = 0;     // the sample rate's index
    std::int64_t length = 0;
};

std::optional<FrameHeader> ReadFrameHeader(ByteSpan h) {
    // Bitrates in kbit/s by index: MPEG-1 layers I, II, III, then MPEG-2 layer I, layers II and III.
    static constexpr std::uint16_t kBitrates[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    static constexpr std::uint32_t kRates[3] = {44100, 48000, 32000};
    if (h.size() < 4 || h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return std::nullopt;
    FrameHeader f;
    f.version = (h[1] >> 3) & 3;
    f.layer = (h[1] >> 1) & 3;
    const std::uint8_t bitrate = h[2] >> 4, padding = (h[2] >> 1) & 1;
    f.rate = (h[2] >> 2) & 3;
    // Reserved values, and the free bitrate whose frames have no length to follow.
    if (f.version == 1 || f.layer == 0 || bitrate == 0 || bitrate == 15 || f.rate == 3 || (h[3] & 3) == 2)
        return std::nullopt;
    const bool mpeg1 = f.version == 3;
    const int table = mpeg1 ? 3 - f.layer : (f.layer == 3 ? 3 : 4);
    const std::int64_t bps = std::int64_t{kBitrates[table][bitrate]} * 1000;
    const std::int64_t rate = kRates[f.rate] >> (mpeg1 ? 0 : f.version == 2 ? 1 : 2);
    if (f.layer == 3) f.length = (12 * bps / rate + padding) * 4;
    else if (f.layer == 1 && !mpeg1) f.length = 72 * bps / rate + padding;
    else f.length = 144 * bps / rate + padding;
    return f;
}

bool SameStream(const FrameHeader& a, const FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.rate == b.rate;
}

// The length of an ID3v2 tag at the start, or nullopt when there is none.
std::optional<std::int64_t> Id3v2Length(ByteSpan h) {
    if (h.size() < 10 || std::memcmp(h.data(), "ID3", 3) != 0 || h[3] < 2 || h[3] > 4 || h[4] == 0xFF) return std::nullopt;
    std::int64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (h[i] & 0x80) return std::nullopt;  // synchsafe: seven bits a byte
        size = size << 7 | h[i];
    }
    const bool footer = h[3] == 4 && (h[5] & 0x10);
    return 10 + size + (footer ? 10 : 0);
}

}  // namespace

bool Mp3Starts(ByteSpan head) {
    if (Id3v2Length(head)) return true;
    // Bare frames: the first one's header, and the next byte not yet known.
    return ReadFrameHeader(head).has_value();
}

WalkResult WalkMp3(CarveReader& in) {
    const ByteSpan head = in.Window(0, 10);
    if (!Mp3Starts(head)) return std::nullopt;
    const std::int64_t tag = Id3v2Length(head).value_or(0);
    std::int64_t at = tag;
    std::optional<FrameHeader> first;
    int frames = 0;
    while (true) {
        const auto frame = ReadFrameHeader(in.Window(at, 4));
        if (!frame || (first && !SameStream(*first, *frame))) break;
        if (at + frame->length > in.Size()) {
            if (frames < kMinFrames) return std::nullopt;
            return WalkedFile{at, CarveCheck::Incomplete, {}};
        }
        if (!first) first = frame;
        ++frames;
        at += frame->length;
    }
    if (frames < kMinFrames) return std::nullopt;
    const std::string extension = first->layer == 2 ? "mp2" : first->layer == 3 ? "mp1" : "";
    if (in.Matches(at, "TAG") && at + kId3v1 <= in.Size()) return WalkedFile{at + kId3v1, CarveCheck::Complete, extension};
    // Frames that stop in the middle of their sector stop where something
    // else was written over them.
    const CarveCheck check = ZerosToSectorEnd(in, at) ? CarveCheck::Complete : CarveCheck::Incomplete;
    return WalkedFile{at, check, extension};
}

}  // namespace verandol
