#include "scan/mft_record_reader.h"

#include <algorithm>
#include <cstring>

namespace verandol {

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;

std::int64_t SaturatingMultiply(std::int64_t a, std::int64_t b) {
    std::int64_t product;
    return __builtin_mul_overflow(a, b, &product) ? INT64_MAX : product;
}

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum;
    return __builtin_add_overflow(a, b, &sum) ? INT64_MAX : sum;
}

}  // namespace

MftRecordReader::MftRecordReader(ByteSource& volume, const VolumeGeometry& geometry, const std::vector<Run>& runs)
    : volume_(volume), cluster_size_(geometry.ClusterSize), record_size_(geometry.RecordSize) {
    std::int64_t vcn = 0;
    for (const Run& run : runs) {
        if (run.clusters == 0) continue;
        const std::int64_t clusters = static_cast<std::int64_t>(std::min<std::uint64_t>(run.clusters, INT64_MAX / 2));
        extents_.push_back({vcn, clusters, run.lcn, run.valid && !run.sparse});
        if (__builtin_add_overflow(vcn, clusters, &vcn)) break;
    }
    const std::int64_t volume_size = volume.Size();
    for (const Extent& e : extents_) {
        if (!e.readable) continue;
        const std::int64_t start = SaturatingMultiply(e.lcn, cluster_size_);
        if (volume_size > 0 && start >= volume_size) continue;
        std::int64_t bytes = SaturatingMultiply(e.clusters, cluster_size_);
        if (volume_size > 0) bytes = std::min(bytes, volume_size - start);
        const std::int64_t end = SaturatingAdd(SaturatingMultiply(e.first_vcn, cluster_size_), bytes);
        readable_limit_ = std::max(readable_limit_, end / record_size_ + (end % record_size_ != 0));
    }
    cache_.resize(kChunkBytes);
}

std::optional<std::pair<std::int64_t, std::int64_t>> MftRecordReader::Locate(std::int64_t offset) {
    const std::int64_t vcn = offset / cluster_size_;
    // Records are read in ascending order, so the extent is almost always the
    // one used last or the next.
    if (hint_ >= extents_.size() || vcn < extents_[hint_].first_vcn) hint_ = 0;
    while (hint_ < extents_.size() && vcn - extents_[hint_].first_vcn >= extents_[hint_].clusters) ++hint_;
    if (hint_ >= extents_.size()) return std::nullopt;
    const Extent& e = extents_[hint_];
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

bool MftRecordReader::ReadPiece(std::int64_t position, std::int64_t extent_left, MutableByteSpan out) {
    const auto in_cache = [&] {
        return position >= cache_position_ &&
               static_cast<std::uint64_t>(position - cache_position_) + out.size() <= cache_length_;
    };
    if (!in_cache()) {
        const std::size_t want = static_cast<std::size_t>(
            std::max<std::int64_t>(static_cast<std::int64_t>(out.size()),
                                   std::min<std::int64_t>(extent_left, static_cast<std::int64_t>(kChunkBytes))));
        if (want > cache_.size()) cache_.resize(want);
        cache_position_ = position;
        cache_length_ = volume_.ReadAt(position, MutableByteSpan(cache_.data(), want));
        if (!in_cache()) return false;
    }
    std::memcpy(out.data(), cache_.data() + (position - cache_position_), out.size());
    return true;
}

std::optional<std::int64_t> MftRecordReader::Read(std::int64_t index, MutableByteSpan record) {
    std::int64_t offset;
    if (index < 0 || __builtin_mul_overflow(index, record_size_, &offset)) return std::nullopt;
    std::optional<std::int64_t> first_position;
    std::size_t done = 0;
    // A record larger than a cluster may straddle two extents; read it piece by piece.
    while (done < record.size()) {
        auto place = Locate(offset + static_cast<std::int64_t>(done));
        if (!place) return std::nullopt;
        const auto [position, extent_left] = *place;
        if (!first_position) first_position = position;
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::int64_t>(extent_left, static_cast<std::int64_t>(record.size() - done)));
        if (!ReadPiece(position, extent_left, record.subspan(done, piece))) return std::nullopt;
        done += piece;
    }
    return first_position;
}

}  // namespace verandol
