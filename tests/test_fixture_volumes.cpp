#include <gtest/gtest.h>

#include "disk/volume_file.h"
#include "ntfs/boot_sector.h"
#include "ntfs/fixups.h"
#include "tests/fixture_support.h"

namespace verandol {
namespace {

class FixtureVolume : public ::testing::TestWithParam<std::string> {};

TEST_P(FixtureVolume, GeometryMatchesTheManifest) {
    auto m = testing::LoadManifest(GetParam());
    auto volume = VolumeFile::Open(testing::FixtureImagePath(GetParam()));
    ASSERT_TRUE(volume);
    auto boot = ReadBootSector(*volume);
    ASSERT_TRUE(IsNtfs(boot));
    EXPECT_EQ(SerialText(boot), m.serial);
    auto outcome = DeriveLayout(boot);
    ASSERT_TRUE(outcome) << outcome.reason();
    EXPECT_EQ(outcome->geometry,
              (VolumeGeometry{m.record_size, m.cluster_size, m.bytes_per_sector, m.sectors_per_cluster}));
    EXPECT_EQ(outcome->volume_size, m.total_sectors * m.bytes_per_sector);
    EXPECT_EQ(outcome->mft_offset, m.mft_offset);
}

TEST_P(FixtureVolume, RecordsOfTheFirstExtentPassTheirFixups) {
    auto m = testing::LoadManifest(GetParam());
    auto volume = VolumeFile::Open(testing::FixtureImagePath(GetParam()));
    ASSERT_TRUE(volume);
    // The metadata records 0 to 11 are always written.
    std::vector<std::uint8_t> record(m.record_size);
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(volume->ReadAt(m.mft_offset + std::int64_t{i} * m.record_size, record), record.size());
        EXPECT_TRUE(ApplyFixups(record)) << "record " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(AllFixtures, FixtureVolume, ::testing::ValuesIn(testing::FixtureNames()),
                         testing::FixtureTestName<::testing::TestParamInfo<std::string>>);

}  // namespace
}  // namespace verandol
