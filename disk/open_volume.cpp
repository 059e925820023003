#include "disk/open_volume.h"

#include <algorithm>

#include "disk/ewf_image.h"
#include "disk/volume_file.h"
#include "disk/extended_chain.h"
#include "disk/image_format.h"
#include "disk/offset_view.h"
#include "disk/probe_copy.h"
#include "disk/virtual_disk_image.h"
#include "disk/volume_address.h"
#include "ntfs/boot_sector.h"
#include "reading/careful_source.h"
#include "reading/image_maps.h"
#include "reading/mapped_image.h"
#include "reading/rescue_map_file.h"

namespace verandol {

namespace {

// What the library reads of a disk to find its tables: the MBR and a GPT's
// header and entries at the start, the GPT's backup at the end, and the
// extended records of an MBR disk wherever they lie.
constexpr std::int64_t kTableArea = 1024 * 1024;

std::vector<ByteRange> TableRanges(ByteSource& bytes) {
    std::vector<ByteRange> ranges{{0, kTableArea}, {std::max<std::int64_t>(0, bytes.Size() - kTableArea), kTableArea}};
    for (std::int64_t position : ExtendedRecordPositions(bytes)) ranges.push_back({position, 512});
    return ranges;
}

std::string NumbersText(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string CutWarning(const OpenedDisk& disk, const PartitionEntry& entry) {
    return "partition #" + std::to_string(entry.number) + " of " + disk.path +
           " runs past the end of the disk; it is read up to the end";
}

Outcome<OpenedVolume> OpenPartition(const OpenedDisk& disk, int number, const std::string& address) {
    Outcome<PartitionTable> table = PartitionsOf(disk);
    if (!table) return Refusal(table.reason());
    auto found = std::find_if(table->partitions.begin(), table->partitions.end(),
                              [&](const PartitionEntry& p) { return p.number == number; });
    if (found == table->partitions.end()) {
        std::vector<std::string> numbers;
        for (const PartitionEntry& p : table->partitions) numbers.push_back(std::string("#").append(std::to_string(p.number)));
        return Refusal(disk.path + " has no partition #" + std::to_string(number) +
                       (numbers.empty() ? std::string() : " (it has " + NumbersText(numbers) + ")"));
    }
    if (found->extended)
        return Refusal("partition #" + std::to_string(number) + " of " + disk.path +
                       " is an extended partition, which holds other partitions rather than a volume");
    auto view = std::make_unique<OffsetView>(disk.bytes, found->start, found->length);
    OpenedVolume opened{nullptr, address, view->Cut() ? CutWarning(disk, *found) : std::string()};
    opened.source = std::move(view);
    return opened;
}

// The volume at a byte offset reaches as far as its boot sector counts, plus
// the backup's sector; with no usable boot sector there, to the disk's end.
Outcome<OpenedVolume> OpenAtOffset(const OpenedDisk& disk, std::int64_t offset, const std::string& address) {
    const std::int64_t disk_size = disk.bytes->Size();
    if (offset >= disk_size)
        return Refusal(disk.path + " holds " + std::to_string(disk_size) + " bytes; no volume begins at byte " +
                       std::to_string(offset));
    std::int64_t length = disk_size - offset;
    OffsetView whole(disk.bytes, offset, length);
    const BootSectorBytes boot = ReadBootSector(whole);
    const std::int64_t total_sectors = *read_sle64(boot, layout::boot::kTotalSectors);
    const std::int64_t sector = *read_le16(boot, layout::boot::kBytesPerSector);
    std::int64_t counted = 0;
    if (IsNtfs(boot) && DeriveLayout(boot) && total_sectors > 0 &&
        !__builtin_mul_overflow(total_sectors, sector, &counted) && counted < length - sector)
        length = counted + sector;
    return OpenedVolume{std::make_unique<OffsetView>(disk.bytes, offset, length), address, {}};
}

}  // namespace

namespace {

// Every pass reads the disk through the reading layer, with the run's map
// of the device's bad sectors. An image read with a copier's map has the
// areas the copier could not read marked bad before anything reads it, so
// they are reported unread and never taken for data.
Outcome<std::shared_ptr<ByteSource>> ReadCarefully(std::unique_ptr<ByteSource> device, const std::string& path) {
    const std::string map_path = MapOfImage(path);
    const std::string key = path + "\n" + std::to_string(device->Size()) + "\n" + map_path;
    std::shared_ptr<BadSectorMap> bad = BadSectorMapOf(key);
    if (!map_path.empty()) {
        Outcome<RescueMap> map = LoadRescueMap(map_path);
        if (!map) return Refusal(map.reason());
        map->Resize(device->Size());
        std::vector<UnreadRange> unfinished = map->Unfinished();
        for (const UnreadRange& stretch : unfinished) bad->MarkBad(stretch);
        device = std::make_unique<MappedImage>(std::move(device), std::move(unfinished));
    }
    return std::shared_ptr<ByteSource>(std::make_shared<CarefulSource>(std::move(device), bad));
}

}  // namespace

Outcome<OpenedDisk> OpenDisk(const std::string& path) {
    const ImageFormat format = DetectImageFormat(path);
    if (format != ImageFormat::Raw) {
        auto image = format == ImageFormat::Ewf   ? OpenEwfImage(path)
                     : format == ImageFormat::Vhd ? OpenVhdImage(path)
                                                  : OpenVmdkImage(path);
        if (!image) return Refusal(image.reason());
        auto bytes = ReadCarefully(std::move(*image), path);
        if (!bytes) return Refusal(bytes.reason());
        return OpenedDisk{std::move(*bytes), path, false};
    }
    auto file = VolumeFile::TryOpen(path);
    if (!file) return Refusal(file.reason());
    // A device read through a descriptor opened on the user's behalf cannot
    // be reopened by path, so its table is probed from a copy; so is an
    // image read with a map, whose unread areas the probe must not see.
    const bool raw = !(*file)->OpenedOnBehalf() && MapOfImage(path).empty();
    auto bytes = ReadCarefully(std::move(*file), path);
    if (!bytes) return Refusal(bytes.reason());
    return OpenedDisk{std::move(*bytes), path, raw};
}

Outcome<PartitionTable> PartitionsOf(const OpenedDisk& disk) {
    if (disk.raw) return ReadPartitionTable(disk.path);
    ProbeCopy copy(*disk.bytes, TableRanges(*disk.bytes));
    if (copy.Path().empty()) return Refusal("cannot look for the partition table of " + disk.path);
    Outcome<PartitionTable> table = ReadPartitionTable(copy.Path());
    if (!table) return Refusal(disk.path + " holds no partition table");
    return table;
}

bool StartsWithNtfs(ByteSource& bytes) { return IsNtfs(ReadBootSector(bytes)); }

std::vector<NtfsPartition> NtfsPartitionsOf(const OpenedDisk& disk) {
    std::vector<NtfsPartition> found;
    Outcome<PartitionTable> table = PartitionsOf(disk);
    if (!table) return found;
    for (const PartitionEntry& entry : table->partitions) {
        if (entry.extended) continue;
        auto view = std::make_unique<OffsetView>(disk.bytes, entry.start, entry.length);
        if (!StartsWithNtfs(*view)) continue;
        const bool cut = view->Cut();
        found.push_back({entry, std::move(view), cut});
    }
    return found;
}

Outcome<OpenedVolume> OpenVolume(const std::string& address) {
    const VolumeAddress parsed = ParseVolumeAddress(address);
    Outcome<OpenedDisk> disk = OpenDisk(parsed.path);
    if (!disk) return Refusal(disk.reason());
    if (parsed.partition != 0) return OpenPartition(*disk, parsed.partition, address);
    if (parsed.offset >= 0) return OpenAtOffset(*disk, parsed.offset, address);
    if (StartsWithNtfs(*disk->bytes))
        return OpenedVolume{std::make_unique<OffsetView>(disk->bytes, 0, disk->bytes->Size()), address, {}};

    std::vector<NtfsPartition> ntfs = NtfsPartitionsOf(*disk);
    if (ntfs.size() == 1) {
        NtfsPartition& only = ntfs.front();
        return OpenedVolume{std::move(only.source), FormatVolumeAddress(parsed.path, only.entry.number),
                            only.cut ? CutWarning(*disk, only.entry) : std::string()};
    }
    if (ntfs.size() > 1) {
        std::vector<std::string> addresses;
        for (const NtfsPartition& p : ntfs) addresses.push_back(FormatVolumeAddress(parsed.path, p.entry.number));
        return Refusal(parsed.path + " holds " + std::to_string(ntfs.size()) +
                       " NTFS volumes; name one of them: " + NumbersText(addresses));
    }
    // No NTFS partition: the scan says what the start of the disk is not.
    return OpenedVolume{std::make_unique<OffsetView>(disk->bytes, 0, disk->bytes->Size()), address, {}};
}

}  // namespace verandol
