#include "recover/mount_info.h"

#include <sys/sysmacros.h>

#include <charconv>

namespace verandol {

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// Splits at single spaces; the kernel escapes every space inside a field.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

std::optional<unsigned> Number(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "MAJ:MIN" as a device number.
std::optional<std::uint64_t> DeviceNumber(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto major_number = Number(text.substr(0, colon));
    const auto minor_number = Number(text.substr(colon + 1));
    if (!major_number || !minor_number) return std::nullopt;
    return makedev(*major_number, *minor_number);
}

bool Holds(std::string_view mount_point, std::string_view path) {
    if (mount_point == "/") return !path.empty() && path[0] == '/';
    return path.starts_with(mount_point) &&
           (path.size() == mount_point.size() || path[mount_point.size()] == '/');
}

}  // namespace

std::string UnescapeMountField(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        // At most \377: a byte.
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::optional<MountEntry> ParseMountInfoLine(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    const std::vector<std::string_view> fields = Fields(line);
    // Six fixed fields, the optional ones, "-", then type, source and options.
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") ++separator;
    if (fields.size() < 6 || separator + 4 > fields.size()) return std::nullopt;
    const auto device = DeviceNumber(fields[2]);
    if (!device || fields[4].empty() || fields[4][0] != '/') return std::nullopt;
    return MountEntry{*device, UnescapeMountField(fields[4]), UnescapeMountField(fields[separator + 1]),
                      UnescapeMountField(fields[separator + 2])};
}

std::vector<MountEntry> ParseMountInfo(std::string_view table) {
    std::vector<MountEntry> entries;
    std::size_t start = 0;
    while (start < table.size()) {
        const std::size_t end = std::min(table.find('\n', start), table.size());
        if (auto entry = ParseMountInfoLine(table.substr(start, end - start))) entries.push_back(std::move(*entry));
        start = end + 1;
    }
    return entries;
}

std::optional<MountEntry> MountHolding(const std::vector<MountEntry>& table, std::uint64_t device,
                                       std::string_view path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& entry : table) {
        if (entry.device != device || !Holds(entry.mount_point, path)) continue;
        if (!best || entry.mount_point.size() >= best->mount_point.size()) best = &entry;
    }
    if (!best) return std::nullopt;
    return *best;
}

}  // namespace verandol
