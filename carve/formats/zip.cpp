#include "carve/formats/zip.h"

#include <algorithm>
#include <string>

#include "carve/formats/chunk_crc.h"
#include "carve/formats/deflate_stream.h"
#include "carve/formats/zip_kind.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr std::uint32_t kLocal = 0x04034B50, kCentral = 0x02014B50, kEnd = 0x06054B50, kEnd64 = 0x06064B50,
                        kLocator64 = 0x07064B50, kDescriptor = 0x08074B50;
constexpr std::uint16_t kEncrypted = 1, kHasDescriptor = 8;
constexpr std::uint16_t kStored = 0, kDeflated = 8;
constexpr std::uint64_t kMaxInflated = std::uint64_t{1} << 40;

// One local member, followed to the end of its data (and descriptor).
struct Member {
    std::int64_t end = 0;
    bool followed = false;  // its data's end was found
    CarveCheck check = CarveCheck::Incomplete;
    // Where its data stopped holding: from its first byte to where the
    // deflate stream broke, or to its end when its CRC did not match.
    std::int64_t held_to = -1, broke_at = -1;
};

// The 64-bit sizes of a ZIP64 extra field, for the fields the header marks with all ones.
void ReadZip64Sizes(CarveReader& in, std::int64_t extra, std::int64_t extra_end, std::uint64_t& compressed,
                    std::uint64_t& uncompressed) {
    for (std::int64_t at = extra; at + 4 <= extra_end;) {
        const auto id = in.Le16(at);
        const auto size = in.Le16(at + 2);
        if (!id || !size) return;
        if (*id == 1) {
            std::int64_t field = at + 4;
            if (uncompressed == 0xFFFFFFFF && field + 8 <= at + 4 + *size) {
                uncompressed = in.Le64(field).value_or(0);
                field += 8;
            }
            if (compressed == 0xFFFFFFFF && field + 8 <= at + 4 + *size) compressed = in.Le64(field).value_or(0);
            return;
        }
        at += 4 + *size;
    }
}

Member WalkMember(CarveReader& in, std::int64_t at, ZipKind& kind) {
    Member member;
    const auto flags = in.Le16(at + 6);
    const auto method = in.Le16(at + 8);
    const auto header_crc = in.Le32(at + 14);
    const auto compressed32 = in.Le32(at + 18);
    const auto uncompressed32 = in.Le32(at + 22);
    const auto name_length = in.Le16(at + 26);
    const auto extra_length = in.Le16(at + 28);
    if (!flags || !method || !header_crc || !compressed32 || !uncompressed32 || !name_length || !extra_length)
        return member;
    const std::int64_t name = at + 30;
    const std::int64_t extra = name + *name_length;
    const std::int64_t data = extra + *extra_length;
    if (data > in.Size()) return member;
    const ByteSpan name_bytes = in.Window(name, *name_length);
    const std::string name_text(name_bytes.begin(), name_bytes.end());
    std::uint64_t compressed = *compressed32, uncompressed = *uncompressed32;
    const bool zip64 = compressed == 0xFFFFFFFF || uncompressed == 0xFFFFFFFF;
    if (zip64) ReadZip64Sizes(in, extra, data, compressed, uncompressed);
    const bool descriptor = (*flags & kHasDescriptor) != 0;

    std::optional<std::uint32_t> crc;  // of the data as the member holds it, when it could be had
    std::int64_t data_end;
    std::uint64_t made = uncompressed;
    if (*method == kDeflated && !(*flags & kEncrypted)) {
        const auto stream = InflateRaw(in, data, kMaxInflated);
        if (stream && !stream->finished) {
            member.held_to = data;
            member.broke_at = stream->end;
        }
        if (!stream || !stream->finished) return member;
        data_end = stream->end;
        crc = stream->crc;
        made = stream->size;
    } else {
        // Without a size before the data, its end cannot be found.
        if (descriptor && compressed == 0) return member;
        if (compressed > static_cast<std::uint64_t>(in.Size()) || AddOverflows(data, compressed, data_end) ||
            data_end > in.Size())
            return member;
        if (*method == kStored && !(*flags & kEncrypted)) crc = Crc32Of(in, data, data_end - data);
    }
    std::string mimetype;
    if (*method == kStored && name_text == "mimetype" && compressed <= 100) {
        const ByteSpan content = in.Window(data, static_cast<std::size_t>(compressed));
        mimetype.assign(content.begin(), content.end());
    }
    kind.Member(name_text, mimetype);

    std::uint32_t stored_crc = *header_crc;
    std::uint64_t stored_size = uncompressed;
    member.end = data_end;
    if (descriptor) {
        std::int64_t d = data_end;
        if (in.Le32(d) == kDescriptor) d += 4;
        const auto c = in.Le32(d);
        const std::int64_t wide = zip64 ? 8 : 4;
        const std::int64_t size_at = d + 4 + wide;
        if (!c || size_at + wide > in.Size()) return member;
        stored_crc = *c;
        stored_size = zip64 ? in.Le64(size_at).value_or(0) : in.Le32(size_at).value_or(0);
        member.end = d + 4 + 2 * wide;
    }
    member.followed = true;
    if (!crc) member.check = CarveCheck::Complete;
    else if (*crc == stored_crc && made == stored_size) member.check = CarveCheck::Verified;
    else {
        member.held_to = data;
        member.broke_at = member.end;
    }
    return member;
}

}  // namespace

