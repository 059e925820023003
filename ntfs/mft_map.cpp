#include "ntfs/mft_map.h"

#include "ntfs/checked_math.h"

namespace verandol {

MftMap::MftMap(const std::vector<Run>& runs, std::int64_t cluster_size, std::int64_t record_size)
    : record_size_(record_size) {
    if (record_size > 0) clusters_ = ClusterMap::FromRuns(runs, cluster_size);
}

std::optional<std::int64_t> MftMap::IndexAt(std::int64_t position) const {
    if (record_size_ <= 0) return std::nullopt;
    const auto offset = clusters_.OffsetAt(position);
    if (!offset || *offset % record_size_ != 0) return std::nullopt;
    return *offset / record_size_;
}

std::optional<std::int64_t> MftMap::ReadRecord(ByteSource& volume, std::int64_t index, MutableByteSpan out) const {
    std::int64_t offset;
    if (index < 0 || MulOverflows(index, record_size_, offset)) return std::nullopt;
    const ClusterMap::Gathered read = clusters_.Read(volume, offset, out, ClusterMap::Holes::Refuse);
    if (read.stop != ClusterMap::Gathered::Stop::Complete || read.first_position < 0) return std::nullopt;
    return read.first_position;
}

}  // namespace verandol
