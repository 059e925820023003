#include "carve/formats/iso_bmff.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "carve/formats/big_endian.h"
#include "ntfs/checked_math.h"

namespace verandol {

namespace {

// The largest "ftyp" box any writer makes: a few dozen compatible brands.
constexpr std::uint32_t kMaxFtyp = 512;
// The most boxes followed at the top level; fragmented files have thousands.
constexpr int kMaxBoxes = 1 << 20;

bool IsBrand(ByteSpan b, std::size_t at) {
    if (!fits(b.size(), at, 4)) return false;
    for (std::size_t i = at; i < at + 4; ++i)
        if (b[i] < 0x20 || b[i] > 0x7E) return false;
    return true;
}

// The box types that stand at a file's top level.
constexpr std::array<std::string_view, 18> kTopLevel = {"ftyp", "moov", "mdat", "free", "skip", "wide",
                                                      "meta", "uuid", "pdin", "moof", "mfra", "styp",
                                                      "sidx", "ssix", "prft", "emsg", "pnot", "udta"};

bool IsTopLevel(ByteSpan type) {
    if (type.size() < 4) return false;
    const std::string_view t(reinterpret_cast<const char*>(type.data()), 4);
    return std::find(kTopLevel.begin(), kTopLevel.end(), t) != kTopLevel.end();
}

bool BrandIs(std::string_view brand, std::initializer_list<std::string_view> any) {
    return std::find(any.begin(), any.end(), brand) != any.end();
}

// The extension the major brand, or failing that a compatible one, names.
const char* Extension(ByteSpan ftyp, std::uint32_t size) {
    const auto brand = [&](std::size_t at) {
        return std::string_view(reinterpret_cast<const char*>(ftyp.data()) + at, 4);
    };
    const auto of = [](std::string_view b) -> const char* {
        if (b == "qt  ") return "mov";
        if (BrandIs(b, {"M4A ", "M4B ", "M4P "})) return "m4a";
        if (BrandIs(b, {"heic", "heix", "heim", "heis", "hevc", "hevx"})) return "heic";
        if (BrandIs(b, {"avif", "avis"})) return "avif";
        if (b.starts_with("3gp") || b.starts_with("3gg")) return "3gp";
        if (b.starts_with("3g2")) return "3g2";
        if (b == "crx ") return "cr3";
        return nullptr;
    };
    if (const char* e = of(brand(8))) return e;
    for (std::size_t at = 16; at + 4 <= size && at + 4 <= ftyp.size(); at += 4)
        if (const char* e = of(brand(at))) return e;
    return "mp4";
}

}  // namespace

bool IsoBmffStarts(ByteSpan head) {
    const std::uint32_t size = read_be32(head, 0).value_or(0);
    return head.size() >= 16 && std::memcmp(head.data() + 4, "ftyp", 4) == 0 && size >= 16 && size <= kMaxFtyp &&
           size % 4 == 0 && IsBrand(head, 8);
}

WalkResult WalkIsoBmff(CarveReader& in) {
    const ByteSpan ftyp = in.Window(0, kMaxFtyp);
    if (!IsoBmffStarts(ftyp)) return std::nullopt;
    const std::uint32_t ftyp_size = read_be32(ftyp, 0).value_or(0);
    if (ftyp.size() < ftyp_size) return std::nullopt;
    for (std::size_t at = 16; at < ftyp_size; at += 4)
        if (!IsBrand(ftyp, at)) return std::nullopt;
    const char* extension = Extension(ftyp, ftyp_size);
    bool metadata = false, media = false, cut = false;
    std::int64_t at = ftyp_size;
    for (int boxes = 0; boxes < kMaxBoxes; ++boxes) {
        const auto size32 = in.Be32(at);
        const ByteSpan type = in.Window(at + 4, 4);
        if (!size32 || !IsTopLevel(type) || std::memcmp(type.data(), "ftyp", 4) == 0) break;  // another file's bytes
        std::uint64_t size = *size32;
        if (size == 1) {
            const auto high = in.Be32(at + 8), low = in.Be32(at + 12);
            if (!high || !low) break;
            size = std::uint64_t{*high} << 32 | *low;
            if (size < 16) break;
        } else if (size < 8) {
            // 0 runs to the end of a file whose end is unknown here; anything else is no box.
            break;
        }
        std::int64_t next;
        if (size > static_cast<std::uint64_t>(INT64_MAX) || AddOverflows(at, static_cast<std::int64_t>(size), next) ||
            next > in.Size()) {
            cut = true;
            break;
        }
        const std::string_view t(reinterpret_cast<const char*>(type.data()), 4);
        if (t == "moov" || t == "meta") metadata = true;
        if (t == "mdat") media = true;
        at = next;
    }
    // A header and nothing after it is no file.
    if (at == ftyp_size) return std::nullopt;
    const bool whole = !cut && metadata && media;
    return WalkedFile{at, whole ? CarveCheck::Complete : CarveCheck::Incomplete, extension};
}

}  // namespace verandol
