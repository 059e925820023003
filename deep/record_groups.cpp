#include "deep/record_groups.h"

#include <algorithm>

#include "ntfs/attributes.h"
#include "ntfs/checked_math.h"
#include "ntfs/cluster_map.h"
#include "ntfs/layout.h"
#include "ntfs/run_list.h"

namespace verandol {

RecordGroups::RecordGroups(std::optional<KnownVolume> present, std::int64_t present_mft_offset,
                           std::vector<KnownVolume> others)
    : present_(std::move(present)), others_(std::move(others)) {
    if (!present_) return;
    MapVolume(*present_, present_mft_offset);
    groups_.front().present = true;
}

std::size_t RecordGroups::AddMapped(const KnownVolume& volume, std::int64_t mft_offset) {
    // Also the volume that holds whatever MFTs lie inside it unmapped: ones
    // it was formatted over.
    others_.push_back(volume);
    return MapVolume(volume, mft_offset);
}

std::size_t RecordGroups::MapVolume(const KnownVolume& volume, std::int64_t mft_offset) {
    const std::pair<std::int64_t, std::uint32_t> key{mft_offset, volume.geometry.RecordSize};
    auto [found, added] = by_base_.try_emplace(key, groups_.size());
    if (added) groups_.emplace_back();
    RecordGroup& group = groups_[found->second];
    // Records met before the boot sector may have begun the group; the
    // volume's own word on its geometry wins over what they implied.
    group.base = mft_offset;
    group.record_size = volume.geometry.RecordSize;
    group.origin = volume.offset;
    group.volume = mapped_.size();
    mapped_.push_back(volume);
    last_ = SIZE_MAX;
    return found->second;
}

std::size_t RecordGroups::GroupOf(std::int64_t position, const FoundRecordHeader& header,
                                  std::optional<std::size_t> mapped_group) {
    if (mapped_group && *mapped_group < groups_.size()) return *mapped_group;
    // The caller checked that the base is not negative, or is a piece a
    // record 0 placed.
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
    last_ = Representative(found->second);
    return last_;
}

std::size_t RecordGroups::Representative(std::size_t index) const {
    while (index < groups_.size() && groups_[index].joined_into != SIZE_MAX) index = groups_[index].joined_into;
    return index;
}

void RecordGroups::JoinPieces(std::size_t index, const std::vector<Run>& runs, std::int64_t cluster_size) {
    const ClusterMap map = ClusterMap::FromRuns(runs, cluster_size);
    const std::int64_t origin = *groups_[index].origin;
    const std::uint32_t record_size = groups_[index].record_size;
    for (const ClusterExtent& extent : map.Extents()) {
        if (extent.kind != ClusterExtent::Kind::Stored) continue;
        // Where record 0 would lie if the MFT ran on unbroken into this
        // piece: the base every record found in the piece computes.
        std::int64_t base;
        if (MulOverflows(extent.lcn - extent.vcn, cluster_size, base) || AddOverflows(base, origin, base)) continue;
        auto [found, added] = by_base_.try_emplace({base, record_size}, index);
        if (added) continue;
        const std::size_t other = Representative(found->second);
        // A mapped volume's MFT is placed by its own map, never by another's.
        if (other == index || groups_[other].volume || groups_[other].present) continue;
        RecordGroup& joined = groups_[other];
        joined.joined_into = index;
        groups_[index].folders.Absorb(std::move(joined.folders));
        found->second = index;
    }
    last_ = SIZE_MAX;
}

void RecordGroups::Learn(std::size_t index, const FoundRecordHeader& header, ByteSpan record) {
    RecordGroup& group = groups_[index];
    const auto cluster_size = ClusterSizeEvidence(record);
    if (cluster_size) group.votes.Add(*cluster_size);
    if (group.volume) return;
    if (header.number == kBitmapRecord && !group.own_bitmap) {
        Outcome<BitmapExtent> bitmap = ReadBitmapExtent(record);
        if (bitmap) group.own_bitmap = std::move(*bitmap);
    }
    if (group.origin) return;
    if (header.number == 0 && cluster_size && !group.record_zero) {
        // Record 0 is the MFT's own: its first run says at which cluster of
        // its volume the MFT begins, and so where that volume's cluster 0 lies.
        const ByteSpan data = FindAttribute(record, layout::attr::kData, false);
        const auto extent = IsNonResident(data) ? ReadNonResidentExtent(data) : std::nullopt;
        if (!extent || extent->run_list_offset >= data.size()) return;
        DecodedRunList runs = DecodeRunList(data.subspan(extent->run_list_offset));
        if (runs.runs.empty() || runs.runs.front().sparse || !runs.runs.front().valid) return;
        std::int64_t start;
        if (MulOverflows(runs.runs.front().lcn, std::int64_t{*cluster_size}, start) || start > group.base) return;
        group.record_zero = RecordGroup::RecordZero{start, *cluster_size, std::move(runs.runs)};
        return;
    }
    // $MFTMirr holds records 0 to 3 only: a record past them shows the
    // group is an MFT, and its record 0 may be believed.
    if (header.number < 4 || !group.record_zero) return;
    RecordGroup::RecordZero zero = std::move(*group.record_zero);
    group.record_zero.reset();
    group.origin = group.base - zero.start;
    JoinPieces(index, zero.runs, zero.cluster_size);
}

const KnownVolume* RecordGroups::VolumeHolding(std::int64_t position) const {
    for (const KnownVolume& volume : others_)
        if (position >= volume.offset && position - volume.offset < volume.size) return &volume;
    return nullptr;
}

std::int64_t RecordGroups::VolumeAt(std::int64_t position) const {
    std::int64_t innermost = -1;
    const auto consider = [&](const KnownVolume& volume) {
        if (position >= volume.offset && position - volume.offset < volume.size)
            innermost = std::max(innermost, volume.offset);
    };
    if (present_) consider(*present_);
    for (const KnownVolume& volume : others_) consider(volume);
    return innermost;
}

std::optional<FoundGeometry> RecordGroups::GeometryFor(std::size_t index, const FoundRecordHeader& header,
                                                       std::optional<std::uint32_t> own_cluster_size) const {
    const RecordGroup& group = groups_[index];
    const KnownVolume* mapped = group.volume ? &mapped_[*group.volume] : nullptr;
    const KnownVolume* holder = mapped ? nullptr : VolumeHolding(group.base);
    std::optional<std::uint32_t> cluster_size = own_cluster_size;
    if (!cluster_size && mapped) cluster_size = mapped->geometry.ClusterSize;
    if (!cluster_size && holder && holder->geometry.RecordSize == header.record_size)
        cluster_size = holder->geometry.ClusterSize;
    if (!cluster_size) cluster_size = group.votes.Winner();
    if (!cluster_size && present_) cluster_size = present_->geometry.ClusterSize;
    if (!cluster_size || *cluster_size == 0) return std::nullopt;

    FoundGeometry found;
    found.mft_base = group.base;
    // A group inside the present volume and no other belongs to a volume
    // formatted over, which began where the present one begins.
    const bool in_present = present_ && group.base >= present_->offset && group.base - present_->offset < present_->size;
    found.origin = group.origin ? *group.origin : holder ? holder->offset : in_present ? present_->offset : 0;
    found.placed = group.origin || holder || in_present;
    // A mapped MFT's origin is its volume's, whatever the record says.
    if (mapped) {
        found.origin = mapped->offset;
        found.placed = true;
    }
    const KnownVolume* sectors = mapped ? mapped : holder ? holder : present_ ? &*present_ : nullptr;
    const std::uint32_t sector = sectors && sectors->geometry.BytesPerSector ? sectors->geometry.BytesPerSector : 512;
    found.geometry.RecordSize = header.record_size;
    found.geometry.ClusterSize = *cluster_size;
    found.geometry.BytesPerSector = std::min(sector, *cluster_size);
    found.geometry.SectorsPerCluster = *cluster_size / found.geometry.BytesPerSector;
    return found;
}

}  // namespace verandol
