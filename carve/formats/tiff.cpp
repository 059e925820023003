#include "carve/formats/tiff.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "carve/formats/big_endian.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

// Bounds on what one file may hold, far above any camera's: a directory
// chain that goes on past them is a loop or garbage.
constexpr std::size_t kMaxDirectories = 512;
constexpr std::uint32_t kMaxEntries = 4096;
constexpr std::uint32_t kMaxPieces = 1 << 20;  // strips or tiles of one image
// Values read from arrays over the whole file: directories that point to one
// large array again and again do not make the walk take minutes.
constexpr std::int64_t kMaxValues = 1 << 22;

constexpr std::uint16_t kImageWidth = 256, kMake = 271, kStripOffsets = 273, kStripByteCounts = 279, kTileOffsets = 324,
                        kTileByteCounts = 325, kSubIfds = 330, kJpegOffset = 513, kJpegLength = 514,
                        kExifIfd = 34665, kGpsIfd = 34853, kInteropIfd = 40965, kDngVersion = 50706;

// Bytes of one value of a field type; 0 for a type the reader does not know.
std::int64_t TypeBytes(std::uint16_t type) {
    switch (type) {
        case 1: case 2: case 6: case 7: return 1;   // BYTE ASCII SBYTE UNDEFINED
        case 3: case 8: return 2;                    // SHORT SSHORT
        case 4: case 9: case 11: case 13: return 4;  // LONG SLONG FLOAT IFD
        case 5: case 10: case 12: return 8;          // RATIONAL SRATIONAL DOUBLE
        default: return 0;
    }
}

class Walker {
public:
    Walker(CarveReader& in, bool big_endian) : in_(in), big_(big_endian) {}

    std::optional<std::uint16_t> U16(std::int64_t at) { return big_ ? in_.Be16(at) : in_.Le16(at); }
    std::optional<std::uint32_t> U32(std::int64_t at) { return big_ ? in_.Be32(at) : in_.Le32(at); }

    // Walks the directories from the one at `first`; false when the first
    // one is no directory at all.
    bool Run(std::uint32_t first) {
        pending_.push_back(first);
        bool first_read = false;
        while (!pending_.empty()) {
            const std::uint32_t at = pending_.back();
            pending_.pop_back();
            if (!seen_.insert(at).second) continue;  // a loop, or two pointers to one directory
            if (seen_.size() > kMaxDirectories) {
                whole_ = false;
                break;
            }
            const bool read = Directory(at, !first_read);
            if (!first_read && !read) return false;
            first_read = true;
        }
        return true;
    }

    std::int64_t End() const { return end_; }
    bool Whole() const { return whole_; }
    std::string Extension() const {
        if (dng_) return "dng";
        if (make_.starts_with("NIKON")) return "nef";
        if (make_.starts_with("SONY")) return "arw";
        return {};
    }

private:
    // Bytes [at, at + length) belong to the file.
    void Covers(std::int64_t at, std::int64_t length) {
        std::int64_t end;
        if (at < 0 || length < 0 || AddOverflows(at, length, end) || end > in_.Size()) {
            whole_ = false;
            return;
        }
        end_ = std::max(end_, end);
    }

    struct Entry {
        std::uint16_t tag = 0;
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        std::int64_t values = 0;  // where the values are: in the entry or at its offset
    };

    // The n-th value of a SHORT or LONG entry.
    std::optional<std::uint32_t> Value(const Entry& e, std::uint32_t n) {
        if (e.type == 3) {
            const auto v = U16(e.values + 2 * std::int64_t{n});
            return v ? std::optional<std::uint32_t>(*v) : std::nullopt;
        }
        if (e.type == 4 || e.type == 13) return U32(e.values + 4 * std::int64_t{n});
        return std::nullopt;
    }

    // Pieces of pixels (or a preview): offsets from one entry, lengths from another.
    void Pieces(const std::optional<Entry>& offsets, const std::optional<Entry>& lengths) {
        if (!offsets && !lengths) return;
        if (!offsets || !lengths || offsets->count != lengths->count || offsets->count > kMaxPieces) {
            whole_ = false;
            return;
        }
        values_left_ -= offsets->count;
        if (values_left_ < 0) {
            whole_ = false;
            return;
        }
        for (std::uint32_t i = 0; i < offsets->count; ++i) {
            const auto at = Value(*offsets, i);
            const auto length = Value(*lengths, i);
            if (!at || !length) {
                whole_ = false;
                return;
            }
            Covers(*at, *length);
        }
    }

