#include "naming/office_title.h"

#include <algorithm>
#include <string_view>

#include <zlib.h>

namespace verandol {

namespace {

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kMostXml = 64 * 1024;
constexpr std::string_view kMember = "docProps/core.xml";

// Up to kMostXml bytes of a raw deflate stream; nullopt when it is damaged.
std::optional<std::string> Inflate(ByteSpan packed) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return std::nullopt;
    std::string out(kMostXml, '\0');
    stream.next_in = const_cast<Bytef*>(packed.data());
    stream.avail_in = static_cast<uInt>(std::min<std::size_t>(packed.size(), UINT32_MAX));
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const std::size_t made = out.size() - stream.avail_out;
    inflateEnd(&stream);
    // A member longer than the bound is read as far as the bound: its title comes early.
    if (result != Z_STREAM_END && result != Z_BUF_ERROR && result != Z_OK) return std::nullopt;
    out.resize(made);
    return out;
}

std::string Unescape(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&')
            for (const auto& [entity, c] : kEntities)
                if (text.substr(i, entity.size()) == entity) {
                    out.push_back(c);
                    i += entity.size();
                    replaced = true;
                    break;
                }
        if (!replaced) out.push_back(text[i++]);
    }
    return out;
}

}  // namespace

std::optional<std::string> CoreXmlTitle(std::string_view xml) {
    static constexpr std::string_view kOpen = "<dc:title>";
    static constexpr std::string_view kClose = "</dc:title>";
    const std::size_t open = xml.find(kOpen);
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t start = open + kOpen.size();
    const std::size_t close = xml.find(kClose, start);
    if (close == std::string_view::npos) return std::nullopt;
    return Unescape(xml.substr(start, close - start));
}

std::optional<std::string> ReadOfficeTitle(ByteSpan zip) {
    static constexpr std::uint8_t kSignature[4] = {'P', 'K', 3, 4};
    for (auto at = zip.begin(); (at = std::search(at, zip.end(), kSignature, kSignature + 4)) != zip.end(); ++at) {
        const auto header = static_cast<std::size_t>(at - zip.begin());
        if (!fits(zip.size(), header, kLocalHeaderSize) || read_le32(zip, header) != kLocalHeader) continue;
        const std::uint16_t method = *read_le16(zip, header + 8);
        const std::size_t packed_size = *read_le32(zip, header + 18);
        const std::size_t name_length = *read_le16(zip, header + 26);
        const std::size_t extra_length = *read_le16(zip, header + 28);
        const std::size_t name = header + kLocalHeaderSize;
        if (!fits(zip.size(), name, name_length) || name_length != kMember.size() ||
            !std::equal(kMember.begin(), kMember.end(), zip.begin() + static_cast<std::ptrdiff_t>(name)))
            continue;
        const std::size_t data = name + name_length + extra_length;  // each at most 64 KiB: no overflow
        if (data > zip.size()) return std::nullopt;
        // A size of zero with a data descriptor after: the deflate stream says where it ends.
        const ByteSpan rest = zip.subspan(data);
        const ByteSpan packed = packed_size == 0 ? rest : rest.first(std::min(packed_size, rest.size()));
        std::optional<std::string> xml;
        if (method == 0) xml = std::string(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(std::min(packed.size(), kMostXml)));
        else if (method == 8) xml = Inflate(packed);
        if (!xml) return std::nullopt;
        auto title = CoreXmlTitle(*xml);
        if (!title || title->empty()) return std::nullopt;
        return title;
    }
    return std::nullopt;
}

}  // namespace verandol
