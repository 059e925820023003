#include "tests/failing_device/bad_ranges.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>

namespace verandol::testing {

namespace {

constexpr std::uint64_t kSector = 512;
constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;

std::optional<std::uint64_t> ParseCount(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

}  // namespace

std::optional<ByteRange> ParseByteRange(std::string_view text) {
    const auto plus = text.find('+');
    if (plus == std::string_view::npos) return std::nullopt;
    const auto start = ParseCount(text.substr(0, plus));
    const auto length = ParseCount(text.substr(plus + 1));
    if (!start || !length || *length == 0 || *start >= kLimit || *length > kLimit - *start) return std::nullopt;
    return ByteRange{*start, *length};
}

std::optional<double> ParseSeconds(std::string_view text) {
    // strtod alone would take " 1", "inf", "0x10" and "1e3".
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos ||
        std::count(text.begin(), text.end(), '.') > 1 || text == ".")
        return std::nullopt;
    const double seconds = std::strtod(std::string(text).c_str(), nullptr);
    if (seconds > 3600) return std::nullopt;
    return seconds;
}

std::vector<std::uint64_t> SectorsOf(const std::vector<ByteRange>& ranges) {
    std::vector<std::uint64_t> sectors;
    for (const ByteRange& range : ranges)
        for (std::uint64_t s = range.start / kSector; s * kSector < range.end(); ++s) sectors.push_back(s);
    std::sort(sectors.begin(), sectors.end());
    sectors.erase(std::unique(sectors.begin(), sectors.end()), sectors.end());
    return sectors;
}

}  // namespace verandol::testing
