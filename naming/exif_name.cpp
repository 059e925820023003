#include "naming/exif_name.h"

#include <algorithm>
#include <cctype>

namespace verandol {

namespace {

constexpr std::uint16_t kTagModel = 0x0110;
constexpr std::uint16_t kTagExifIfd = 0x8769;
constexpr std::uint16_t kTagDateTimeOriginal = 0x9003;
constexpr std::uint16_t kTypeAscii = 2;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::size_t kMostEntries = 512;  // far above any real IFD

// A TIFF structure in either byte order.
class Tiff {
public:
    explicit Tiff(ByteSpan bytes) : bytes_(bytes) {}
    bool Open() {
        if (bytes_.size() < 8) return false;
        if (bytes_[0] == 'I' && bytes_[1] == 'I') big_ = false;
        else if (bytes_[0] == 'M' && bytes_[1] == 'M') big_ = true;
        else return false;
        return U16(2) == std::optional<std::uint16_t>(42);
    }
    std::optional<std::uint16_t> U16(std::size_t at) const {
        const auto v = read_le16(bytes_, at);
        if (!v || !big_) return v;
        return static_cast<std::uint16_t>((*v >> 8) | (*v << 8));
    }
    std::optional<std::uint32_t> U32(std::size_t at) const {
        const auto v = read_le32(bytes_, at);
        if (!v || !big_) return v;
        return __builtin_bswap32(*v);
    }
    // The entry of `tag` in the IFD at `ifd`: its type, count and where its value lies.
    struct Entry {
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        std::size_t value = 0;  // the value's own offset, the offset field's place when it fits in four bytes
    };
    std::optional<Entry> Find(std::size_t ifd, std::uint16_t tag) const {
        const auto count = U16(ifd);
        if (!count || *count > kMostEntries) return std::nullopt;
        for (std::size_t i = 0; i < *count; ++i) {
            const std::size_t at = ifd + 2 + 12 * i;
            const auto entry_tag = U16(at);
            const auto type = U16(at + 2);
            const auto n = U32(at + 4);
            if (!entry_tag || !type || !n) return std::nullopt;
            if (*entry_tag != tag) continue;
            Entry entry{*type, *n, at + 8};
            const std::size_t width = *type == kTypeAscii ? 1 : *type == kTypeLong ? 4 : 0;
            if (width == 0) return std::nullopt;
            if (std::size_t{*n} > 4 / width) {
                const auto offset = U32(at + 8);
                if (!offset) return std::nullopt;
                entry.value = *offset;
            }
            if (std::size_t{*n} > bytes_.size() || !fits(bytes_.size(), entry.value, std::size_t{*n} * width))
                return std::nullopt;
            return entry;
        }
        return std::nullopt;
    }
    // An ASCII value, up to its first NUL, with trailing spaces trimmed.
    std::optional<std::string> Text(std::size_t ifd, std::uint16_t tag) const {
        const auto entry = Find(ifd, tag);
        if (!entry || entry->type != kTypeAscii) return std::nullopt;
        std::string text;
        for (std::size_t i = 0; i < entry->count && bytes_[entry->value + i] != 0; ++i)
            text.push_back(static_cast<char>(bytes_[entry->value + i]));
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
        return text;
    }
    std::optional<std::size_t> FirstIfd() const {
        const auto at = U32(4);
        if (!at) return std::nullopt;
        return *at;
    }

private:
    ByteSpan bytes_;
    bool big_ = false;
};

// "YYYY:MM:DD HH:MM:SS" with digits where digits belong.
bool IsExifDate(const std::string& text) {
    if (text.size() != 19) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool ok = i == 4 || i == 7 ? c == ':' : i == 10 ? c == ' ' : i == 13 || i == 16 ? c == ':' : std::isdigit(static_cast<unsigned char>(c)) != 0;
        if (!ok) return false;
    }
    return text.compare(0, 4, "0000") != 0;
}

std::optional<ExifFacts> ReadTiff(ByteSpan tiff_bytes) {
    Tiff tiff(tiff_bytes);
    if (!tiff.Open()) return std::nullopt;
    const auto ifd0 = tiff.FirstIfd();
    if (!ifd0) return std::nullopt;
    const auto exif = tiff.Find(*ifd0, kTagExifIfd);
    if (!exif || exif->type != kTypeLong || exif->count != 1) return std::nullopt;
    const auto exif_ifd = tiff.U32(exif->value);
    if (!exif_ifd) return std::nullopt;
    const auto taken = tiff.Text(*exif_ifd, kTagDateTimeOriginal);
    if (!taken || !IsExifDate(*taken)) return std::nullopt;
    return ExifFacts{*taken, tiff.Text(*ifd0, kTagModel).value_or(std::string())};
}

}  // namespace

std::optional<ExifFacts> ReadExifFacts(ByteSpan head) {
    if (head.size() >= 4 && ((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M')))
        return ReadTiff(head);
    if (head.size() < 4 || head[0] != 0xFF || head[1] != 0xD8) return std::nullopt;
    // The segments after the start of image, up to the first that opens the image data.
    std::size_t at = 2;
    while (fits(head.size(), at, 4) && head[at] == 0xFF) {
        const std::uint8_t marker = head[at + 1];
        if (marker == 0xDA || marker == 0xD9) break;
        const std::size_t length = (std::size_t{head[at + 2]} << 8) | head[at + 3];
        if (length < 2 || !fits(head.size(), at + 2, length)) break;
        const ByteSpan segment = head.subspan(at + 4, length - 2);
        static constexpr std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
        if (marker == 0xE1 && segment.size() > 6 && std::equal(kExif, kExif + 6, segment.begin()))
            return ReadTiff(segment.subspan(6));
        at += 2 + length;
    }
    return std::nullopt;
}

std::string ExifNameStem(const ExifFacts& facts) {
    // "2024:05:01 14:03:22" -> "2024-05-01 14.03.22"
    std::string stem = facts.taken;
    for (std::size_t i = 0; i < stem.size(); ++i)
        if (stem[i] == ':') stem[i] = i < 10 ? '-' : '.';
    if (!facts.model.empty()) stem.append(" ").append(facts.model);
    return stem;
}

}  // namespace verandol
