#include "ntfs/boot_sector.h"

#include <cstdio>

#include "ntfs/checked_math.h"

namespace verandol {

namespace {

namespace boot = layout::boot;

// NTFS writes counts that do not fit a signed byte as the negative exponent of
// a power of two: 0xF6 is -10, meaning 2^10.
std::optional<std::uint64_t> NegativePowerOfTwo(std::uint8_t byte) {
    unsigned exponent = 256u - byte;
    if (exponent >= 32) return std::nullopt;
    return std::uint64_t{1} << exponent;
}

}  // namespace

BootSectorBytes ReadBootSector(ByteSource& volume) {
    BootSectorBytes bytes{};
    volume.ReadAt(0, bytes);
    return bytes;
}

std::string FileSystemIdentifier(const BootSectorBytes& boot) {
    return std::string(reinterpret_cast<const char*>(boot.data() + boot::kOemId), boot::kOemIdCompared);
}

bool IsNtfs(const BootSectorBytes& boot) { return FileSystemIdentifier(boot) == "NTFS"; }

std::string SerialText(const BootSectorBytes& boot) {
    char text[24];
    std::snprintf(text, sizeof text, "%08llX",
                  static_cast<unsigned long long>(*read_le64(boot, boot::kSerialNumber)));
    return text;
}

Outcome<VolumeLayout> DeriveLayout(const BootSectorBytes& boot) {
    const std::uint32_t bytes_per_sector = *read_le16(boot, boot::kBytesPerSector);
    const std::uint8_t spc_byte = *read_le8(boot, boot::kSectorsPerCluster);
    const std::int64_t total_sectors = *read_sle64(boot, boot::kTotalSectors);
    const std::int64_t mft_cluster = *read_sle64(boot, boot::kMftCluster);
    const std::int64_t mirror_cluster = *read_sle64(boot, boot::kMftMirrorCluster);
    const std::uint32_t record_field = *read_le32(boot, boot::kClustersPerRecord);

    if (bytes_per_sector == 0) return Refusal("the boot sector gives 0 bytes per sector");

    std::uint64_t sectors_per_cluster = spc_byte;
    if (spc_byte > 0x80) {
        auto decoded = NegativePowerOfTwo(spc_byte);
        if (!decoded) return Refusal("the boot sector's sectors-per-cluster byte is not usable");
        sectors_per_cluster = *decoded;
    }
    if (sectors_per_cluster == 0) return Refusal("the boot sector gives 0 sectors per cluster");

    const std::uint64_t cluster_size = sectors_per_cluster * bytes_per_sector;
    if (cluster_size > UINT32_MAX) return Refusal("the cluster size is too large");

    std::uint64_t record_size = 0;
    if (record_field < 128) {
        record_size = std::uint64_t{record_field} * cluster_size;
    } else {
        auto decoded = NegativePowerOfTwo(static_cast<std::uint8_t>(record_field & 0xFF));
        // A non-zero reserved byte with a small count selects this branch too;
        // 256 minus such a byte is no usable exponent, so it is refused below.
        if (decoded) record_size = *decoded;
    }
    if (record_size == 0) return Refusal("the boot sector gives an MFT record size of 0");
    if (record_size % layout::record::kFixupStride != 0 || record_size > 65536)
        return Refusal("the MFT record size of " + std::to_string(record_size) +
                       " bytes is not a multiple of 512 up to 65536");

    std::int64_t mft_offset = 0;
    if (mft_cluster < 0 ||
        MulOverflows(mft_cluster, static_cast<std::int64_t>(cluster_size), mft_offset))
        return Refusal("the MFT's cluster number lies outside any volume");

    VolumeLayout result;
    result.geometry.RecordSize = static_cast<std::uint32_t>(record_size);
    result.geometry.ClusterSize = static_cast<std::uint32_t>(cluster_size);
    result.geometry.BytesPerSector = bytes_per_sector;
    result.geometry.SectorsPerCluster = static_cast<std::uint32_t>(sectors_per_cluster);
    // Wrapping multiplication: the size is only shown, and a hostile sector
    // count must not be undefined behaviour.
    result.volume_size = static_cast<std::int64_t>(static_cast<std::uint64_t>(total_sectors) * bytes_per_sector);
    result.mft_offset = mft_offset;
    // Only the rescue of a damaged record 0 reads the mirror, so an unusable
    // number refuses nothing here.
    std::int64_t mirror_offset = 0;
    if (mirror_cluster >= 0 &&
        !__builtin_mul_overflow(mirror_cluster, static_cast<std::int64_t>(cluster_size), &mirror_offset))
        result.mirror_offset = mirror_offset;
    return result;
}

}  // namespace verandol
