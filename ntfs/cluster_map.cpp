#include "ntfs/cluster_map.h"

#include <algorithm>
#include <cstring>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

// No volume has more clusters; a longer run is damage, and cutting it keeps
// cluster numbers and most byte lengths within 64 bits.
constexpr std::int64_t kMaxRunClusters = INT64_MAX / 4;

ClusterExtent::Kind KindOf(const Run& run) {
    if (run.sparse) return ClusterExtent::Kind::Hole;
    return run.valid ? ClusterExtent::Kind::Stored : ClusterExtent::Kind::Unreadable;
}

// The volume byte `within` bytes into cluster `vcn` of `e`, which holds it.
std::optional<std::int64_t> PositionIn(const ClusterExtent& e, std::int64_t vcn, std::int64_t within,
                                       std::int64_t cluster_size) {
    std::int64_t cluster, position;
    if (AddOverflows(e.lcn, vcn - e.vcn, cluster) || MulOverflows(cluster, cluster_size, position) ||
        AddOverflows(position, within, position))
        return std::nullopt;
    return position;
}

}  // namespace

ClusterMap ClusterMap::FromRuns(const std::vector<Run>& runs, std::int64_t cluster_size) {
    ClusterMap map(cluster_size);
    map.AddPiece(runs, 0);
    return map;
}

bool ClusterMap::AddPiece(const std::vector<Run>& runs, std::int64_t first_vcn) {
    if (cluster_size_ <= 0 || first_vcn < 0) return false;
    std::int64_t vcn = first_vcn;
    for (const Run& run : runs) {
        if (run.clusters == 0) continue;
        ClusterExtent e;
        e.vcn = vcn;
        e.clusters = static_cast<std::int64_t>(std::min<std::uint64_t>(run.clusters, kMaxRunClusters));
        e.kind = KindOf(run);
        e.lcn = run.lcn;
        if (AddOverflows(vcn, e.clusters, vcn)) break;
        const std::int64_t covered = extents_.empty() ? 0 : extents_.back().vcn + extents_.back().clusters;
        if (vcn <= covered) continue;
        if (e.vcn < covered) {
            const std::int64_t trim = covered - e.vcn;
            e.vcn = covered;
            e.clusters -= trim;
            if (e.kind == ClusterExtent::Kind::Stored && AddOverflows(e.lcn, trim, e.lcn))
                e.kind = ClusterExtent::Kind::Unreadable;
        }
        extents_.push_back(e);
    }
    return true;
}

std::optional<std::int64_t> ClusterMap::Position(const ClusterExtent& e, std::int64_t offset) const {
    if (cluster_size_ <= 0) return std::nullopt;
    return PositionIn(e, offset / cluster_size_, offset % cluster_size_, cluster_size_);
}

std::optional<ClusterMap::Place> ClusterMap::Find(std::int64_t offset, std::size_t& hint) const {
    if (offset < 0 || cluster_size_ <= 0) return std::nullopt;
    const std::int64_t vcn = offset / cluster_size_;
    const std::int64_t within = offset % cluster_size_;
    if (hint >= extents_.size() || vcn < extents_[hint].vcn) hint = 0;
    while (hint < extents_.size() && vcn - extents_[hint].vcn >= extents_[hint].clusters) ++hint;
    if (hint >= extents_.size() || vcn < extents_[hint].vcn) return std::nullopt;
    const ClusterExtent& e = extents_[hint];
    // A damaged run list can give a run whose length in bytes does not fit;
    // callers only need to know it reaches far enough.
    Place place{e.kind, 0, SaturatingMul(e.clusters - (vcn - e.vcn), cluster_size_) - within};
    if (e.kind == ClusterExtent::Kind::Stored) {
        const auto position = PositionIn(e, vcn, within, cluster_size_);
        if (position)
            place.position = *position;
        else
            place.kind = ClusterExtent::Kind::Unreadable;
    }
    return place;
}

std::optional<std::int64_t> ClusterMap::OffsetAt(std::int64_t position) const {
    if (position < 0 || cluster_size_ <= 0) return std::nullopt;
    for (const ClusterExtent& e : extents_) {
        if (e.kind != ClusterExtent::Kind::Stored) continue;
        std::int64_t start;
        if (MulOverflows(e.lcn, cluster_size_, start)) continue;
        const std::int64_t end = SaturatingAdd(start, SaturatingMul(e.clusters, cluster_size_));
        if (position < start || position >= end) continue;
        std::int64_t offset;
        if (MulOverflows(e.vcn, cluster_size_, offset) || AddOverflows(offset, position - start, offset))
            return std::nullopt;
        return offset;
    }
    return std::nullopt;
}

ClusterMap::Gathered ClusterMap::Read(ByteSource& volume, std::int64_t offset, MutableByteSpan out, Holes holes) const {
    using Stop = Gathered::Stop;
    Gathered g;
    std::size_t hint = 0;
    while (g.bytes < out.size()) {
        std::int64_t at;
        const auto place = AddOverflows(offset, g.bytes, at) ? std::nullopt : Find(at, hint);
        if (!place) {
            g.stop = Stop::Unmapped;
            return g;
        }
        const std::size_t left = out.size() - g.bytes;
        const std::size_t piece =
            place->contiguous < static_cast<std::int64_t>(left) ? static_cast<std::size_t>(place->contiguous) : left;
        const MutableByteSpan into = out.subspan(g.bytes, piece);
        switch (place->kind) {
            case ClusterExtent::Kind::Hole:
                if (holes == Holes::Refuse) {
                    g.stop = Stop::Hole;
                    return g;
                }
                std::memset(into.data(), 0, into.size());
                break;
            case ClusterExtent::Kind::Unreadable: g.stop = Stop::Unreadable; return g;
            case ClusterExtent::Kind::Stored:
                if (g.bytes == 0) g.first_position = place->position;
                if (volume.ReadAt(place->position, into) != piece) {
                    g.stop = Stop::Short;
                    return g;
                }
                break;
        }
        g.bytes += piece;
    }
    return g;
}

}  // namespace verandol
