#include "fuzz/disk_entry.h"

#include <algorithm>
#include <vector>

#include "disk/extended_chain.h"
#include "disk/open_volume.h"
#include "disk/probe_copy.h"
#include "disk/volume_address.h"
#include "disk/volume_discovery.h"
#include "fuzz/fuzz_check.h"

namespace verandol::fuzz {

namespace {

void CheckVolume(ByteSource& volume, std::int64_t disk_size) {
    VERANDOL_FUZZ_CHECK(volume.Size() >= 0 && volume.Size() <= disk_size);
    std::vector<std::uint8_t> buffer(4096);
    VERANDOL_FUZZ_CHECK(volume.ReadAt(volume.Size(), buffer) == 0);
    if (volume.Size() > 0) VERANDOL_FUZZ_CHECK(volume.ReadAt(volume.Size() - 1, buffer) == 1);
}

}  // namespace

void FuzzDisk(ByteSpan input) {
    BorrowedVolume disk(input);
    const std::int64_t size = disk.Size();
    const std::vector<std::int64_t> chain = ExtendedRecordPositions(disk);
    VERANDOL_FUZZ_CHECK(static_cast<int>(chain.size()) <= kMaxExtendedRecords);
    for (std::int64_t position : chain) VERANDOL_FUZZ_CHECK(position >= 0 && position + 512 <= size);

    // The same bytes as a file, opened the way a user's disk image is.
    ProbeCopy file(disk, {{0, size}});
    if (file.Path().empty()) return;
    for (const DiscoveredDrive& found : DiscoverVolumesIn({file.Path()}).drives) {
        VERANDOL_FUZZ_CHECK(found.size >= 0 && found.size <= size);
        Outcome<OpenedVolume> opened = OpenVolume(found.path);
        VERANDOL_FUZZ_CHECK(opened.has_value());
        CheckVolume(*opened->source, size);
    }
    for (int number = 1; number <= 8; ++number) {
        Outcome<OpenedVolume> opened = OpenVolume(FormatVolumeAddress(file.Path(), number));
        if (opened) CheckVolume(*opened->source, size);
        else VERANDOL_FUZZ_CHECK(!opened.reason().empty());
    }
}

}  // namespace verandol::fuzz