bool ZipStarts(ByteSpan head) {
    // A local header of a known version, method and sane name length.
    const auto sig = read_le32(head, 0);
    const auto version = read_le16(head, 4);
    const auto method = read_le16(head, 8);
    const auto name_length = read_le16(head, 26);
    return sig == kLocal && version && *version <= 63 && method &&
           (*method == kStored || *method == kDeflated || *method == 12 || *method == 14 || *method == 93 ||
            *method == 95 || *method == 99) &&
           name_length && *name_length > 0 && *name_length <= 1024;
}

WalkResult WalkZip(CarveReader& in) {
    if (!ZipStarts(in.Window(0, 30))) return std::nullopt;
    ZipKind kind;
    CarveCheck check = CarveCheck::Verified;
    std::int64_t at = 0, members = 0, central = 0;
    // Where the structure first stopped holding (see WalkedFile).
    std::int64_t held_to = -1, broke_at = -1;
    const auto broke = [&](std::int64_t from, std::int64_t to) {
        if (held_to >= 0 || from < 0) return;
        held_to = std::min(from, in.Size());
        broke_at = std::min(to, in.Size());
    };
    const auto cut = [&](std::int64_t where) -> WalkResult {
        if (members == 0) return std::nullopt;
        broke(where, where + 4);
        // A record's lengths may point past what there is to read.
        return WalkedFile{std::min(where, in.Size()), CarveCheck::Incomplete, kind.Extension(), held_to, broke_at};
    };
    while (true) {
        const auto sig = in.Le32(at);
        if (!sig) return cut(at);
        if (*sig == kLocal && central == 0) {
            const Member member = WalkMember(in, at, kind);
            broke(member.held_to, member.broke_at);
            if (!member.followed) return cut(at);
            check = Weaker(check, member.check);
            ++members;
            at = member.end;
        } else if (*sig == kCentral) {
            const auto n = in.Le16(at + 28), x = in.Le16(at + 30), c = in.Le16(at + 32);
            if (!n || !x || !c) return cut(at);
            ++central;
            at += 46 + *n + *x + *c;
        } else if (*sig == kEnd64) {
            const auto size = in.Le64(at + 4);
            if (!size || *size > static_cast<std::uint64_t>(in.Size()) || AddOverflows(at, 12 + *size, at))
                return cut(at);
        } else if (*sig == kLocator64) {
            at += 20;
        } else if (*sig == kEnd) {
            const auto total = in.Le16(at + 10);
            const auto comment = in.Le16(at + 20);
            if (!total || !comment || at + 22 + *comment > in.Size()) return cut(at);
            // Every member listed, and listed once.
            if (central != members || (*total != 0xFFFF && *total != members)) check = CarveCheck::Incomplete;
            if (members == 0) return std::nullopt;
            if (check == CarveCheck::Incomplete) broke(at, at + 4);
            return WalkedFile{at + 22 + *comment, check, kind.Extension(), held_to, broke_at};
        } else {
            return cut(at);
        }
    }
}

}  // namespace verandol
