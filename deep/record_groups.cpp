#include "deep/record_groups.h"

#include "ntfs/attributes.h"
#include "ntfs/layout.h"
#include "ntfs/run_list.h"

namespace verandol {

RecordGroups::RecordGroups(std::optional<KnownVolume> present, std::int64_t present_mft_offset,
                           std::vector<KnownVolume> others)
    : present_(std::move(present)), others_(std::move(others)) {
    if (!present_) return;
    RecordGroup group;
    group.base = present_mft_offset;
    group.record_size = present_->geometry.RecordSize;
    group.present = true;
    group.origin = present_->offset;
    groups_.push_back(std::move(group));
    by_base_[{present_mft_offset, present_->geometry.RecordSize}] = 0;
}

std::size_t RecordGroups::GroupOf(std::int64_t position, const FoundRecordHeader& header, bool in_present_map) {
    if (in_present_map && present_) return 0;
    // position >= number x size was checked by the caller.
    const std::int64_t base = position - std::int64_t{header.number} * header.record_size;
    if (last_ < groups_.size() && groups_[last_].base == base && groups_[last_].record_size == header.record_size)
        return last_;
    auto [found, added] = by_base_.try_emplace({base, header.record_size}, groups_.size());
    if (added) {
        RecordGroup group;
        group.base = base;
        group.record_size = header.record_size;
        groups_.push_back(std::move(group));
    }
    last_ = found->second;
    return last_;
}

void RecordGroups::Learn(std::size_t index, const FoundRecordHeader& header, ByteSpan record) {
    RecordGroup& group = groups_[index];
    const auto cluster_size = ClusterSizeEvidence(record);
    if (cluster_size) group.votes.Add(*cluster_size);
    if (header.number != 0 || group.origin || !cluster_size) return;
    // Record 0 is the MFT's own: its first run says at which cluster of its
    // volume the MFT begins, and so where that volume's cluster 0 lies.
    const ByteSpan data = FindAttribute(record, layout::attr::kData, false);
    const auto extent = IsNonResident(data) ? ReadNonResidentExtent(data) : std::nullopt;
    if (!extent || extent->run_list_offset >= data.size()) return;
    const DecodedRunList runs = DecodeRunList(data.subspan(extent->run_list_offset));
    if (runs.runs.empty() || runs.runs.front().sparse || !runs.runs.front().valid) return;
    std::int64_t start;
    if (__builtin_mul_overflow(runs.runs.front().lcn, std::int64_t{*cluster_size}, &start)) return;
    if (start <= group.base) group.origin = group.base - start;
}

const KnownVolume* RecordGroups::VolumeHolding(std::int64_t position) const {
    for (const KnownVolume& volume : others_)
        if (position >= volume.offset && position - volume.offset < volume.size) return &volume;
    return nullptr;
}

std::optional<FoundGeometry> RecordGroups::GeometryFor(std::size_t index, const FoundRecordHeader& header,
                                                       std::optional<std::uint32_t> own_cluster_size) const {
    const RecordGroup& group = groups_[index];
    const KnownVolume* holder = group.present ? nullptr : VolumeHolding(group.base);
    std::optional<std::uint32_t> cluster_size = own_cluster_size;
    if (!cluster_size && group.present) cluster_size = present_->geometry.ClusterSize;
    if (!cluster_size && holder && holder->geometry.RecordSize == header.record_size)
        cluster_size = holder->geometry.ClusterSize;
    if (!cluster_size) cluster_size = group.votes.Winner();
    if (!cluster_size && present_) cluster_size = present_->geometry.ClusterSize;
    if (!cluster_size || *cluster_size == 0) return std::nullopt;

    FoundGeometry found;
    found.mft_base = group.base;
    found.origin = group.origin ? *group.origin : holder ? holder->offset : 0;
    // The present MFT's origin is the present volume's, whatever the record says.
    if (group.present) found.origin = present_->offset;
    const std::uint32_t sector = present_ && present_->geometry.BytesPerSector ? present_->geometry.BytesPerSector : 512;
    found.geometry.RecordSize = header.record_size;
    found.geometry.ClusterSize = *cluster_size;
    found.geometry.BytesPerSector = std::min(sector, *cluster_size);
    found.geometry.SectorsPerCluster = *cluster_size / found.geometry.BytesPerSector;
    return found;
}

}  // namespace verandol
