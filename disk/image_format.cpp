#include "disk/image_format.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "disk/volume_file.h"

namespace verandol {

namespace {

constexpr std::size_t kHead = 32;

bool StartsWith(const std::array<std::uint8_t, kHead>& head, std::string_view signature) {
    return std::equal(signature.begin(), signature.end(), head.begin(),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

}  // namespace

ImageFormat DetectImageFormat(const std::string& path) {
    auto file = VolumeFile::Open(path);
    if (!file) return ImageFormat::Raw;
    std::array<std::uint8_t, kHead> head{};
    file->ReadAt(0, head);
    using namespace std::string_view_literals;
    if (StartsWith(head, "EVF\x09\x0D\x0A\xFF\x00"sv) || StartsWith(head, "EVF2\x0D\x0A\x81\x00"sv))
        return ImageFormat::Ewf;
    // A dynamic VHD starts with a copy of its footer; a fixed one has it only
    // in its last 512 bytes, after the disk's raw bytes.
    if (StartsWith(head, "vhdxfile"sv) || StartsWith(head, "conectix"sv)) return ImageFormat::Vhd;
    std::array<std::uint8_t, kHead> tail{};
    if (file->Size() >= 512 && file->ReadAt(file->Size() - 512, tail) == tail.size() && StartsWith(tail, "conectix"sv))
        return ImageFormat::Vhd;
    if (StartsWith(head, "KDMV"sv) || StartsWith(head, "# Disk DescriptorFile"sv)) return ImageFormat::Vmdk;
    return ImageFormat::Raw;
}

}  // namespace verandol
