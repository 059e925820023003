#include <algorithm>
#include <array>
#include <cstdint>

#include "disk/ewf_image.h"

namespace verandol {

bool IsEwfImage(const std::string& path) {
    // "EVF" segments of EWF version 1 and "EVF2" of version 2.
    static constexpr std::array<std::uint8_t, 8> kEvf1 = {'E', 'V', 'F', 0x09, 0x0D, 0x0A, 0xFF, 0x00};
    static constexpr std::array<std::uint8_t, 8> kEvf2 = {'E', 'V', 'F', '2', 0x0D, 0x0A, 0x81, 0x00};
    auto file = VolumeFile::Open(path);
    if (!file) return false;
    std::array<std::uint8_t, 8> head{};
    if (file->ReadAt(0, head) != head.size()) return false;
    return std::equal(head.begin(), head.end(), kEvf1.begin()) || std::equal(head.begin(), head.end(), kEvf2.begin());
}

}  // namespace verandol
