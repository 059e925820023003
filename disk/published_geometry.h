// What a scan learnt about a volume that a later recovery of its rows needs:
// which volume, how its clusters and records are laid out, and where its MFT
// and cluster bitmap lie. Plain values, copied across threads.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ntfs/cluster_bitmap.h"
#include "ntfs/geometry.h"
#include "ntfs/run_list.h"

namespace verandol {

// The geometry a scan derived, with the volume it belongs to: a recovery of
// that scan's rows reads this volume, whatever drive is selected later.
struct PublishedGeometry {
    std::string drive_name;  // as the drive list shows it
    std::string path;        // the volume address that was opened, such as "disk.img@2"
    VolumeGeometry geometry;
    // The MFT's map (record 0's runs); empty until record 0 has been read.
    std::vector<Run> mft_runs;
    // Where the cluster bitmap lies, so a recovery can tell which of a file's
    // clusters other files have taken since; nullopt when it is unreadable.
    std::optional<BitmapExtent> bitmap;
    // The scan listed files still in use too, so a recovery copies them out.
    bool files_in_use = false;
};

}  // namespace verandol
