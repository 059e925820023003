#include "recover/cluster_reuse_check.h"

namespace verandol {

std::string ClusterReuseNote(ByteSource& volume, const std::vector<ByteSpan>& pieces, const VolumeGeometry& geometry,
                             const BitmapExtent& bitmap) {
    ClusterBitmap clusters(volume, geometry.ClusterSize, bitmap);
    const auto use = clusters.CountForPieces(pieces);
    if (!use || use->in_use == 0) return {};
    return std::to_string(use->in_use) + " of " + std::to_string(use->total) +
           (use->total == 1 ? " cluster is" : " clusters are") + " in use by other files now";
}

RecoverResult WithClusterReuseNote(RecoverResult result, ByteSource& volume, const std::vector<ByteSpan>& pieces,
                                   const VolumeGeometry& geometry, const BitmapExtent* bitmap) {
    if (result.status == RecoverStatus::NotWritten || !bitmap) return result;
    const std::string note = ClusterReuseNote(volume, pieces, geometry, *bitmap);
    if (note.empty()) return result;
    if (result.status == RecoverStatus::Written) return {RecoverStatus::Incomplete, note};
    result.reason += "; " + note;
    return result;
}

}  // namespace verandol
