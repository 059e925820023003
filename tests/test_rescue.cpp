// The checks that decide whether bytes met on a disk are a volume: they see
// hostile or stray data far more often than real boot sectors.
#include <gtest/gtest.h>

#include <cstring>

#include "ntfs/layout.h"
#include "rescue/boot_candidate.h"
#include "rescue/boot_choice.h"
#include "rescue/volume_search.h"
#include "tests/fixture_support.h"

namespace verandol {
namespace {

using testing::FixtureImagePath;
using testing::ReadWholeFile;
namespace boot = layout::boot;

std::vector<std::uint8_t> BootOf(const std::string& fixture) {
    std::vector<std::uint8_t> image = ReadWholeFile(FixtureImagePath(fixture));
    image.resize(boot::kSize);
    return image;
}

void Put64(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(BootCandidate, TakesRealBootSectorsAndRefusesEachImpossibleField) {
    const std::vector<std::uint8_t> real = BootOf("sec512-clu4k");
    const auto taken = CheckBootCandidate(real);
    ASSERT_TRUE(taken);
    const testing::Manifest m = testing::LoadManifest("sec512-clu4k");
    EXPECT_EQ(taken->backup_offset, m.total_sectors * m.bytes_per_sector);
    EXPECT_EQ(taken->layout.mft_offset, m.mft_offset);
    EXPECT_TRUE(CheckBootCandidate(BootOf("sec4096-clu4k")));
    EXPECT_TRUE(CheckBootCandidate(BootOf("sec512-clu64k")));

    struct Damage {
        const char* what;
        void (*apply)(std::vector<std::uint8_t>&);
    };
    const Damage damages[] = {
        {"OEM name past NTFS", [](auto& b) { b[boot::kOemId + 5] = 'X'; }},
        {"no end signature", [](auto& b) { b[boot::kEndSignature] = 0; }},
        {"0 bytes per sector", [](auto& b) { b[boot::kBytesPerSector] = 0, b[boot::kBytesPerSector + 1] = 0; }},
        {"256 bytes per sector", [](auto& b) { b[boot::kBytesPerSector] = 0, b[boot::kBytesPerSector + 1] = 1; }},
        {"1000 bytes per sector", [](auto& b) { b[boot::kBytesPerSector] = 0xE8, b[boot::kBytesPerSector + 1] = 3; }},
        {"8192 bytes per sector", [](auto& b) { b[boot::kBytesPerSector] = 0, b[boot::kBytesPerSector + 1] = 0x20; }},
        {"3 sectors per cluster", [](auto& b) { b[boot::kSectorsPerCluster] = 3; }},
        {"8 MiB clusters", [](auto& b) { b[boot::kSectorsPerCluster] = 0xF2; }},
        {"no sectors", [](auto& b) { Put64(b, boot::kTotalSectors, 0); }},
        {"negative sectors", [](auto& b) { Put64(b, boot::kTotalSectors, ~std::uint64_t{0}); }},
        {"a size past 2^63", [](auto& b) { Put64(b, boot::kTotalSectors, std::uint64_t{1} << 60); }},
        {"the MFT past the end", [](auto& b) { Put64(b, boot::kMftCluster, 4096); }},
        {"the mirror past the end", [](auto& b) { Put64(b, boot::kMftMirrorCluster, 4096); }},
        {"a negative mirror", [](auto& b) { Put64(b, boot::kMftMirrorCluster, ~std::uint64_t{0}); }},
    };
    for (const Damage& damage : damages) {
        std::vector<std::uint8_t> bytes = real;
        damage.apply(bytes);
        EXPECT_FALSE(CheckBootCandidate(bytes)) << damage.what;
    }
    EXPECT_FALSE(CheckBootCandidate(ByteSpan(real.data(), 511))) << "a sector cut short";
}

TEST(BootChoice, TakesTheLastSectorOnlyWhereItsOwnCountPlacesIt) {
    std::vector<std::uint8_t> image = ReadWholeFile(FixtureImagePath("sec512-clu4k"));
    std::fill_n(image.begin(), boot::kSize, std::uint8_t{0});
    MemoryVolume damaged(image);
    const ChosenBoot chosen = ChooseBootSector(damaged);
    EXPECT_FALSE(chosen.note.empty());
    EXPECT_TRUE(IsNtfs(chosen.bytes));

    // One more sector after it: the copy is no longer where its count says,
    // so it belongs to nothing this volume can vouch for.
    image.resize(image.size() + 512);
    MemoryVolume longer(image);
    EXPECT_FALSE(IsNtfs(ChooseBootSector(longer).bytes));
    // Reading on finds it where the count does place it.
    const ChosenBoot further = ChooseBootSector(longer, true);
    EXPECT_TRUE(IsNtfs(further.bytes));
    EXPECT_NE(further.note.find("at byte 16776704"), std::string::npos) << further.note;
}

// A stopped search keeps the volumes it found before the stop.
TEST(VolumeSearch, StopsWhenAskedAndKeepsWhatItFound) {
    struct StopAtOnce final : SearchProgress {
        void Advance(std::int64_t, std::int64_t) override { ++advanced; }
        bool StopRequested() override { return advanced > 0; }
        int advanced = 0;
    } progress;
    MemoryVolume disk(ReadWholeFile(testing::DiskImagePath("gpt-disk")));
    const Outcome<std::vector<FoundVolume>> found = SearchVolumes(disk, progress);
    ASSERT_TRUE(found) << found.reason();
    EXPECT_EQ(progress.advanced, 1);
    const std::vector<testing::DiskPartition> ntfs = testing::LoadDiskManifest("gpt-disk").Ntfs();
    ASSERT_FALSE(ntfs.empty());
    ASSERT_FALSE(found->empty());
    EXPECT_EQ(found->front().offset, ntfs.front().start);
    EXPECT_LT(found->size(), ntfs.size() + 1);
}

}  // namespace
}  // namespace verandol
