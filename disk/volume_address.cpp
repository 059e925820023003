#include "disk/volume_address.h"

#include <algorithm>

namespace verandol {

namespace {

// More digits than any partition table numbers its entries: taken as part of
// the file name rather than overflowing.
constexpr std::size_t kMaxPartitionDigits = 6;
// Any byte offset a signed 64-bit position can hold has at most 19 digits.
constexpr std::size_t kMaxOffsetDigits = 19;

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

VolumeAddress ParseVolumeAddress(std::string_view address) {
    const std::size_t at = address.rfind('@');
    if (at == std::string_view::npos || at == 0) return {std::string(address), 0};
    const std::string_view digits = address.substr(at + 1);
    if (digits.size() > 1 && digits[0] == '+') {
        const std::string_view offset_digits = digits.substr(1);
        std::int64_t offset = 0;
        if (!AllDigits(offset_digits) || offset_digits.size() > kMaxOffsetDigits) return {std::string(address), 0};
        for (char c : offset_digits)
            if (__builtin_mul_overflow(offset, 10, &offset) || __builtin_add_overflow(offset, c - '0', &offset))
                return {std::string(address), 0};
        return {std::string(address.substr(0, at)), 0, offset};
    }
    if (!AllDigits(digits) || digits.size() > kMaxPartitionDigits) return {std::string(address), 0};
    int number = 0;
    for (char c : digits) number = number * 10 + (c - '0');
    // "@0" names no partition; it stays in the address so opening it says so.
    if (number == 0) return {std::string(address), 0};
    return {std::string(address.substr(0, at)), number};
}

std::string FormatVolumeAddress(const std::string& path, int partition) {
    return partition == 0 ? path : path + "@" + std::to_string(partition);
}

std::string FormatOffsetAddress(const std::string& path, std::int64_t offset) {
    return path + "@+" + std::to_string(offset);
}

}  // namespace verandol
