#include "disk/content_type.h"

#include <blkid/blkid.h>

#include <algorithm>
#include <array>
#include <utility>

#include "disk/probe_copy.h"

namespace verandol {

namespace {

// Where the superblocks of the common file systems and both copies of a GPT lie.
constexpr std::int64_t kProbedArea = 1024 * 1024;

ContentType ProbePath(const std::string& path) {
    ContentType type;
    blkid_probe probe = blkid_new_probe_from_filename(path.c_str());
    if (!probe) return type;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE);
    blkid_probe_enable_partitions(probe, 1);
    blkid_probe_set_partitions_flags(probe, BLKID_PARTS_ENTRY_DETAILS);
    if (blkid_do_safeprobe(probe) == 0) {
        const char* value = nullptr;
        if (blkid_probe_lookup_value(probe, "TYPE", &value, nullptr) == 0 && value) type.file_system = value;
        if (blkid_probe_lookup_value(probe, "PTTYPE", &value, nullptr) == 0 && value) type.table = value;
    }
    blkid_free_probe(probe);
    return type;
}

}  // namespace

ContentType ProbeContentType(const OpenedDisk& disk) {
    if (disk.raw) return ProbePath(disk.path);
    const std::int64_t size = disk.bytes->Size();
    ProbeCopy copy(*disk.bytes, {{0, kProbedArea}, {std::max<std::int64_t>(0, size - kProbedArea), kProbedArea}});
    return copy.Path().empty() ? ContentType{} : ProbePath(copy.Path());
}

std::string ContentTypeText(const ContentType& type) {
    // The library's names are terse; these are the ones people know.
    static constexpr std::array<std::pair<const char*, const char*>, 10> kKnown = {{
        {"vfat", "FAT"},
        {"exfat", "exFAT"},
        {"ntfs", "NTFS"},
        {"hfsplus", "HFS+"},
        {"apfs", "APFS"},
        {"swap", "swap"},
        {"crypto_LUKS", "LUKS"},
        {"LVM2_member", "LVM"},
        {"linux_raid_member", "RAID"},
        {"iso9660", "ISO 9660"},
    }};
    static constexpr std::array<std::pair<const char*, const char*>, 2> kTables = {{{"gpt", "GPT"}, {"dos", "MBR"}}};
    if (!type.file_system.empty()) {
        for (const auto& [name, text] : kKnown)
            if (type.file_system == name) return text;
        return type.file_system;
    }
    if (!type.table.empty()) {
        for (const auto& [name, text] : kTables)
            if (type.table == name) return text;
        return type.table;
    }
    return "no file system";
}

}  // namespace verandol
