#include "carve/formats/matroska.h"

#include <algorithm>
#include <string>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr std::uint32_t kEbml = 0x1A45DFA3, kDocType = 0x4282, kSegment = 0x18538067, kCluster = 0x1F43B675;
constexpr std::uint32_t kVoid = 0xEC, kCrc32 = 0xBF;
constexpr std::uint32_t kTopLevel[] = {0x114D9B74 /* SeekHead */, 0x1549A966 /* Info */,  0x1654AE6B /* Tracks */,
                                       kCluster,    0x1C53BB6B /* Cues */,     0x1941A469 /* Attachments */,
                                       0x1043A770 /* Chapters */, 0x1254C367 /* Tags */, kVoid, kCrc32};
constexpr std::uint32_t kClusterChildren[] = {0xE7 /* Timestamp */, 0xA3 /* SimpleBlock */, 0xA0 /* BlockGroup */,
                                              0xA7 /* Position */,  0xAB /* PrevSize */,    0x5854 /* SilentTracks */,
                                              kVoid,                kCrc32};
constexpr std::int64_t kMaxHeader = 4096;
constexpr std::uint64_t kUnknown = ~std::uint64_t{0};

struct Element {
    std::uint32_t id = 0;
    std::uint64_t size = 0;  // kUnknown when all its bits are ones
    std::int64_t data = 0;   // where its content starts
};

// A variable-length integer at `at` of at most `max_length` bytes: its value
// (with the length marker when `keep_marker`, as IDs are written) and length.
std::optional<std::pair<std::uint64_t, int>> ReadVint(CarveReader& in, std::int64_t at, int max_length,
                                                      bool keep_marker) {
    const ByteSpan b = in.Window(at, static_cast<std::size_t>(max_length));
    if (b.empty() || b[0] == 0) return std::nullopt;
    int length = 1;
    while (!(b[0] & (0x80 >> (length - 1)))) ++length;
    if (length > max_length || static_cast<std::size_t>(length) > b.size()) return std::nullopt;
    std::uint64_t value = keep_marker ? b[0] : b[0] & (0xFFu >> length);
    bool all_ones = value == (0xFFu >> length);
    for (int i = 1; i < length; ++i) {
        value = value << 8 | b[static_cast<std::size_t>(i)];
        all_ones = all_ones && b[static_cast<std::size_t>(i)] == 0xFF;
    }
    if (!keep_marker && all_ones) value = kUnknown;
    return std::pair{value, length};
}

std::optional<Element> ReadElement(CarveReader& in, std::int64_t at) {
    const auto id = ReadVint(in, at, 4, true);
    if (!id) return std::nullopt;
    const auto size = ReadVint(in, at + id->second, 8, false);
    if (!size) return std::nullopt;
    return Element{static_cast<std::uint32_t>(id->first), size->first, at + id->second + size->second};
}

template <std::size_t N>
bool OneOf(std::uint32_t id, const std::uint32_t (&ids)[N]) {
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

// The end of an element of known size, when it lies within `bound`.
std::optional<std::int64_t> EndOf(const Element& e, std::int64_t bound) {
    std::int64_t end;
    if (e.size == kUnknown || e.size > static_cast<std::uint64_t>(bound) ||
        AddOverflows(e.data, static_cast<std::int64_t>(e.size), end) || end > bound)
        return std::nullopt;
    return end;
}

// Whether the children of [from, to) are known elements that tile it exactly.
bool Tiles(CarveReader& in, std::int64_t from, std::int64_t to, const auto& known) {
    for (std::int64_t at = from; at < to;) {
        const auto e = ReadElement(in, at);
        if (!e || !OneOf(e->id, known)) return false;
        const auto end = EndOf(*e, to);
        if (!end) return false;
        at = *end;
    }
    return true;
}

}  // namespace

bool MatroskaStarts(ByteSpan head) {
    // The EBML ID, then a header size of a few bytes' worth.
    return head.size() >= 5 && head[0] == 0x1A && head[1] == 0x45 && head[2] == 0xDF && head[3] == 0xA3 && head[4] != 0;
}

WalkResult WalkMatroska(CarveReader& in) {
    if (!MatroskaStarts(in.Window(0, 5))) return std::nullopt;
    const auto header = ReadElement(in, 0);
    if (!header || header->id != kEbml) return std::nullopt;
    const auto header_end = EndOf(*header, std::min<std::int64_t>(in.Size(), kMaxHeader));
    if (!header_end) return std::nullopt;
    std::string doc_type;
    for (std::int64_t at = header->data; at < *header_end;) {
        const auto e = ReadElement(in, at);
        const auto end = e ? EndOf(*e, *header_end) : std::nullopt;
        if (!end) return std::nullopt;
        if (e->id == kDocType) {
            const ByteSpan text = in.Window(e->data, static_cast<std::size_t>(e->size));
            doc_type.assign(text.begin(), text.end());
            doc_type.erase(std::find(doc_type.begin(), doc_type.end(), '\0'), doc_type.end());
        }
        at = *end;
    }
    if (doc_type != "matroska" && doc_type != "webm") return std::nullopt;
    const std::string extension = doc_type == "webm" ? "webm" : "mkv";
    const auto segment = ReadElement(in, *header_end);
    if (!segment || segment->id != kSegment) return std::nullopt;

    // The Segment's children: top-level elements, each Cluster's own children checked too.
    const std::int64_t bound = segment->size == kUnknown ? in.Size() : EndOf(*segment, INT64_MAX).value_or(INT64_MAX);
    std::int64_t at = segment->data;
    while (at < std::min(bound, in.Size())) {
        const auto e = ReadElement(in, at);
        if (!e || !OneOf(e->id, kTopLevel)) break;
        const auto end = EndOf(*e, std::min(bound, in.Size()));
        if (!end || (e->id == kCluster && !Tiles(in, e->data, *end, kClusterChildren))) break;
        at = *end;
    }
    if (segment->size != kUnknown && at == bound) return WalkedFile{at, CarveCheck::Complete, extension};
    // Nothing past the header followed: only a signature.
    if (at == segment->data) return std::nullopt;
    return WalkedFile{at, CarveCheck::Incomplete, extension};
}

}  // namespace verandol
