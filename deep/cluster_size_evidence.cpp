#include "deep/cluster_size_evidence.h"

#include "ntfs/attributes.h"
#include "ntfs/layout.h"

namespace verandol {

namespace {

constexpr std::uint64_t kSmallestCluster = 512;
constexpr std::uint64_t kLargestCluster = 2 * 1024 * 1024;

std::optional<std::uint32_t> FromAttribute(ByteSpan attribute) {
    if (attribute.empty() || !IsNonResident(attribute)) return std::nullopt;
    const auto extent = ReadNonResidentExtent(attribute);
    const auto allocated = read_sle64(attribute, layout::attr::kAllocatedSize);
    if (!extent || !allocated || extent->first_vcn != 0 || extent->last_vcn < 0 || *allocated <= 0)
        return std::nullopt;
    if (extent->last_vcn >= INT64_MAX / static_cast<std::int64_t>(kSmallestCluster)) return std::nullopt;
    const auto clusters = static_cast<std::uint64_t>(extent->last_vcn) + 1;
    const auto bytes = static_cast<std::uint64_t>(*allocated);
    if (bytes % clusters != 0) return std::nullopt;
    const std::uint64_t size = bytes / clusters;
    if (size < kSmallestCluster || size > kLargestCluster || (size & (size - 1)) != 0) return std::nullopt;
    return static_cast<std::uint32_t>(size);
}

}  // namespace

std::optional<std::uint32_t> ClusterSizeEvidence(ByteSpan record) {
    if (auto size = FromAttribute(FindAttribute(record, layout::attr::kData, false))) return size;
    return FromAttribute(FindAttribute(record, layout::attr::kIndexAllocation, false));
}

void ClusterSizeVotes::Add(std::uint32_t cluster_size) {
    for (std::size_t i = 0; i < votes_.size(); ++i)
        if (cluster_size == (std::uint32_t{1} << (i + kSmallestShift))) ++votes_[i];
}

std::optional<std::uint32_t> ClusterSizeVotes::Winner() const {
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < votes_.size(); ++i)
        if (votes_[i] > 0 && (!best || votes_[i] > votes_[*best])) best = i;
    if (!best) return std::nullopt;
    return std::uint32_t{1} << (*best + kSmallestShift);
}

}  // namespace verandol
