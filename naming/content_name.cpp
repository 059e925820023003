#include "naming/content_name.h"

#include <algorithm>
#include <vector>

#include "naming/exif_name.h"
#include "naming/office_title.h"
#include "naming/pdf_title.h"

namespace verandol {

namespace {

constexpr std::int64_t kHeadBytes = 4 << 20;
constexpr std::int64_t kTailBytes = 1 << 20;  // a PDF's later updates, and their Info dictionary, lie at its end
constexpr std::size_t kMostNameBytes = 200;

bool Is(std::string_view extension, std::initializer_list<std::string_view> any) {
    return std::find(any.begin(), any.end(), extension) != any.end();
}

}  // namespace

std::string FileNameFromText(std::string_view text) {
    std::string name;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        name.push_back(c < 0x20 || c == 0x7F || ch == '/' || ch == '\\' ? '_' : ch);
    }
    const auto trimmed = [](char c) { return c == ' ' || c == '.' || c == '_'; };
    while (!name.empty() && trimmed(name.back())) name.pop_back();
    std::size_t first = 0;
    while (first < name.size() && trimmed(name[first])) ++first;
    name.erase(0, first);
    if (name.size() > kMostNameBytes) {
        std::size_t cut = kMostNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
        name.resize(cut);
        while (!name.empty() && trimmed(name.back())) name.pop_back();
    }
    return name;
}

std::optional<std::string> ContentNameOf(ByteSpan bytes, std::string_view extension) {
    std::optional<std::string> stem;
    if (Is(extension, {"jpg", "jpeg", "tif", "tiff"})) {
        if (const auto facts = ReadExifFacts(bytes)) stem = ExifNameStem(*facts);
    } else if (extension == "pdf") {
        stem = ReadPdfTitle(bytes);
    } else if (Is(extension, {"docx", "xlsx", "pptx"})) {
        stem = ReadOfficeTitle(bytes);
    }
    if (!stem) return std::nullopt;
    std::string name = FileNameFromText(*stem);
    if (name.empty()) return std::nullopt;
    return name.append(".").append(extension);
}

std::optional<std::string> ContentName(ByteSource& volume, const CarvedExtent& extent, std::string_view extension) {
    if (extent.length <= 0 || extent.position < 0) return std::nullopt;
    const std::int64_t head = std::min(extent.length, kHeadBytes);
    // A PDF longer than its head is read at its end too.
    const std::int64_t tail = extension == "pdf" && extent.length > head ? std::min(extent.length - head, kTailBytes) : 0;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(head + tail));
    const std::size_t got = volume.ReadAt(extent.position, MutableByteSpan(bytes.data(), static_cast<std::size_t>(head)));
    if (got < static_cast<std::size_t>(head)) bytes.resize(got);
    else if (tail > 0) {
        const std::size_t got_tail = volume.ReadAt(extent.position + extent.length - tail,
                                                   MutableByteSpan(bytes.data() + head, static_cast<std::size_t>(tail)));
        bytes.resize(static_cast<std::size_t>(head) + got_tail);
    }
    return ContentNameOf(bytes, extension);
}

}  // namespace verandol
