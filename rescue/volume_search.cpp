#include "rescue/volume_search.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "disk/offset_view.h"
#include "disk/open_volume.h"
#include "disk/volume_address.h"
#include "rescue/boot_sector_sweep.h"
#include "rescue/mft_extent.h"
#include "rescue/volume_name.h"

namespace verandol {

namespace {

bool SameVolume(const BootCandidate& a, const BootCandidate& b) {
    return a.serial == b.serial && a.total_sectors == b.total_sectors && a.layout.mft_offset == b.layout.mft_offset &&
           a.layout.geometry == b.layout.geometry;
}

// The volume that `boot` describes, beginning at `start`, when its record 0
// or the mirror's copy checks out.
std::optional<FoundVolume> CheckedVolume(const std::shared_ptr<ByteSource>& disk, std::int64_t start,
                                         const BootCandidate& boot, const char* how) {
    const std::int64_t size = boot.backup_offset + boot.layout.geometry.BytesPerSector;
    OffsetView view(disk, start, size);
    if (!ReadMftExtent(view, boot.layout)) return std::nullopt;
    FoundVolume volume;
    volume.offset = start;
    volume.size = size;
    volume.label = ReadVolumeName(view, boot.layout);
    volume.serial = SerialText(boot.bytes);
    volume.how = how;
    volume.geometry = boot.layout.geometry;
    return volume;
}

// Where the partition table, if one is left, says volumes begin.
std::vector<std::int64_t> TableStarts(const std::shared_ptr<ByteSource>& disk) {
    std::vector<std::int64_t> starts;
    const Outcome<PartitionTable> table = PartitionsOf(OpenedDisk{disk, "the searched disk", false});
    if (!table) return starts;
    for (const PartitionEntry& entry : table->partitions)
        if (!entry.extended) starts.push_back(entry.start);
    return starts;
}

// A volume met again inside one already listed, with the same serial, is a
// copy (an image kept in a file, say) rather than a volume of the disk.
bool InsideSameVolume(const std::vector<FoundVolume>& kept, const FoundVolume& volume) {
    return std::any_of(kept.begin(), kept.end(), [&](const FoundVolume& k) {
        return k.serial == volume.serial && volume.offset > k.offset && volume.offset < k.offset + k.size;
    });
}

}  // namespace

Outcome<std::vector<FoundVolume>> SearchVolumes(ByteSource& source, SearchProgress& progress) {
    Outcome<std::vector<BootSighting>> sightings = SweepBootSectors(source, progress);
    if (!sightings) return Refusal(sightings.reason());
    std::vector<bool> used(sightings->size());  // taken as the backup of a primary found earlier
    const std::shared_ptr<ByteSource> disk(&source, [](ByteSource*) {});
    std::map<std::int64_t, std::size_t> at;  // position -> sighting
    for (std::size_t i = 0; i < sightings->size(); ++i) at[(*sightings)[i].position] = i;

    std::vector<FoundVolume> candidates;
    for (std::size_t i = 0; i < sightings->size(); ++i) {
        const BootSighting& s = (*sightings)[i];
        if (used[i]) continue;
        // A primary whose backup lies where its own count says: one volume.
        std::int64_t backup_at = 0;
        const auto partner = __builtin_add_overflow(s.position, s.boot.backup_offset, &backup_at)
                                 ? at.end()
                                 : at.find(backup_at);
        if (partner != at.end() && SameVolume(s.boot, (*sightings)[partner->second].boot)) {
            used[partner->second] = true;
            if (auto volume = CheckedVolume(disk, s.position, s.boot, "boot")) candidates.push_back(*volume);
            continue;
        }
        // Alone: a primary whose backup is gone, or a backup whose primary is.
        if (auto volume = CheckedVolume(disk, s.position, s.boot, "boot")) {
            candidates.push_back(*volume);
        } else if (s.position >= s.boot.backup_offset) {
            if (auto lost = CheckedVolume(disk, s.position - s.boot.backup_offset, s.boot, "backup"))
                candidates.push_back(*lost);
        }
    }

    std::sort(candidates.begin(), candidates.end(),
              [](const FoundVolume& a, const FoundVolume& b) { return a.offset < b.offset; });
    const std::vector<std::int64_t> table = TableStarts(disk);
    std::vector<FoundVolume> kept;
    for (FoundVolume& volume : candidates) {
        if (!kept.empty() && kept.back().offset == volume.offset) continue;
        if (InsideSameVolume(kept, volume)) continue;
        if (std::find(table.begin(), table.end(), volume.offset) != table.end()) volume.how = "table";
        kept.push_back(std::move(volume));
    }
    return kept;
}

std::string FoundVolumeAddress(const std::string& path, std::int64_t offset) {
    return FormatOffsetAddress(path, offset);
}

}  // namespace verandol
