#include "ntfs/mft_map.h"

#include <algorithm>

namespace verandol {

MftMap::MftMap(const std::vector<Run>& runs, std::int64_t cluster_size, std::int64_t record_size)
    : cluster_size_(cluster_size), record_size_(record_size) {
    if (cluster_size <= 0 || record_size <= 0) return;
    std::int64_t vcn = 0;
    for (const Run& run : runs) {
        if (run.clusters == 0) continue;
        const std::int64_t clusters = static_cast<std::int64_t>(std::min<std::uint64_t>(run.clusters, INT64_MAX / 2));
        extents_.push_back({vcn, clusters, run.lcn, run.valid && !run.sparse});
        if (__builtin_add_overflow(vcn, clusters, &vcn)) break;
    }
}

std::optional<std::pair<std::int64_t, std::int64_t>> MftMap::Locate(std::int64_t offset, std::size_t& hint) const {
    if (offset < 0 || cluster_size_ <= 0) return std::nullopt;
    const std::int64_t vcn = offset / cluster_size_;
    if (hint >= extents_.size() || vcn < extents_[hint].first_vcn) hint = 0;
    while (hint < extents_.size() && vcn - extents_[hint].first_vcn >= extents_[hint].clusters) ++hint;
    if (hint >= extents_.size()) return std::nullopt;
    const Extent& e = extents_[hint];
    if (!e.readable) return std::nullopt;
    std::int64_t cluster, position;
    if (__builtin_add_overflow(e.lcn, vcn - e.first_vcn, &cluster) ||
        __builtin_mul_overflow(cluster, cluster_size_, &position) ||
        __builtin_add_overflow(position, offset % cluster_size_, &position))
        return std::nullopt;
    // A damaged run list can give a run of up to 2^62 clusters, whose length
    // in bytes does not fit; callers only need to know it reaches far enough.
    std::int64_t extent_left;
    if (__builtin_mul_overflow(e.clusters - (vcn - e.first_vcn), cluster_size_, &extent_left))
        extent_left = INT64_MAX;
    return std::pair{position, extent_left - offset % cluster_size_};
}

std::optional<std::int64_t> MftMap::IndexAt(std::int64_t position) const {
    if (position < 0 || record_size_ <= 0) return std::nullopt;
    for (const Extent& e : extents_) {
        if (!e.readable) continue;
        std::int64_t start, bytes, end;
        if (__builtin_mul_overflow(e.lcn, cluster_size_, &start)) continue;
        if (__builtin_mul_overflow(e.clusters, cluster_size_, &bytes) || __builtin_add_overflow(start, bytes, &end))
            end = INT64_MAX;
        if (position < start || position >= end) continue;
        std::int64_t offset;
        if (__builtin_mul_overflow(e.first_vcn, cluster_size_, &offset) ||
            __builtin_add_overflow(offset, position - start, &offset))
            return std::nullopt;
        if (offset % record_size_ != 0) return std::nullopt;
        return offset / record_size_;
    }
    return std::nullopt;
}

std::optional<std::int64_t> MftMap::ReadRecord(ByteSource& volume, std::int64_t index, MutableByteSpan out) const {
    std::int64_t offset;
    if (index < 0 || __builtin_mul_overflow(index, record_size_, &offset)) return std::nullopt;
    std::optional<std::int64_t> first_position;
    std::size_t hint = 0;
    std::size_t done = 0;
    while (done < out.size()) {
        auto place = Locate(offset + static_cast<std::int64_t>(done), hint);
        if (!place) return std::nullopt;
        const auto [position, extent_left] = *place;
        if (!first_position) first_position = position;
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::int64_t>(extent_left, static_cast<std::int64_t>(out.size() - done)));
        if (volume.ReadAt(position, out.subspan(done, piece)) != piece) return std::nullopt;
        done += piece;
    }
    return first_position;
}

}  // namespace verandol
