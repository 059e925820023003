// The four numbers every reader of a volume needs.
#pragma once

#include <cstdint>

namespace verandol {

// Held 32 bits wide so 64 KiB clusters (a standard format choice) and the
// larger ones NTFS writes as negative powers of two stay representable.
struct VolumeGeometry {
    std::uint32_t RecordSize = 0;         // bytes per MFT file record
    std::uint32_t ClusterSize = 0;        // bytes per cluster
    std::uint32_t BytesPerSector = 0;
    std::uint32_t SectorsPerCluster = 0;

    friend bool operator==(const VolumeGeometry&, const VolumeGeometry&) = default;
};

}  // namespace verandol
