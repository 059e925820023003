#include "carve/formats/pe.h"

#include <algorithm>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr std::int64_t kMaxHeaderAt = 64 << 10;  // where "PE\0\0" may lie at most
constexpr std::uint16_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr std::uint16_t kDll = 0x2000, kNative = 1;
constexpr std::uint16_t kMachines[] = {0x14C, 0x8664, 0x1C0, 0x1C2, 0x1C4, 0xAA64, 0x200, 0x166, 0x169, 0xEBC, 0x5064};
constexpr std::uint16_t kMaxSections = 96;

// How far the image's pieces reach: all of them, and those that lie
// within what may be read (what an image cut short still holds).
struct Reach {
    std::int64_t end = 0;
    std::int64_t readable = 0;

    // Adds [offset, offset + size); false when its end overflows.
    bool Add(std::uint64_t offset, std::uint64_t size, std::int64_t limit) {
        std::int64_t stop;
        if (offset > static_cast<std::uint64_t>(INT64_MAX) || size > static_cast<std::uint64_t>(INT64_MAX) ||
            AddOverflows(static_cast<std::int64_t>(offset), static_cast<std::int64_t>(size), stop))
            return false;
        end = std::max(end, stop);
        if (stop <= limit) readable = std::max(readable, stop);
        return true;
    }
};

// The image checksum: 16-bit words summed with their carries folded back,
// the checksum field counted as zero, plus the file's length.
std::optional<std::uint32_t> ImageChecksum(CarveReader& in, std::int64_t length, std::int64_t field) {
    std::uint64_t sum = 0;
    for (std::int64_t at = 0; at < length;) {
        const ByteSpan piece = in.Window(at, static_cast<std::size_t>(std::min<std::int64_t>(length - at, 1 << 16)));
        if (piece.empty() || (piece.size() % 2 != 0 && at + static_cast<std::int64_t>(piece.size()) < length))
            return std::nullopt;
        for (std::size_t i = 0; i < piece.size(); i += 2) {
            const std::int64_t offset = at + static_cast<std::int64_t>(i);
            if (offset >= field && offset < field + 4) continue;
            sum += piece[i] | (i + 1 < piece.size() ? std::uint32_t{piece[i + 1]} << 8 : 0u);
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
        at += static_cast<std::int64_t>(piece.size());
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + static_cast<std::uint64_t>(length));
}

}  // namespace

bool PeStarts(ByteSpan head) {
    // "MZ", and a DOS header of at least its own four paragraphs' worth.
    const auto paragraphs = read_le16(head, 8);
    return head.size() >= 32 && head[0] == 'M' && head[1] == 'Z' && paragraphs && *paragraphs >= 4;
}

WalkResult WalkPe(CarveReader& in) {
    if (!PeStarts(in.Window(0, 32))) return std::nullopt;
    const auto pe = in.Le32(0x3C);
    if (!pe || *pe < 0x40 || *pe > kMaxHeaderAt || !in.Matches(*pe, std::string_view("PE\0\0", 4))) return std::nullopt;
    const std::int64_t coff = std::int64_t{*pe} + 4;
    const auto machine = in.Le16(coff);
    const auto sections = in.Le16(coff + 2);
    const auto symbols_at = in.Le32(coff + 8);
    const auto symbols = in.Le32(coff + 12);
    const auto optional_size = in.Le16(coff + 16);
    const auto characteristics = in.Le16(coff + 18);
    const std::int64_t opt = coff + 20;
    const auto magic = in.Le16(opt);
    if (!machine || !sections || !symbols_at || !symbols || !optional_size || !characteristics || !magic ||
        std::find(std::begin(kMachines), std::end(kMachines), *machine) == std::end(kMachines) || *sections == 0 ||
        *sections > kMaxSections || (*magic != kPe32 && *magic != kPe32Plus))
        return std::nullopt;
    const bool plus = *magic == kPe32Plus;
    const std::int64_t directories = opt + (plus ? 112 : 96);
    const auto file_alignment = in.Le32(opt + 36);
    const auto headers_size = in.Le32(opt + 60);
    const auto checksum = in.Le32(opt + 64);
    const auto subsystem = in.Le16(opt + 68);
    const auto directory_count = in.Le32(opt + (plus ? 108 : 92));
    if (!file_alignment || !headers_size || !checksum || !subsystem || !directory_count ||
        *file_alignment < 512 || *file_alignment > (64 << 10) || (*file_alignment & (*file_alignment - 1)) != 0 ||
        *optional_size < directories - opt || *directory_count > 16 ||
        directories - opt + std::int64_t{*directory_count} * 8 > *optional_size)
        return std::nullopt;

    const std::int64_t table = opt + *optional_size;
    const std::int64_t table_end = table + std::int64_t{*sections} * 40;
    Reach reach;
    reach.Add(0, std::max<std::int64_t>(*headers_size, table_end), in.Size());
    for (std::int64_t s = 0; s < *sections; ++s) {
        const auto raw_size = in.Le32(table + s * 40 + 16);
        const auto raw_at = in.Le32(table + s * 40 + 20);
        if (!raw_size || !raw_at) return std::nullopt;
        if (*raw_size != 0 && !reach.Add(*raw_at, *raw_size, in.Size())) return std::nullopt;
    }
    if (*symbols_at != 0) {
        // The symbols (18 bytes each), then the string table, which begins with its own length.
        const std::uint64_t strings = std::uint64_t{*symbols_at} + std::uint64_t{*symbols} * 18;
        const auto strings_size = in.Le32(static_cast<std::int64_t>(std::min<std::uint64_t>(strings, INT64_MAX)));
        if (!reach.Add(strings, strings_size.value_or(0), in.Size())) return std::nullopt;
    }
    if (*directory_count > 4) {
        const auto cert_at = in.Le32(directories + 4 * 8);
        const auto cert_size = in.Le32(directories + 4 * 8 + 4);
        if (!cert_at || !cert_size) return std::nullopt;
        if (*cert_size != 0 && !reach.Add(*cert_at, *cert_size, in.Size())) return std::nullopt;
    }
    const std::string extension = (*characteristics & kDll) ? "dll" : *subsystem == kNative ? "sys" : "exe";
    const std::int64_t end = reach.end;
    // Cut short: as far as the pieces that are there, not the whole rest of the volume.
    if (end > in.Size())
        return WalkedFile{std::min(std::max(reach.readable, table_end), in.Size()), CarveCheck::Incomplete, extension};
    CarveCheck check = CarveCheck::Complete;
    if (*checksum != 0) check = ImageChecksum(in, end, opt + 64) == *checksum ? CarveCheck::Verified
                                                                              : CarveCheck::Incomplete;
    return WalkedFile{end, check, extension};
}

}  // namespace verandol
