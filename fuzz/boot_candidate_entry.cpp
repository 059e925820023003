#include "fuzz/boot_candidate_entry.h"

#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "rescue/boot_candidate.h"
#include "rescue/boot_choice.h"
#include "rescue/volume_search.h"

namespace verandol::fuzz {

namespace {

class CountingProgress final : public SearchProgress {
public:
    void Advance(std::int64_t bytes_done, std::int64_t bytes_total) override {
        VERANDOL_FUZZ_CHECK(bytes_done > last_ && bytes_done <= bytes_total);
        last_ = bytes_done;
    }
    bool StopRequested() override { return false; }

private:
    std::int64_t last_ = 0;
};

}  // namespace

void FuzzBootCandidate(ByteSpan input) {
    if (const std::optional<BootCandidate> boot = CheckBootCandidate(input)) {
        // The search sizes views and reads records from these.
        const VolumeGeometry& g = boot->layout.geometry;
        VERANDOL_FUZZ_CHECK(g.BytesPerSector >= 512 && g.BytesPerSector <= 4096);
        VERANDOL_FUZZ_CHECK(boot->total_sectors > 0 && boot->backup_offset > 0);
        VERANDOL_FUZZ_CHECK(boot->layout.mft_offset >= 0 && boot->layout.mft_offset < boot->backup_offset);
        VERANDOL_FUZZ_CHECK(boot->layout.mirror_offset >= 0 && boot->layout.mirror_offset < boot->backup_offset);
    }

    BorrowedVolume disk(input);
    const ChosenBoot chosen = ChooseBootSector(disk);
    VERANDOL_FUZZ_CHECK(chosen.note.empty() || IsNtfs(chosen.bytes));

    CountingProgress progress;
    const Outcome<std::vector<FoundVolume>> found = SearchVolumes(disk, progress);
    VERANDOL_FUZZ_CHECK(found.has_value());
    std::int64_t last = -1;
    for (const FoundVolume& volume : *found) {
        VERANDOL_FUZZ_CHECK(volume.offset > last && volume.offset < disk.Size() && volume.size > 0);
        VERANDOL_FUZZ_CHECK(volume.how == "table" || volume.how == "boot" || volume.how == "backup");
        VERANDOL_FUZZ_CHECK(volume.geometry.RecordSize > 0 && volume.geometry.ClusterSize > 0);
        last = volume.offset;
    }
}

}  // namespace verandol::fuzz
