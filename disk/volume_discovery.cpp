#include "disk/volume_discovery.h"

#include <cstdio>

#include "disk/content_type.h"
#include "disk/open_volume.h"
#include "disk/unreadable_device.h"
#include "disk/volume_address.h"
#include "disk/volume_label_at.h"
#include "ntfs/boot_sector.h"

namespace verandol {

namespace {

bool AddVolume(ByteSource& volume, const std::string& name, const std::string& source_name, const std::string& address,
               DiscoveryResult& result, const std::string& warning = {}) {
    const std::string label = VolumeLabelAt(volume, address);
    if (ReadFileSystemName(volume, label, result) != "NTFS") return false;
    result.drives.push_back(
        {name, source_name, address, volume.Size(), label, SerialText(ReadBootSector(volume)), warning});
    return true;
}

void AddOther(const OpenedDisk& disk, const DiscoveryCandidate& candidate, DiscoveryResult& result) {
    DiscoveredDrive other;
    other.size = disk.bytes->Size();
    other.name = OtherDriveName(candidate.name, ContentTypeText(ProbeContentType(disk)), other.size);
    other.source_name = candidate.name;
    other.path = candidate.path;
    result.others.push_back(std::move(other));
}

// Start-up lists a device it may not read without asking for it: asking
// would put up one password prompt per device before the window shows.
// One that may hold NTFS is listed with the volumes; any other with what
// holds no NTFS volume, so that a formatted stick can still be searched or
// scanned deep (either asks for the device when it starts).
bool ListedUnread(const DiscoveryCandidate& candidate, const DiscoveryPlaces& places, DiscoveryResult& result) {
    if (candidate.sysfs.empty() || !ReadPermissionDenied(candidate.path)) return false;
    DiscoveredDrive drive;
    drive.source_name = candidate.name;
    drive.path = candidate.path;
    drive.size = SysfsSize(candidate.sysfs);
    drive.unreadable = true;
    if (MayHoldNtfs(candidate.sysfs, candidate.may_hold_partitions, places.udev_data)) {
        drive.name = candidate.name + " (no access)";
        result.drives.push_back(std::move(drive));
    } else {
        drive.name = OtherDriveName(candidate.name,
                                    ContentTypeText(RecordedContentType(candidate.sysfs, places.udev_data)),
                                    drive.size, "no access");
        result.others.push_back(std::move(drive));
    }
    return true;
}

void Consider(const DiscoveryCandidate& candidate, DiscoveryResult& result) {
    Outcome<OpenedDisk> disk = OpenDisk(candidate.path);
    if (!disk) return;  // not openable: left out, the labels untouched
    if (StartsWithNtfs(*disk->bytes) || !candidate.may_hold_partitions) {
        if (!AddVolume(*disk->bytes, candidate.name, candidate.name, candidate.path, result))
            AddOther(*disk, candidate, result);
        return;
    }
    // Not a volume itself: its label texts still describe it, as for any
    // candidate opened.
    ReadFileSystemName(*disk->bytes, {}, result);
    for (NtfsPartition& part : NtfsPartitionsOf(*disk)) {
        const std::string name = candidate.name + " #" + std::to_string(part.entry.number) + " (NTFS, " +
                                 SizeText(part.source->Size()) + (part.cut ? ", cut short" : "") + ")";
        const std::string address = FormatVolumeAddress(candidate.path, part.entry.number);
        AddVolume(*part.source, name, candidate.name, address, result,
                  part.cut ? address + ": the partition runs past the end of its disk and is cut there" : "");
    }
    // The disk as a whole too: its lost volumes are searched for on it.
    AddOther(*disk, candidate, result);
}

}  // namespace

std::string SizeText(std::int64_t bytes) {
    static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1000.0 && unit < 6) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    if (unit == 0 || value >= 10.0) std::snprintf(text, sizeof text, "%.0f %s", value, kUnits[unit]);
    else std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string OtherDriveName(const std::string& name, const std::string& content, std::int64_t size,
                           const std::string& mark) {
    return name + " (" + content + ", " + SizeText(size) + (mark.empty() ? "" : ", " + mark) + ")";
}

std::string FoundDriveName(const std::string& name, std::int64_t offset, std::int64_t size) {
    return name + " @+" + std::to_string(offset) + " (NTFS, " + SizeText(size) + ", found)";
}

DiscoveryResult DiscoverVolumes(const DiscoveryPlaces& places) {
    DiscoveryResult result;
    for (const DiscoveryCandidate& candidate : DiscoveryCandidates(places))
        if (!ListedUnread(candidate, places, result)) Consider(candidate, result);
    return result;
}

DiscoveryResult DiscoverVolumesIn(const std::vector<std::string>& paths) {
    DiscoveryResult result;
    for (const std::string& path : paths) {
        const VolumeAddress parsed = ParseVolumeAddress(path);
        if (parsed.partition == 0 && parsed.offset < 0) {
            Consider({path, path, true, {}}, result);
        } else if (Outcome<OpenedVolume> opened = OpenVolume(path)) {
            AddVolume(*opened->source, path, path, path, result, opened->warning);
        }
    }
    return result;
}

}  // namespace verandol
