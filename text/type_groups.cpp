#include "text/type_groups.h"

#include <algorithm>
#include <string>
#include <utility>

#include "text/ascii_case.h"

namespace verandol {

namespace {

// Sorted by extension, so a look-up is a binary search.
constexpr std::pair<std::string_view, TypeGroup> kExtensionGroups[] = {
    {"3gp", TypeGroup::Video},      {"7z", TypeGroup::Archives},    {"aac", TypeGroup::Audio},
    {"aif", TypeGroup::Audio},      {"aiff", TypeGroup::Audio},     {"arw", TypeGroup::Photos},
    {"avi", TypeGroup::Video},      {"bmp", TypeGroup::Photos},     {"bz2", TypeGroup::Archives},
    {"cab", TypeGroup::Archives},   {"cr2", TypeGroup::Photos},     {"cr3", TypeGroup::Photos},
    {"csv", TypeGroup::Documents},  {"dng", TypeGroup::Photos},     {"doc", TypeGroup::Documents},
    {"docx", TypeGroup::Documents}, {"epub", TypeGroup::Documents}, {"flac", TypeGroup::Audio},
    {"flv", TypeGroup::Video},      {"gif", TypeGroup::Photos},     {"gz", TypeGroup::Archives},
    {"heic", TypeGroup::Photos},    {"heif", TypeGroup::Photos},    {"htm", TypeGroup::Documents},
    {"html", TypeGroup::Documents}, {"ico", TypeGroup::Photos},     {"iso", TypeGroup::Archives},
    {"jpeg", TypeGroup::Photos},    {"jpg", TypeGroup::Photos},     {"key", TypeGroup::Documents},
    {"m4a", TypeGroup::Audio},      {"m4v", TypeGroup::Video},      {"md", TypeGroup::Documents},
    {"mid", TypeGroup::Audio},      {"mkv", TypeGroup::Video},      {"mov", TypeGroup::Video},
    {"mp3", TypeGroup::Audio},      {"mp4", TypeGroup::Video},      {"mpeg", TypeGroup::Video},
    {"mpg", TypeGroup::Video},      {"nef", TypeGroup::Photos},     {"odp", TypeGroup::Documents},
    {"ods", TypeGroup::Documents},  {"odt", TypeGroup::Documents},  {"oga", TypeGroup::Audio},
    {"ogg", TypeGroup::Audio},      {"ogv", TypeGroup::Video},      {"opus", TypeGroup::Audio},
    {"orf", TypeGroup::Photos},     {"pdf", TypeGroup::Documents},  {"png", TypeGroup::Photos},
    {"ppt", TypeGroup::Documents},  {"pptx", TypeGroup::Documents}, {"psd", TypeGroup::Photos},
    {"raf", TypeGroup::Photos},     {"rar", TypeGroup::Archives},   {"rtf", TypeGroup::Documents},
    {"rw2", TypeGroup::Photos},     {"svg", TypeGroup::Photos},     {"tar", TypeGroup::Archives},
    {"tgz", TypeGroup::Archives},   {"tif", TypeGroup::Photos},     {"tiff", TypeGroup::Photos},
    {"ts", TypeGroup::Video},       {"txt", TypeGroup::Documents},  {"wav", TypeGroup::Audio},
    {"webm", TypeGroup::Video},     {"webp", TypeGroup::Photos},    {"wma", TypeGroup::Audio},
    {"wmv", TypeGroup::Video},      {"xls", TypeGroup::Documents},  {"xlsx", TypeGroup::Documents},
    {"xz", TypeGroup::Archives},    {"zip", TypeGroup::Archives},   {"zst", TypeGroup::Archives},
};

constexpr bool SortedByExtension() {
    for (std::size_t i = 1; i < std::size(kExtensionGroups); ++i)
        if (!(kExtensionGroups[i - 1].first < kExtensionGroups[i].first)) return false;
    return true;
}
static_assert(SortedByExtension(), "the extension table is searched by halves");

// No extension in the table is longer than this.
constexpr std::size_t kLongestExtension = 4;

}  // namespace

const char* TypeGroupName(TypeGroup group) {
    switch (group) {
        case TypeGroup::Photos: return "Photos";
        case TypeGroup::Documents: return "Documents";
        case TypeGroup::Archives: return "Archives";
        case TypeGroup::Audio: return "Audio";
        case TypeGroup::Video: return "Video";
        case TypeGroup::Other: break;
    }
    return "Other";
}

std::optional<TypeGroup> TypeGroupNamed(std::string_view name) {
    for (TypeGroup group : kTypeGroups) {
        const std::string_view known = TypeGroupName(group);
        if (known.size() == name.size() &&
            std::equal(known.begin(), known.end(), name.begin(),
                       [](char a, char b) { return AsciiLower(a) == AsciiLower(b); }))
            return group;
    }
    return std::nullopt;
}

TypeGroup TypeGroupOf(std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    if (extension.empty() || extension.size() > kLongestExtension) return TypeGroup::Other;
    std::string folded(extension);
    for (char& c : folded) c = AsciiLower(c);
    const auto* end = std::end(kExtensionGroups);
    const auto* found = std::lower_bound(std::begin(kExtensionGroups), end, std::string_view(folded),
                                         [](const auto& entry, std::string_view key) { return entry.first < key; });
    return found != end && found->first == folded ? found->second : TypeGroup::Other;
}

}  // namespace verandol
