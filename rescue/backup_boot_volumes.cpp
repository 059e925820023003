#include "rescue/backup_boot_volumes.h"

#include <optional>
#include <utility>

#include "disk/open_volume.h"
#include "disk/volume_address.h"
#include "rescue/boot_choice.h"
#include "rescue/volume_name.h"

namespace verandol {

namespace {

// The volume `other` holds by its backup boot sector, if any. A whole disk
// whose first sector is gone is its own volume when its last sector is
// the backup of a boot sector that counts the disk's sectors.
std::optional<DiscoveredDrive> VolumeByBackup(const DiscoveredDrive& other) {
    const VolumeAddress address = ParseVolumeAddress(other.path);
    if (other.unreadable || address.partition != 0 || address.offset >= 0) return std::nullopt;
    Outcome<OpenedVolume> opened = OpenVolume(other.path);
    if (!opened) return std::nullopt;
    ByteSource& volume = *opened->source;
    const ChosenBoot chosen = ChooseBootSector(volume);
    if (chosen.note.empty() || !IsNtfs(chosen.bytes)) return std::nullopt;
    const Outcome<VolumeLayout> layout = DeriveLayout(chosen.bytes);
    if (!layout) return std::nullopt;
    DiscoveredDrive drive;
    drive.name = other.source_name;
    drive.source_name = other.source_name;
    drive.path = opened->address;
    drive.size = volume.Size();
    drive.label = ReadVolumeName(volume, *layout);
    drive.serial = SerialText(chosen.bytes);
    drive.warning = opened->address;
    drive.warning.append(": ").append(chosen.note);
    return drive;
}

}  // namespace

DiscoveryResult WithBackupBootVolumes(DiscoveryResult found) {
    std::vector<DiscoveredDrive> others;
    for (DiscoveredDrive& other : found.others) {
        if (std::optional<DiscoveredDrive> volume = VolumeByBackup(other)) found.drives.push_back(std::move(*volume));
        else others.push_back(std::move(other));
    }
    found.others = std::move(others);
    return found;
}

}  // namespace verandol
