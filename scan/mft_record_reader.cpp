#include "scan/mft_record_reader.h"

#include <algorithm>
#include <cstring>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;

}  // namespace

MftRecordReader::MftRecordReader(ByteSource& volume, const VolumeGeometry& geometry, const std::vector<Run>& runs)
    : volume_(volume), map_(runs, geometry.ClusterSize, geometry.RecordSize) {
    const std::int64_t cluster_size = geometry.ClusterSize;
    const std::int64_t record_size = geometry.RecordSize;
    const std::int64_t volume_size = volume.Size();
    for (const ClusterExtent& e : map_.Clusters().Extents()) {
        if (e.kind != ClusterExtent::Kind::Stored) continue;
        const std::int64_t start = SaturatingMul(e.lcn, cluster_size);
        if (volume_size > 0 && start >= volume_size) continue;
        std::int64_t bytes = SaturatingMul(e.clusters, cluster_size);
        if (volume_size > 0) bytes = std::min(bytes, volume_size - start);
        const std::int64_t end = SaturatingAdd(SaturatingMul(e.vcn, cluster_size), bytes);
        readable_limit_ = std::max(readable_limit_, end / record_size + (end % record_size != 0));
    }
}

bool MftRecordReader::ReadPiece(std::int64_t position, std::int64_t extent_left, MutableByteSpan out) {
    const auto in_cache = [&] {
        return position >= cache_position_ &&
               static_cast<std::uint64_t>(position - cache_position_) + out.size() <= cache_length_;
    };
    if (!in_cache()) {
        // A chunk at a time, but never more than the volume still holds: the
        // cache grows to what is read, so a small volume never costs a chunk.
        std::int64_t chunk = std::min<std::int64_t>(extent_left, static_cast<std::int64_t>(kChunkBytes));
        const std::int64_t volume_size = volume_.Size();
        if (volume_size > 0) chunk = std::clamp<std::int64_t>(volume_size - position, 0, chunk);
        const std::size_t want =
            static_cast<std::size_t>(std::max<std::int64_t>(static_cast<std::int64_t>(out.size()), chunk));
        if (want > cache_.size()) cache_.resize(want);
        cache_position_ = position;
        cache_unread_.clear();
        cache_length_ = volume_.ReadAround(position, MutableByteSpan(cache_.data(), want), cache_unread_);
        if (!in_cache()) return false;
    }
    const std::int64_t end = position + static_cast<std::int64_t>(out.size());
    for (const UnreadRange& lost : cache_unread_)
        if (lost.position < end && position < lost.End()) {
            last_unreadable_ = true;
            return false;
        }
    std::memcpy(out.data(), cache_.data() + (position - cache_position_), out.size());
    return true;
}

std::optional<std::int64_t> MftRecordReader::Read(std::int64_t index, MutableByteSpan record) {
    last_unreadable_ = false;
    std::int64_t offset;
    if (index < 0 || MulOverflows(index, map_.RecordSize(), offset)) return std::nullopt;
    std::optional<std::int64_t> first_position;
    std::size_t done = 0;
    // A record larger than a cluster may straddle two extents; read it piece by piece.
    while (done < record.size()) {
        auto place = map_.Locate(offset + static_cast<std::int64_t>(done), hint_);
        if (!place) return std::nullopt;
        const auto [position, extent_left] = *place;
        if (!first_position) first_position = position;
        const std::size_t piece = static_cast<std::size_t>(
            std::min<std::int64_t>(extent_left, static_cast<std::int64_t>(record.size() - done)));
        if (!ReadPiece(position, extent_left, record.subspan(done, piece))) return std::nullopt;
        done += piece;
    }
    return first_position;
}

}  // namespace verandol
