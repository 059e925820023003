// The NTFS boot sector: identifier, serial number, geometry and the MFT's place.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ntfs/byte_reader.h"
#include "ntfs/geometry.h"
#include "ntfs/layout.h"
#include "ntfs/outcome.h"
#include "ntfs/byte_source.h"

namespace verandol {

using BootSectorBytes = std::array<std::uint8_t, layout::boot::kSize>;

// The first 512 bytes of the volume, whatever its sector size. Bytes the read
// did not deliver stay zero, which makes the identifier four zero bytes.
BootSectorBytes ReadBootSector(ByteSource& volume);

// The four characters at offset 3 (a zero byte counts as a character).
std::string FileSystemIdentifier(const BootSectorBytes& boot);
// True when those four characters are exactly "NTFS".
bool IsNtfs(const BootSectorBytes& boot);

// The serial number in upper-case hexadecimal, at least eight digits.
std::string SerialText(const BootSectorBytes& boot);

struct VolumeLayout {
    VolumeGeometry geometry;
    std::int64_t volume_size = 0;  // total sectors x bytes per sector
    std::int64_t mft_offset = 0;   // byte position of MFT record 0
    // Byte position of the copy of records 0-3 ($MFTMirr); -1 when the boot
    // sector's cluster number for it cannot be a position.
    std::int64_t mirror_offset = -1;
};

// Derives the geometry, the volume size and the MFT's byte position, or says
// why they cannot be used. Only call for a boot sector that IsNtfs.
Outcome<VolumeLayout> DeriveLayout(const BootSectorBytes& boot);

}  // namespace verandol
