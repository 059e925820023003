#include "carve/formats/jpeg.h"

#include <algorithm>
#include <cstring>

#include "carve/formats/jpeg_scan.h"

namespace verandol {

namespace {

constexpr std::uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kDht = 0xC4, kDqt = 0xDB, kDri = 0xDD;

bool IsRestart(std::uint8_t m) { return m >= 0xD0 && m <= 0xD7; }
bool IsFrame(std::uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != kDht && m != 0xC8 && m != 0xCC; }
// Markers with a length that may stand between SOI and EOI.
bool IsSegment(std::uint8_t m) {
    return IsFrame(m) || m == kDht || m == 0xCC /* DAC */ || m == kDqt || m == kDri || m == kSos ||
           (m >= 0xDC && m <= 0xDF) /* DNL, DHP, EXP */ || (m >= 0xE0 && m <= 0xEF) /* APPn */ ||
           m == 0xFE /* COM */;
}

struct Segment {
    std::uint8_t marker;
    std::int64_t body;    // first byte after the length field
    std::int64_t length;  // of the body
};

// The checks a segment's body must pass for the structure to be believed.
bool BodyHolds(CarveReader& in, const Segment& s, bool frame_seen) {
    // Whole: the caller checked that the segment lies within the reader.
    const ByteSpan b = in.Window(s.body, static_cast<std::size_t>(s.length));
    if (static_cast<std::int64_t>(b.size()) != s.length) return false;
    if (IsFrame(s.marker)) {
        if (b.size() < 6) return false;
        const std::size_t components = b[5];
        return (b[0] == 8 || b[0] == 12 || b[0] == 16) && (b[3] | b[4]) != 0 && components >= 1 &&
               components <= 4 && b.size() == 6 + 3 * components;
    }
    if (s.marker == kSos) {
        if (!frame_seen || b.empty()) return false;
        const std::size_t components = b[0];
        return components >= 1 && components <= 4 && b.size() == 4 + 2 * components;
    }
    if (s.marker == kDri) return b.size() == 2;
    if (s.marker == kDht) {
        for (std::size_t at = 0; at < b.size();) {
            if (b.size() - at < 17 || (b[at] >> 4) > 1 || (b[at] & 15) > 3) return false;
            std::size_t codes = 0;
            for (std::size_t i = 1; i <= 16; ++i) codes += b[at + i];
            if (codes > 256 || b.size() - at - 17 < codes) return false;
            at += 17 + codes;
        }
        return !b.empty();
    }
    if (s.marker == kDqt) {
        for (std::size_t at = 0; at < b.size();) {
            const std::size_t table = (b[at] >> 4) == 0 ? 64 : (b[at] >> 4) == 1 ? 128 : 0;
            if (table == 0 || (b[at] & 15) > 3 || b.size() - at - 1 < table) return false;
            at += 1 + table;
        }
        return !b.empty();
    }
    return true;
}

// What the segments so far said about the picture, for decoding its scans.
struct Picture {
    JpegFrame frame;
    bool sequential = false;  // Huffman-coded, baseline or extended: its scans can be decoded
    JpegTables tables;
    JpegScan scan;
};

// Takes what a checked segment says into `picture`; false when its tables
// cannot be built or its scan names components the frame lacks.
bool Learn(const Segment& s, ByteSpan b, Picture& picture) {
    if (IsFrame(s.marker)) {
        JpegFrame& f = picture.frame;
        f.precision = b[0];
        f.height = std::uint32_t{b[1]} << 8 | b[2];
        f.width = std::uint32_t{b[3]} << 8 | b[4];
        f.count = b[5];
        for (std::size_t i = 0; i < f.count; ++i) {
            f.components[i] = {b[6 + 3 * i], static_cast<std::uint8_t>(b[7 + 3 * i] >> 4),
                               static_cast<std::uint8_t>(b[7 + 3 * i] & 15)};
            const auto& c = f.components[i];
            if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return false;
        }
        picture.sequential = s.marker == 0xC0 || s.marker == 0xC1;
    } else if (s.marker == kDht) {
        for (std::size_t at = 0; at < b.size();) {
            std::size_t codes = 0;
            for (std::size_t i = 1; i <= 16; ++i) codes += b[at + i];
            auto& table = (b[at] >> 4) == 0 ? picture.tables.dc[b[at] & 15] : picture.tables.ac[b[at] & 15];
            if (!BuildHuffmanTable(b.data() + at + 1, b.data() + at + 17, codes, table)) return false;
            at += 17 + codes;
        }
    } else if (s.marker == kDri) {
        picture.tables.restart_interval = std::uint32_t{b[0]} << 8 | b[1];
    } else if (s.marker == kSos) {
        JpegScan& scan = picture.scan;
        scan.count = b[0];
        for (std::size_t i = 0; i < scan.count; ++i) {
            const std::uint8_t id = b[1 + 2 * i];
            std::size_t index = 0;
            while (index < picture.frame.count && picture.frame.components[index].id != id) ++index;
            if (index == picture.frame.count) return false;
            scan.components[i] = {index, static_cast<std::uint8_t>(b[2 + 2 * i] >> 4),
                                  static_cast<std::uint8_t>(b[2 + 2 * i] & 15)};
        }
        const std::size_t tail = 1 + 2 * scan.count;
        // A sequential frame's scans carry every coefficient at full precision.
        if (picture.sequential && (b[tail] != 0 || b[tail + 1] != 63 || b[tail + 2] != 0)) return false;
    }
    return true;
}

// The offset of the marker that ends the entropy-coded data from `at`:
// stuffed zeros, restart markers and fill bytes belong to the data.
std::optional<std::int64_t> EntropyEnd(CarveReader& in, std::int64_t at) {
    while (at < in.Size()) {
        const ByteSpan w = in.Window(at, CarveReader::kWindowBytes);
        const void* ff = std::memchr(w.data(), 0xFF, w.size());
        if (!ff) {
            at += static_cast<std::int64_t>(w.size());
            continue;
        }
        at += static_cast<const std::uint8_t*>(ff) - w.data();
        const auto next = in.Byte(at + 1);
        if (!next) return std::nullopt;
        if (*next == 0 || IsRestart(*next) || *next == 0xFF) {
            at += *next == 0xFF ? 1 : 2;
            continue;
        }
        return at;
    }
    return std::nullopt;
}

}  // namespace

bool JpegStarts(ByteSpan head) {
    return head.size() >= 4 && head[0] == 0xFF && head[1] == kSoi && head[2] == 0xFF && IsSegment(head[3]);
}

WalkResult WalkJpeg(CarveReader& in) {
    if (!JpegStarts(in.Window(0, 4))) return std::nullopt;
    std::int64_t at = 2;
    bool frame = false, scan = false, first = true;
    // A scan that did not decode: followed on by its markers, so the photo
    // comes out whole as far as it goes, but never complete.
    bool damaged = false;
    // Where the structure first stopped holding: the scan's data start and
    // the byte its decoding reached, or a marker that was not one.
    std::int64_t held_to = -1, broke_at = -1;
    Picture picture;
    const auto broken = [&]() -> WalkResult {
        if (first) return std::nullopt;
        if (held_to < 0) {
            held_to = at;
            broke_at = std::min(at + 4, in.Size());
        }
        return WalkedFile{at, CarveCheck::Incomplete, {}, held_to, broke_at};
    };
    while (true) {
        if (in.Byte(at) != 0xFF) return broken();
        while (in.Byte(at + 1) == 0xFF) ++at;  // fill bytes before a marker
        const auto marker = in.Byte(at + 1);
        if (!marker) return broken();
        if (*marker == kEoi) {
            if (!frame || !scan) return broken();
            return WalkedFile{at + 2, damaged ? CarveCheck::Incomplete : CarveCheck::Complete, {}, held_to, broke_at};
        }
        if (!IsSegment(*marker)) return broken();
        const auto length = in.Be16(at + 2);
        if (!length || *length < 2 || at + 2 + *length > in.Size()) return broken();
        const Segment segment{*marker, at + 4, std::int64_t{*length} - 2};
        if (!BodyHolds(in, segment, frame)) return broken();
        if (!Learn(segment, in.Window(segment.body, static_cast<std::size_t>(segment.length)), picture))
            return broken();
        frame = frame || IsFrame(*marker);
        first = false;
        at += 2 + *length;
        if (*marker == kSos) {
            // Decoded where it can be: bytes of another file in the scan do not decode as it.
            std::optional<std::int64_t> end;
            if (picture.sequential && picture.frame.height > 0) {
                std::int64_t reached = at;
                end = CheckSequentialScan(in, at, picture.frame, picture.scan, picture.tables, &reached);
                if (!end && !damaged) {
                    held_to = at;
                    broke_at = reached;
                }
                damaged = damaged || !end;
            }
            if (!end) end = EntropyEnd(in, at);
            if (!end) return WalkedFile{in.Size(), CarveCheck::Incomplete, {}, held_to, broke_at};
            scan = true;
            at = *end;
        }
    }
}

}  // namespace verandol
