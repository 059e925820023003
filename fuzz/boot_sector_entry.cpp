#include "fuzz/boot_sector_entry.h"

#include <vector>

#include "fuzz/fuzz_check.h"
#include "ntfs/boot_sector.h"

namespace verandol::fuzz {

void FuzzBootSector(ByteSpan input) {
    BorrowedVolume volume(input);
    const BootSectorBytes boot = ReadBootSector(volume);
    VERANDOL_FUZZ_CHECK(SerialText(boot).size() >= 8);
    if (!IsNtfs(boot)) return;
    const Outcome<VolumeLayout> outcome = DeriveLayout(boot);
    VERANDOL_FUZZ_CHECK(outcome.has_value() != !outcome.reason().empty());
    if (!outcome) return;
    // Everything downstream sizes buffers and divides by these.
    const VolumeGeometry& g = outcome->geometry;
    VERANDOL_FUZZ_CHECK(g.RecordSize >= 512 && g.RecordSize <= 65536 && g.RecordSize % 512 == 0);
    VERANDOL_FUZZ_CHECK(g.ClusterSize > 0 && g.BytesPerSector > 0 && g.SectorsPerCluster > 0);
    VERANDOL_FUZZ_CHECK(std::uint64_t{g.BytesPerSector} * g.SectorsPerCluster == g.ClusterSize);
    VERANDOL_FUZZ_CHECK(outcome->mft_offset >= 0);
}

}  // namespace verandol::fuzz
