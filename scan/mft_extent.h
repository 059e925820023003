// How far the MFT reaches and where its pieces lie, from record 0.
#pragma once

#include <cstdint>
#include <optional>
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
    // Which records are in use (record 0's $BITMAP); nullopt when it
    // cannot be had.
    std::optional<BitmapExtent> record_bitmap;
};

// Reads and checks MFT record 0 at the layout's MFT position; refused when
// it is unreadable, damaged, or gives no usable extent.
Outcome<MftExtent> ReadMftExtent(ByteSource& volume, const VolumeLayout& layout);

}  // namespace verandol
