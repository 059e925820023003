#include "reading/rescue_map.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "ntfs/checked_math.h"

namespace verandol {

RescueMap::RescueMap(std::int64_t size) { Resize(size); }

void RescueMap::Resize(std::int64_t size) {
    size = std::max<std::int64_t>(size, 0);
    if (size > size_) {
        const std::int64_t old = size_;
        size_ = size;
        Set(old, size - old, AreaStatus::NonTried);
        return;
    }
    // Cut: drop the areas that start past the end, shorten the one across it.
    areas_.erase(areas_.lower_bound(size), areas_.end());
    if (!areas_.empty()) areas_.rbegin()->second.end = std::min(areas_.rbegin()->second.end, size);
    size_ = size;
}

void RescueMap::Set(std::int64_t position, std::int64_t length, AreaStatus status) {
    position = std::max<std::int64_t>(position, 0);
    const std::int64_t end = std::min(SaturatingAdd(position, std::max<std::int64_t>(length, 0)), size_);
    if (position >= end) return;
    // Split the areas across both edges so [position, end) is whole areas.
    const auto split = [&](std::int64_t at) {
        auto it = areas_.upper_bound(at);
        if (it == areas_.begin()) return;
        --it;
        if (it->first < at && at < it->second.end) {
            areas_[at] = {it->second.end, it->second.status};
            it->second.end = at;
        }
    };
    split(position);
    split(end);
    areas_.erase(areas_.lower_bound(position), areas_.lower_bound(end));
    auto placed = areas_.emplace(position, Extent{end, status}).first;
    // Merge with neighbours of the same status.
    if (placed != areas_.begin()) {
        auto before = std::prev(placed);
        if (before->second.status == status && before->second.end == position) {
            before->second.end = end;
            areas_.erase(placed);
            placed = before;
        }
    }
    auto after = std::next(placed);
    if (after != areas_.end() && after->second.status == status && after->first == placed->second.end) {
        placed->second.end = after->second.end;
        areas_.erase(after);
    }
}

std::vector<MapArea> RescueMap::Areas() const {
    std::vector<MapArea> out;
    out.reserve(areas_.size());
    for (const auto& [start, extent] : areas_) out.push_back({start, extent.end - start, extent.status});
    return out;
}

MapArea RescueMap::NextWith(AreaStatus status, std::int64_t from) const {
    auto it = areas_.upper_bound(from);
    if (it != areas_.begin()) --it;
    for (; it != areas_.end(); ++it) {
        if (it->second.status != status || it->second.end <= from) continue;
        const std::int64_t start = std::max(it->first, from);
        return {start, it->second.end - start, status};
    }
    return {0, 0, status};
}

AreaStatus RescueMap::StatusAt(std::int64_t position) const {
    auto it = areas_.upper_bound(position);
    if (it == areas_.begin()) return AreaStatus::NonTried;
    --it;
    return position < it->second.end ? it->second.status : AreaStatus::NonTried;
}

std::int64_t RescueMap::BytesWith(AreaStatus status) const {
    std::int64_t bytes = 0;
    for (const auto& [start, extent] : areas_)
        if (extent.status == status) bytes += extent.end - start;
    return bytes;
}

std::int64_t RescueMap::AreasWith(AreaStatus status) const {
    return std::count_if(areas_.begin(), areas_.end(), [&](const auto& area) { return area.second.status == status; });
}

std::vector<UnreadRange> RescueMap::Unfinished() const {
    std::vector<UnreadRange> out;
    for (const auto& [start, extent] : areas_) {
        if (extent.status == AreaStatus::Finished) continue;
        if (!out.empty() && out.back().End() == start)
            out.back().length += extent.end - start;
        else
            out.push_back({start, extent.end - start});
    }
    return out;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        if (at >= line.size() || line[at] == '#') break;  // a comment closes the line
        std::size_t end = at;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
    return fields;
}

// A number as written in a map: "0x" and hexadecimal digits, or decimal
// digits. Empty text says why it is not one.
Outcome<std::int64_t> ParseNumber(std::string_view text) {
    if (text.empty()) return Refusal("a number is missing");
    if (text[0] == '-') return Refusal("negative number " + std::string(text));
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::int64_t value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return Refusal("not a number: " + std::string(text.substr(0, 40)));
        if (MulOverflows(value, base, value) || AddOverflows(value, digit, value))
            return Refusal("number too large: " + std::string(text.substr(0, 40)));
    }
    return value;
}

