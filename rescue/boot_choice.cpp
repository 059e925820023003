#include "rescue/boot_choice.h"

#include <array>

#include "rescue/boot_candidate.h"
#include "rescue/boot_sector_sweep.h"

namespace verandol {

namespace {

struct StopOnly final : SearchProgress {
    explicit StopOnly(const std::function<bool()>& stop) : stop_(stop) {}
    void Advance(std::int64_t, std::int64_t) override {}
    bool StopRequested() override { return stop_ && stop_(); }
    const std::function<bool()>& stop_;
};

}  // namespace

ChosenBoot ChooseBootSector(ByteSource& volume, bool look_further, const std::function<bool()>& stop) {
    ChosenBoot chosen{ReadBootSector(volume), {}};
    if (IsNtfs(chosen.bytes) && DeriveLayout(chosen.bytes)) return chosen;

    // The sector size is not known until a boot sector is read, so the last
    // sector is tried at each size NTFS formats.
    for (const std::int64_t sector : std::array<std::int64_t, 4>{512, 1024, 2048, 4096}) {
        const std::int64_t position = volume.Size() - sector;
        if (position < sector) continue;
        BootSectorBytes backup{};
        if (volume.ReadAt(position, backup) != backup.size()) continue;
        const std::optional<BootCandidate> candidate = CheckBootCandidate(backup);
        // A copy whose own count does not end the volume here belongs to
        // some other volume, or is data that happens to look like one.
        if (!candidate || candidate->backup_offset != position || candidate->layout.geometry.BytesPerSector != sector)
            continue;
        chosen.bytes = backup;
        chosen.note = "the volume's boot sector is damaged; its backup copy in the volume's last sector is used";
        return chosen;
    }
    if (!look_further) return chosen;
    StopOnly quiet(stop);
    const auto backup_of_this = [](const BootSighting& s) { return s.position == s.boot.backup_offset; };
    const Outcome<std::vector<BootSighting>> swept = SweepBootSectors(volume, quiet, backup_of_this);
    if (swept && !swept->empty() && backup_of_this(swept->back())) {
        chosen.bytes = swept->back().boot.bytes;
        chosen.note = "the volume's boot sector is damaged; its backup copy at byte " +
                      std::to_string(swept->back().position) + " of the volume is used";
    }
    return chosen;
}

}  // namespace verandol
