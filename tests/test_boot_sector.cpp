#include <gtest/gtest.h>

#include <cstring>

#include "ntfs/boot_sector.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using testing::BootFields;

BootSectorBytes Boot(const BootFields& f) {
    BootSectorBytes b{};
    auto bytes = testing::BootSector(f);
    std::copy(bytes.begin(), bytes.end(), b.begin());
    return b;
}

VolumeGeometry GeometryOf(const BootFields& f) {
    auto outcome = DeriveLayout(Boot(f));
    EXPECT_TRUE(outcome) << outcome.reason();
    return outcome ? outcome->geometry : VolumeGeometry{};
}

TEST(BootSector, OnlyTheFirstFourIdentifierCharactersCount) {
    auto b = Boot({});
    EXPECT_TRUE(IsNtfs(b));
    std::memcpy(b.data() + 7, "-XYZ", 4);
    EXPECT_TRUE(IsNtfs(b));
    std::memcpy(b.data() + 3, "ntfs", 4);
    EXPECT_FALSE(IsNtfs(b));
    std::memcpy(b.data() + 3, "NTF", 3);
    b[6] = 0;
    EXPECT_FALSE(IsNtfs(b));
}

TEST(BootSector, AVolumeThatDeliversNothingIsNotNtfs) {
    MemoryVolume empty({});
    auto boot = ReadBootSector(empty);
    EXPECT_EQ(FileSystemIdentifier(boot), std::string(4, '\0'));
    EXPECT_FALSE(IsNtfs(boot));
    EXPECT_EQ(SerialText(boot), "00000000");
}

TEST(BootSector, SerialTextKeepsAtLeastEightDigits) {
    BootFields f;
    f.serial = 0xABCDEF;
    EXPECT_EQ(SerialText(Boot(f)), "00ABCDEF");
    f.serial = 0x12345678;
    EXPECT_EQ(SerialText(Boot(f)), "12345678");
    f.serial = 0x1234567890ABCDEF;
    EXPECT_EQ(SerialText(Boot(f)), "1234567890ABCDEF");
}

TEST(BootSector, RecordSizeEncodings) {
    BootFields f;
    f.clusters_per_record = 0xF6;  // 2^10 whatever the cluster size
    EXPECT_EQ(GeometryOf(f).RecordSize, 1024u);
    f.clusters_per_record = 0xF4;
    EXPECT_EQ(GeometryOf(f).RecordSize, 4096u);
    f.clusters_per_record = 0x01;  // one 4 KiB cluster
    EXPECT_EQ(GeometryOf(f).RecordSize, 4096u);
    f.sectors_per_cluster = 1;
    f.clusters_per_record = 0x02;  // two 512-byte clusters
    EXPECT_EQ(GeometryOf(f).RecordSize, 1024u);
    // A reserved byte selects the power-of-two branch; 256 - 1 is no usable exponent.
    f.clusters_per_record = 0x00000101;
    EXPECT_FALSE(DeriveLayout(Boot(f)));
}

TEST(BootSector, LargeClustersStayRepresentable) {
    BootFields f;
    f.sectors_per_cluster = 128;  // 64 KiB clusters: no longer narrowed to 0
    VolumeGeometry g = GeometryOf(f);
    EXPECT_EQ(g.ClusterSize, 65536u);
    EXPECT_EQ(g.SectorsPerCluster, 128u);
    f.sectors_per_cluster = 0xF8;  // 2^8 sectors: 128 KiB clusters
    g = GeometryOf(f);
    EXPECT_EQ(g.SectorsPerCluster, 256u);
    EXPECT_EQ(g.ClusterSize, 131072u);
    f.mft_cluster = 3;
    EXPECT_EQ(DeriveLayout(Boot(f))->mft_offset, 3 * 131072);
}

TEST(BootSector, SizesAndMftPosition) {
    BootFields f;
    f.total_sectors = 209715200;
    f.mft_cluster = 786432;
    auto layout = *DeriveLayout(Boot(f));
    EXPECT_EQ(layout.volume_size, 107374182400);
    EXPECT_EQ(layout.mft_offset, 0xC0000000);
    EXPECT_EQ(layout.geometry, (VolumeGeometry{1024, 4096, 512, 8}));
}

TEST(BootSector, UnusableGeometryIsRefusedWithAReason) {
    const auto refused = [](BootFields f) {
        auto outcome = DeriveLayout(Boot(f));
        EXPECT_FALSE(outcome);
        EXPECT_FALSE(outcome.reason().empty());
    };
    BootFields f;
    f.bytes_per_sector = 0;
    refused(f);
    f = {};
    f.sectors_per_cluster = 0;
    refused(f);
    f = {};
    f.clusters_per_record = 0;
    refused(f);
    f = {};
    f.clusters_per_record = 0xF7;  // 512-byte records are fine, 256 are not
    EXPECT_TRUE(DeriveLayout(Boot(f)));
    f.clusters_per_record = 0xF8;
    refused(f);
    f.clusters_per_record = 0xF0;  // 2^16 is the largest a record may be
    EXPECT_TRUE(DeriveLayout(Boot(f)));
    f.clusters_per_record = 0xEF;
    refused(f);
    f = {};
    f.sectors_per_cluster = 1;
    f.bytes_per_sector = 300;  // 300-byte records are not a multiple of 512
    f.clusters_per_record = 1;
    refused(f);
    f = {};
    f.mft_cluster = -1;
    refused(f);
    f.mft_cluster = INT64_MAX / 2;
    refused(f);
}

}  // namespace
}  // namespace verandol
