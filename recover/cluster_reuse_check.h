// A recovered file whose clusters other files have taken since it was
// deleted holds their data, not its own: such a file is still written (what
// is left may help), but never reported as recovered in full.
#pragma once

#include <string>
#include <vector>

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

// The same for a file of another volume that lay over this one: its runs
// count clusters of `piece_cluster_size` from byte `origin`, and the bitmap
// of this volume (clusters of `cluster_size`) judges the bytes they name.
std::string ClusterReuseNote(ByteSource& volume, const std::vector<ByteSpan>& pieces, std::int64_t cluster_size,
                             const BitmapExtent& bitmap, std::int64_t piece_cluster_size, std::int64_t origin);

// A written result turned Incomplete when the note is not empty; an
// Incomplete one gets the note after its own reason.
RecoverResult WithClusterReuseNote(RecoverResult result, ByteSource& volume, const std::vector<ByteSpan>& pieces,
                                   const VolumeGeometry& geometry, const BitmapExtent* bitmap);
RecoverResult WithClusterReuseNote(RecoverResult result, std::string note);

}  // namespace verandol
