// Where a file record found by reading the whole volume belongs: the volume
// it was written by, which need not be the one the boot sector names now (a
// volume formatted over it, or one that lies elsewhere on the disk).
// Plain values, carried by a row from the scan to its recovery.
#pragma once

#include <cstdint>
#include <memory>

#include "ntfs/cluster_bitmap.h"
#include "ntfs/geometry.h"
#include "ntfs/mft_map.h"

namespace verandol {

// The allocation bitmap that judged which of a found file's clusters later
// files took: that of a volume on the scanned device (the present one, or
// one whose boot sector the deep scan met). The recovery of the row judges
// with the same bitmap, so the list and the recovery never disagree.
struct ClusterJudge {
    // Where the bitmap's bytes lie on its volume; null when no bitmap
    // could judge the file's clusters.
    std::shared_ptr<const BitmapExtent> bitmap;
    // Byte of the scanned device where the bitmap's volume begins, and that
    // volume's cluster size.
    std::int64_t volume_offset = 0;
    std::int64_t cluster_size = 0;
    // The file is in use on the bitmap's own volume: the clusters the bitmap
    // marks taken are its own.
    bool owner = false;
};

struct FoundGeometry {
    // The record's volume: cluster and record sizes as that volume had them.
    VolumeGeometry geometry;
    // Byte of the scanned volume where that volume's cluster 0 lies: its
    // run lists count clusters from here.
    std::int64_t origin = 0;
    // Byte of the scanned volume where that volume's MFT record 0 lies (its
    // position minus its number times the record size): where the records
    // its attribute list names are found.
    std::int64_t mft_base = 0;
    // False when nothing placed the record's volume on the device (no boot
    // sector, no record 0 of its MFT, no volume found around it): `origin`
    // is then a guess, and no cluster the record names may be read by it.
    bool placed = false;
    ClusterJudge judge;
};

// That MFT as one stretch from its base to the end of a volume of
// `volume_size` bytes, in the coordinates of its own volume (from `origin`
// on): all a pass over the volume knows of it, and enough to find the
// extension records an attribute list names. Empty when the base does not
// lie on a cluster boundary of its volume.
MftMap FoundMftMap(const FoundGeometry& found, std::int64_t volume_size);

}  // namespace verandol
