// Whether 512 bytes found somewhere on a disk are an NTFS boot sector worth
// trusting: the scan of a volume reads only byte 3 on, but bytes met by
// chance in file data must not be taken for a volume.
#pragma once

#include <cstdint>
#include <optional>

#include "ntfs/boot_sector.h"
#include "ntfs/byte_reader.h"

namespace verandol {

struct BootCandidate {
    BootSectorBytes bytes{};
    VolumeLayout layout;
    std::int64_t total_sectors = 0;  // the backup's sector not counted
    // Where the backup copy lies from the volume's first byte, and so the
    // volume's size without that sector.
    std::int64_t backup_offset = 0;
    std::uint64_t serial = 0;
};

// Cheap first test, run on every sector of a disk: the full eight-byte OEM
// identifier and the end signature.
bool MayBeBootSector(ByteSpan sector);

// The full check: the fields a volume needs describe one, its MFT and mirror
// lie inside it, and its size is a number a disk can hold.
std::optional<BootCandidate> CheckBootCandidate(ByteSpan sector);

}  // namespace verandol
