#include "disk/volume_label_at.h"

#include "disk/image_format.h"
#include "disk/probe_copy.h"
#include "disk/unreadable_device.h"
#include "disk/volume_address.h"
#include "ntfs/boot_sector.h"
#include "disk/volume_label.h"

namespace verandol {

namespace {

// The probe looks for the label in MFT record 3 ($Volume); the records up to
// it are copied, plus the boot sector.
constexpr std::int64_t kRecordsCopied = 4;
constexpr std::int64_t kBootArea = 8192;

}  // namespace

std::string VolumeLabelAt(ByteSource& volume, const std::string& address) {
    if (address.empty()) return {};
    const VolumeAddress parsed = ParseVolumeAddress(address);
    // The probing library opens the path itself; a device read on the
    // user's behalf is probed from a copy like a partition.
    if (parsed.partition == 0 && parsed.offset < 0 && DetectImageFormat(parsed.path) == ImageFormat::Raw &&
        !ReadPermissionDenied(parsed.path))
        return GetVolumeLabel(parsed.path);

    const BootSectorBytes boot = ReadBootSector(volume);
    if (!IsNtfs(boot)) return {};
    const Outcome<VolumeLayout> layout = DeriveLayout(boot);
    if (!layout) return {};
    const std::int64_t records = kRecordsCopied * layout->geometry.RecordSize;
    ProbeCopy copy(volume, {{0, kBootArea}, {layout->mft_offset, records}});
    return copy.Path().empty() ? std::string() : GetVolumeLabel(copy.Path());
}

}  // namespace verandol
