#include "recover/cluster_reuse_check.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "disk/offset_view.h"
#include "ntfs/attributes.h"

namespace verandol {

namespace {

std::string NoteFor(const std::optional<ClusterUse>& use) {
    if (!use || use->in_use == 0) return {};
    return std::to_string(use->in_use) + " of " + std::to_string(use->total) +
           (use->total == 1 ? " cluster is" : " clusters are") + " in use by other files now";
}

bool HasClusters(const std::vector<ByteSpan>& pieces) {
    return std::any_of(pieces.begin(), pieces.end(), [](ByteSpan piece) { return IsNonResident(piece); });
}

// A written result judged by what a bitmap said of the file's clusters
// (nullopt: nothing could say).
RecoverResult Judged(RecoverResult result, const std::optional<ClusterUse>& use) {
    if (!use) {
        const std::string unchecked = "its clusters could not be checked against an allocation bitmap";
        if (result.status == RecoverStatus::Incomplete) return {result.status, result.reason + "; " + unchecked};
        return {RecoverStatus::Unchecked, unchecked};
    }
    return WithClusterReuseNote(std::move(result), NoteFor(use));
}

}  // namespace

std::string ClusterReuseNote(ByteSource& volume, const std::vector<ByteSpan>& pieces, const VolumeGeometry& geometry,
                             const BitmapExtent& bitmap) {
    ClusterBitmap clusters(volume, geometry.ClusterSize, bitmap);
    return NoteFor(clusters.CountForPieces(pieces));
}

RecoverResult WithClusterReuseNote(RecoverResult result, ByteSource& volume, const std::vector<ByteSpan>& pieces,
                                   const VolumeGeometry& geometry, const BitmapExtent* bitmap) {
    if (result.status == RecoverStatus::NotWritten || !bitmap) return result;
    return WithClusterReuseNote(std::move(result), ClusterReuseNote(volume, pieces, geometry, *bitmap));
}

RecoverResult WithFoundClusterJudgement(RecoverResult result, ByteSource& device, const std::vector<ByteSpan>& pieces,
                                        const FoundGeometry& found) {
    const ClusterJudge& judge = found.judge;
    if (result.status == RecoverStatus::NotWritten || judge.owner || !HasClusters(pieces)) return result;
    std::optional<ClusterUse> use;
    if (judge.bitmap && judge.cluster_size > 0 && judge.volume_offset >= 0 && judge.volume_offset < device.Size() &&
        found.origin >= judge.volume_offset) {
        // The bitmap's own volume, seen from its cluster 0.
        std::shared_ptr<ByteSource> shared(&device, [](ByteSource*) {});
        OffsetView volume(shared, judge.volume_offset, device.Size() - judge.volume_offset);
        ClusterBitmap bitmap(volume, judge.cluster_size, *judge.bitmap);
        use = bitmap.CountForPiecesOf(pieces, found.geometry.ClusterSize, found.origin - judge.volume_offset);
    }
    return Judged(std::move(result), use);
}

RecoverResult WithRequiredClusterJudgement(RecoverResult result, ByteSource& volume,
                                           const std::vector<ByteSpan>& pieces, const VolumeGeometry& geometry,
                                           const BitmapExtent* bitmap) {
    if (result.status == RecoverStatus::NotWritten || !HasClusters(pieces)) return result;
    std::optional<ClusterUse> use;
    if (bitmap) use = ClusterBitmap(volume, geometry.ClusterSize, *bitmap).CountForPieces(pieces);
    return Judged(std::move(result), use);
}

RecoverResult WithClusterReuseNote(RecoverResult result, std::string note) {
    if (result.status == RecoverStatus::NotWritten || note.empty()) return result;
    if (result.status == RecoverStatus::Written || result.status == RecoverStatus::Unchecked)
        return {RecoverStatus::Incomplete, note};
    result.reason += "; " + note;
    return result;
}

}  // namespace verandol