bool IsAreaStatus(std::string_view field) { return field.size() == 1 && std::string_view("?*/-+").find(field[0]) != std::string_view::npos; }
bool IsCopyStatus(std::string_view field) { return field.size() == 1 && std::string_view("?*/-FG+").find(field[0]) != std::string_view::npos; }

Refusal LineRefusal(std::size_t number, const std::string& why) {
    return Refusal("line " + std::to_string(number) + ": " + why);
}

}  // namespace

Outcome<RescueMap> ParseRescueMap(std::string_view text) {
    if (text.size() > kMaxMapTextBytes) return Refusal("the map is larger than any map of a device could be");
    RescueMap map;
    bool have_current = false;
    std::vector<MapArea> areas;
    std::int64_t end = 0;
    std::size_t number = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t newline = std::min(text.find('\n', at), text.size());
        const std::string_view line = text.substr(at, newline - at);
        at = newline + 1;
        ++number;
        const std::vector<std::string_view> fields = Fields(line);
        if (fields.empty()) continue;
        if (!have_current) {
            if (fields.size() < 2 || fields.size() > 3)
                return LineRefusal(number, "the current position line needs a position, a status and an optional pass");
            const Outcome<std::int64_t> position = ParseNumber(fields[0]);
            if (!position) return LineRefusal(number, position.reason());
            if (!IsCopyStatus(fields[1])) return LineRefusal(number, "unknown status " + std::string(fields[1].substr(0, 8)));
            int pass = 1;
            if (fields.size() == 3) {
                const Outcome<std::int64_t> read_pass = ParseNumber(fields[2]);
                if (!read_pass || *read_pass < 1 || *read_pass > 1000000)
                    return LineRefusal(number, "the pass is not a number from 1 to 1000000");
                pass = static_cast<int>(*read_pass);
            }
            map.current = {*position, fields[1][0], pass};
            have_current = true;
            continue;
        }
        if (fields.size() != 3) return LineRefusal(number, "an area line needs a position, a size and a status");
        const Outcome<std::int64_t> position = ParseNumber(fields[0]);
        if (!position) return LineRefusal(number, position.reason());
        const Outcome<std::int64_t> size = ParseNumber(fields[1]);
        if (!size) return LineRefusal(number, size.reason());
        if (!IsAreaStatus(fields[2])) return LineRefusal(number, "unknown status " + std::string(fields[2].substr(0, 8)));
        std::int64_t area_end = 0;
        if (AddOverflows(*position, *size, area_end)) return LineRefusal(number, "the area ends past the largest position");
        if (*position < end) return LineRefusal(number, "the area overlaps or comes before the one above it");
        if (*size == 0) continue;
        if (areas.size() >= kMaxMapAreas) return LineRefusal(number, "too many areas");
        areas.push_back({*position, *size, static_cast<AreaStatus>(fields[2][0])});
        end = area_end;
    }
    if (!have_current) return Refusal("the map has no current position line");
    map.Resize(end);
    for (const MapArea& area : areas)
        if (area.status != AreaStatus::NonTried) map.Set(area.position, area.size, area.status);
    return map;
}

std::string FormatRescueMap(const RescueMap& map, const std::vector<std::string>& header) {
    std::string text;
    for (const std::string& line : header) text += "# " + line + "\n";
    char line[96];
    text += "# current_pos  current_status  current_pass\n";
    std::snprintf(line, sizeof line, "0x%08" PRIX64 "     %c               %d\n",
                  static_cast<std::uint64_t>(std::max<std::int64_t>(map.current.position, 0)), map.current.status,
                  map.current.pass);
    text += line;
    text += "#      pos        size  status\n";
    for (const MapArea& area : map.Areas()) {
        std::snprintf(line, sizeof line, "0x%08" PRIX64 "  0x%08" PRIX64 "  %c\n", static_cast<std::uint64_t>(area.position),
                      static_cast<std::uint64_t>(area.size), static_cast<char>(area.status));
        text += line;
    }
    return text;
}

}  // namespace verandol
