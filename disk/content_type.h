// What a disk or partition that holds no NTFS volume holds instead, in the
// words the drive list shows: "exFAT", "GPT", "no file system".
#pragma once

#include <string>

#include "disk/open_volume.h"

namespace verandol {

// The probing library's file-system type ("exfat", "vfat") when it found
// one, else its partition-table type ("gpt", "dos"), else empty.
struct ContentType {
    std::string file_system;
    std::string table;
};

// Probes the opened disk: the bytes themselves for a raw one, a copy of its
// first and last MiB for one inside an image.
ContentType ProbeContentType(const OpenedDisk& disk);

// "exFAT", "FAT", "ext4", "GPT", "MBR", or "no file system".
std::string ContentTypeText(const ContentType& type);

}  // namespace verandol