    bool Directory(std::uint32_t at, bool first) {
        const auto count = U16(at);
        if (at < 8 || !count || *count == 0 || *count > kMaxEntries) {
            whole_ = false;
            return false;
        }
        const std::int64_t entries = std::int64_t{at} + 2;
        std::optional<Entry> strips, strip_bytes, tiles, tile_bytes, jpeg, jpeg_bytes;
        std::uint16_t last_tag = 0;
        bool width = false;
        for (std::uint32_t i = 0; i < *count; ++i) {
            const std::int64_t field = entries + 12 * std::int64_t{i};
            const auto tag = U16(field);
            const auto type = U16(field + 2);
            const auto value_count = U32(field + 4);
            if (!tag || !type || !value_count) {
                whole_ = false;
                return false;
            }
            // The first directory's tags ascend, as every writer sorts them:
            // bytes that only begin like a TIFF do not.
            if (first && i > 0 && *tag <= last_tag) return false;
            last_tag = *tag;
            width = width || *tag == kImageWidth;
            const std::int64_t unit = TypeBytes(*type);
            if (unit == 0) continue;  // unknown types are skipped, as readers must
            Entry e{*tag, *type, *value_count, field + 8};
            const std::int64_t bytes = unit * *value_count;  // at most 8 * 2^32: no overflow
            if (bytes > 4) {
                const auto offset = U32(field + 8);
                if (!offset) {
                    whole_ = false;
                    return false;
                }
                e.values = *offset;
                Covers(e.values, bytes);
                if (e.values + bytes > in_.Size()) continue;
            }
            switch (*tag) {
                case kStripOffsets: strips = e; break;
                case kStripByteCounts: strip_bytes = e; break;
                case kTileOffsets: tiles = e; break;
                case kTileByteCounts: tile_bytes = e; break;
                case kJpegOffset: jpeg = e; break;
                case kJpegLength: jpeg_bytes = e; break;
                case kDngVersion: dng_ = true; break;
                case kMake:
                    if (first && *type == 2) {
                        const ByteSpan text = in_.Window(e.values, std::min<std::uint32_t>(e.count, 64));
                        make_.assign(text.begin(), text.end());
                    }
                    break;
                case kSubIfds: case kExifIfd: case kGpsIfd: case kInteropIfd:
                    for (std::uint32_t n = 0; n < std::min<std::uint32_t>(e.count, kMaxDirectories); ++n) {
                        const auto sub = Value(e, n);
                        if (sub && *sub != 0 && !Follow(*sub)) break;
                    }
                    break;
                default: break;
            }
        }
        // Every picture's first directory gives its width.
        if (first && !width) return false;
        Pieces(strips, strip_bytes);
        Pieces(tiles, tile_bytes);
        Pieces(jpeg, jpeg_bytes);
        const std::int64_t next_at = entries + 12 * std::int64_t{*count};
        Covers(at, next_at + 4 - at);
        const auto next = U32(next_at);
        if (!next) {
            whole_ = false;
            return true;
        }
        if (*next != 0) Follow(*next);
        return true;
    }

    // Queues a directory to walk; a file that names more than any holds is not followed whole.
    bool Follow(std::uint32_t at) {
        if (pending_.size() >= kMaxDirectories) {
            whole_ = false;
            return false;
        }
        pending_.push_back(at);
        return true;
    }

    CarveReader& in_;
    bool big_;
    std::vector<std::uint32_t> pending_;
    std::unordered_set<std::uint32_t> seen_;
    std::int64_t end_ = 8;
    bool whole_ = true;
    std::int64_t values_left_ = kMaxValues;
    bool dng_ = false;
    std::string make_;
};

}  // namespace

bool TiffStarts(ByteSpan head) {
    if (head.size() < 8) return false;
    const bool little = head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0;
    const bool big = head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42;
    if (!little && !big) return false;
    const auto first = little ? read_le32(head, 4) : read_be32(head, 4);
    return first.value_or(0) >= 8;
}

WalkResult WalkTiff(CarveReader& in) {
    const ByteSpan head = in.Window(0, 16);
    if (!TiffStarts(head)) return std::nullopt;
    Walker walker(in, head[0] == 'M');
    const auto first = walker.U32(4);
    if (!first || !walker.Run(*first)) return std::nullopt;
    std::string extension = walker.Extension();
    // Canon's raw photos say so after the header.
    if (head.size() >= 10 && head[0] == 'I' && head[8] == 'C' && head[9] == 'R') extension = "cr2";
    const std::int64_t end = std::min(walker.End(), in.Size());
    return WalkedFile{end, walker.Whole() ? CarveCheck::Complete : CarveCheck::Incomplete, extension};
}

}  // namespace verandol
