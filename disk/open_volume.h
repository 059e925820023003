// The one way onto a volume: every scan, recovery and listing opens its
// volume address here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "disk/partition_table.h"
#include "ntfs/outcome.h"
#include "ntfs/byte_source.h"

namespace verandol {

// A disk or image opened read-only as the bytes it holds: a raw file or
// block device, or the disk inside an EWF, VHD(X) or VMDK image.
struct OpenedDisk {
    std::shared_ptr<ByteSource> bytes;
    std::string path;
    bool raw = true;  // `path` itself holds the bytes, so the probing library can read it
};
Outcome<OpenedDisk> OpenDisk(const std::string& path);

// The partitions of an opened disk; refused when it has no table.
Outcome<PartitionTable> PartitionsOf(const OpenedDisk& disk);

// True when the bytes start with an NTFS boot sector.
bool StartsWithNtfs(ByteSource& bytes);

struct OpenedVolume {
    std::unique_ptr<ByteSource> source;
    // The address actually opened: "disk.img@2" when "disk.img" was asked
    // for and its one NTFS volume is partition 2.
    std::string address;
    // Set when the partition table claims more than the disk holds; the
    // volume is read up to the disk's end.
    std::string warning;
};

// Opens a volume address ("/dev/sdb1", "disk.img", "disk.img@2", "case.E01@1")
// read-only. A disk named without a partition number is its own volume when
// it starts with an NTFS boot sector; otherwise its one NTFS partition is
// taken, and a disk with several is refused with their addresses.
Outcome<OpenedVolume> OpenVolume(const std::string& address);

// The NTFS partitions of a disk, opened: what discovery and listing show.
struct NtfsPartition {
    PartitionEntry entry;
    std::unique_ptr<ByteSource> source;
    bool cut = false;
};
std::vector<NtfsPartition> NtfsPartitionsOf(const OpenedDisk& disk);

}  // namespace verandol
