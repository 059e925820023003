// Where a file record found by reading the whole volume belongs: the volume
// it was written by, which need not be the one the boot sector names now (a
// volume formatted over it, or one that lies elsewhere on the disk).
// Plain values, carried by a row from the scan to its recovery.
#pragma once

#include <cstdint>

#include "ntfs/geometry.h"
#include "ntfs/mft_map.h"

namespace verandol {

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
};

// That MFT as one stretch from its base to the end of a volume of
// `volume_size` bytes, in the coordinates of its own volume (from `origin`
// on): all a pass over the volume knows of it, and enough to find the
// extension records an attribute list names. Empty when the base does not
// lie on a cluster boundary of its volume.
MftMap FoundMftMap(const FoundGeometry& found, std::int64_t volume_size);

}  // namespace verandol
