#include "recover/cluster_reuse_check.h"

namespace verandol {

namespace {

std::string NoteFor(const std::optional<ClusterUse>& use) {
    if (!use || use->in_use == 0) return {};
    return std::to_string(use->in_use) + " of " + std::to_string(use->total) +
           (use->total == 1 ? " cluster is" : " clusters are") + " in use by other files now";
}

}  // namespace

std::string ClusterReuseNote(ByteSource& volume, const std::vector<ByteSpan>& pieces, const VolumeGeometry& geometry,
                             const BitmapExtent& bitmap) {
    ClusterBitmap clusters(volume, geometry.ClusterSize, bitmap);
    return NoteFor(clusters.CountForPieces(pieces));
}

std::string ClusterReuseNote(ByteSource& volume, const std::vector<ByteSpan>& pieces, std::int64_t cluster_size,
                             const BitmapExtent& bitmap, std::int64_t piece_cluster_size, std::int64_t origin) {
    ClusterBitmap clusters(volume, cluster_size, bitmap);
    return NoteFor(clusters.CountForPiecesOf(pieces, piece_cluster_size, origin));
}

RecoverResult WithClusterReuseNote(RecoverResult result, ByteSource& volume, const std::vector<ByteSpan>& pieces,
                                   const VolumeGeometry& geometry, const BitmapExtent* bitmap) {
    if (result.status == RecoverStatus::NotWritten || !bitmap) return result;
    return WithClusterReuseNote(std::move(result), ClusterReuseNote(volume, pieces, geometry, *bitmap));
}

RecoverResult WithClusterReuseNote(RecoverResult result, std::string note) {
    if (result.status == RecoverStatus::NotWritten || note.empty()) return result;
    if (result.status == RecoverStatus::Written) return {RecoverStatus::Incomplete, note};
    result.reason += "; " + note;
    return result;
}

}  // namespace verandol
