#include "rescue/boot_candidate.h"

#include <algorithm>
#include <cstring>

namespace verandol {

namespace {

namespace boot = layout::boot;

constexpr char kOemId[] = "NTFS    ";
static_assert(sizeof kOemId - 1 == boot::kOemIdLength);

// NTFS formats sectors of 512 to 4096 bytes.
bool UsableSectorSize(std::uint32_t bytes) {
    return bytes >= 512 && bytes <= 4096 && (bytes & (bytes - 1)) == 0;
}

// Clusters up to 2 MiB, the largest any NTFS formatter offers.
constexpr std::uint32_t kLargestCluster = 2u * 1024 * 1024;

}  // namespace

bool MayBeBootSector(ByteSpan sector) {
    if (sector.size() < boot::kSize) return false;
    if (std::memcmp(sector.data() + boot::kOemId, kOemId, boot::kOemIdLength) != 0) return false;
    return read_le16(sector, boot::kEndSignature) == boot::kEndSignatureValue;
}

std::optional<BootCandidate> CheckBootCandidate(ByteSpan sector) {
    if (!MayBeBootSector(sector)) return std::nullopt;
    BootCandidate candidate;
    std::copy_n(sector.begin(), boot::kSize, candidate.bytes.begin());
    const Outcome<VolumeLayout> derived = DeriveLayout(candidate.bytes);
    if (!derived) return std::nullopt;
    const VolumeGeometry& g = derived->geometry;
    if (!UsableSectorSize(g.BytesPerSector) || g.ClusterSize > kLargestCluster) return std::nullopt;
    if ((g.SectorsPerCluster & (g.SectorsPerCluster - 1)) != 0) return std::nullopt;

    candidate.total_sectors = *read_sle64(sector, boot::kTotalSectors);
    if (candidate.total_sectors <= 0 ||
        __builtin_mul_overflow(candidate.total_sectors, static_cast<std::int64_t>(g.BytesPerSector),
                               &candidate.backup_offset))
        return std::nullopt;
    // Room for the backup's own sector after the volume.
    if (candidate.backup_offset > INT64_MAX - static_cast<std::int64_t>(g.BytesPerSector)) return std::nullopt;
    // The MFT's first record and the mirror's four must lie inside the volume.
    const std::int64_t records = 4 * static_cast<std::int64_t>(g.RecordSize);
    if (derived->mirror_offset < 0 || derived->mft_offset > candidate.backup_offset - records ||
        derived->mirror_offset > candidate.backup_offset - records)
        return std::nullopt;
    candidate.layout = *derived;
    candidate.serial = *read_le64(sector, boot::kSerialNumber);
    return candidate;
}

}  // namespace verandol
