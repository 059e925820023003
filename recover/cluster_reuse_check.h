// A recovered file whose clusters other files have taken since it was
// deleted holds their data, not its own: such a file is still written (what
// is left may help), but never reported as recovered in full.
#pragma once

#include <string>
#include <vector>

#include "disk/found_geometry.h"
#include "ntfs/byte_reader.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/geometry.h"
#include "ntfs/byte_source.h"
#include "recover/recover_file.h"

namespace verandol {

// "12 of 50 clusters are in use by other files now", or empty when none is
// (or the bitmap cannot tell). `pieces` are the file's $DATA pieces in
// ascending first cluster (one, unless it has an attribute list).
std::string ClusterReuseNote(ByteSource& volume, const std::vector<ByteSpan>& pieces, const VolumeGeometry& geometry,
                             const BitmapExtent& bitmap);


// A written result turned Incomplete when the note is not empty; an
// Incomplete one gets the note after its own reason.
RecoverResult WithClusterReuseNote(RecoverResult result, ByteSource& volume, const std::vector<ByteSpan>& pieces,
                                   const VolumeGeometry& geometry, const BitmapExtent* bitmap);
RecoverResult WithClusterReuseNote(RecoverResult result, std::string note);

// The same for a file of the walked volume whose clusters must be judged:
// Unchecked when `bitmap` is null or cannot answer for them.
RecoverResult WithRequiredClusterJudgement(RecoverResult result, ByteSource& volume,
                                           const std::vector<ByteSpan>& pieces, const VolumeGeometry& geometry,
                                           const BitmapExtent* bitmap);

// The written result of a file the deep scan found on `device`, judged by
// the bitmap its row carries (found.judge): Incomplete when later files
// took some of its clusters, Unchecked when no bitmap can say, as it was
// when a file in use on the bitmap's own volume, or one without clusters.
RecoverResult WithFoundClusterJudgement(RecoverResult result, ByteSource& device, const std::vector<ByteSpan>& pieces,
                                        const FoundGeometry& found);

}  // namespace verandol
