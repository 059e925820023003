#include "disk/sysfs_number.h"

#include <charconv>
#include <fstream>

namespace verandol {

std::optional<std::uint64_t> SysfsNumber(const std::string& file) {
    std::ifstream in(file);
    std::string text;
    if (!(in >> text)) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace verandol
