// How far the MFT reaches and where its pieces lie, from record 0, or from
// the copy in $MFTMirr when record 0 itself is damaged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ntfs/boot_sector.h"
#include "ntfs/byte_source.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/outcome.h"
#include "ntfs/run_list.h"

namespace verandol {

struct MftExtent {
    std::int64_t bytes = 0;
    std::int64_t record_count = 0;
    std::vector<Run> runs;
    // Says record 0 came from the mirror; empty when it came from the MFT.
    std::string note;
    // Which records are in use (record 0's $BITMAP); nullopt when it
    // cannot be had.
    std::optional<BitmapExtent> record_bitmap;
};

// Refused, with record 0's own fault, when neither copy describes the MFT.
Outcome<MftExtent> ReadMftExtent(ByteSource& volume, const VolumeLayout& layout);

}  // namespace verandol
