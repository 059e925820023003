// Finds NTFS volumes on a disk whose partition table is gone or wrong, by
// reading it end to end and looking for boot sectors and their backups.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/byte_source.h"
#include "ntfs/geometry.h"
#include "ntfs/outcome.h"

namespace verandol {

struct FoundVolume {
    std::int64_t offset = 0;  // byte position of the volume's first sector on the searched device
    std::int64_t size = 0;    // bytes, the backup boot sector's sector included
    std::string label;
    std::string serial;
    std::string how;  // "table", "boot", "backup"
    VolumeGeometry geometry;
};

// Told how far the search has read; asked whether to give up.
struct SearchProgress {
    virtual ~SearchProgress() = default;
    virtual void Advance(std::int64_t bytes_done, std::int64_t bytes_total) = 0;
    virtual bool StopRequested() = 0;
};

// Reads `source` from start to end and lists the volumes whose MFT record 0
// (or its mirror) checks out, in the order of their offsets.
Outcome<std::vector<FoundVolume>> SearchVolumes(ByteSource& source, SearchProgress& progress);

// The address of the volume found at byte `offset` of `path`: "PATH@+N".
std::string FoundVolumeAddress(const std::string& path, std::int64_t offset);

}  // namespace verandol
