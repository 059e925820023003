// The reading layer under every pass: what a failing device costs.
#include <gtest/gtest.h>

#include <numeric>

#include "disk/offset_view.h"
#include "reading/careful_source.h"
#include "tests/faulty_source.h"

namespace verandol {
namespace {

using testing::FaultySource;

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 512 + 1);
    return bytes;
}

class CarefulReads : public ::testing::TestWithParam<FaultySource::Style> {};

// Every good byte is served, exactly the bad sectors are zero and reported,
// and however often passes cross the spot, each bad sector is asked of the
// device no more than the retries allow, with few failing reads in all.
TEST_P(CarefulReads, LoseOnlyTheBadSectorsAndReadEachOnce) {
    MemoryVolume image(Pattern(4 << 20));
    const std::vector<UnreadRange> bad = {{1'000'448, 10'240}, {3'000'320, 512}};
    auto device = std::make_shared<FaultySource>(image, bad, GetParam());
    auto map = std::make_shared<BadSectorMap>();
    CarefulSource careful(device, map, ReadPolicy{512, 0});

    std::vector<std::uint8_t> out(4 << 20, 0xEE);
    std::vector<UnreadRange> unread;
    ASSERT_EQ(careful.ReadAround(0, out, unread), out.size());
    EXPECT_EQ(unread, bad);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const bool in_bad = std::any_of(bad.begin(), bad.end(), [&](const UnreadRange& r) {
            return static_cast<std::int64_t>(i) >= r.position && static_cast<std::int64_t>(i) < r.End();
        });
        ASSERT_EQ(out[i], in_bad ? 0 : image.Bytes()[i]) << "byte " << i;
    }
    // 21 bad sectors: a few reads more than that to find them, not one per request.
    EXPECT_LE(device->FailingReads(), 21 + 6);
    const int failing_after_first_pass = device->FailingReads();

    // Later passes: record-sized reads across the spot, and a read that ends inside a bad sector.
    for (std::int64_t at = 990'000; at < 1'020'000; at += 1024) {
        std::vector<std::uint8_t> record(1024);
        std::vector<UnreadRange> lost;
        careful.ReadAround(at, record, lost);
    }
    std::vector<std::uint8_t> some(700);
    EXPECT_EQ(careful.ReadAt(1'000'000, some), 448u) << "ReadAt stops where the first bad sector starts";
    EXPECT_EQ(device->FailingReads(), failing_after_first_pass) << "a known bad sector is never read again";
    // The read that met it and the one that pinned it down; a device that
    // fails whole requests is also met by one probing read.
    EXPECT_LE(device->MostReadsOfABadSector(), GetParam() == FaultySource::Style::ShortRead ? 2 : 3);
    EXPECT_EQ(map->BadBytes(), 10'240 + 512);
    EXPECT_EQ(careful.UnreadSoFar(), bad);
}

INSTANTIATE_TEST_SUITE_P(DeviceStyles, CarefulReads,
                         ::testing::Values(FaultySource::Style::ShortRead, FaultySource::Style::WholeRequest));

TEST(CarefulReadsRetries, ASectorThatReadsOnATryIsServedAndNotMarked) {
    MemoryVolume image(Pattern(64 * 1024));
    auto device = std::make_shared<FaultySource>(image, std::vector<UnreadRange>{});
    device->FailNextReads(8192, 2);
    auto map = std::make_shared<BadSectorMap>();
    CarefulSource careful(device, map, ReadPolicy{512, 1});
    std::vector<std::uint8_t> out(64 * 1024);
    std::vector<UnreadRange> unread;
    careful.ReadAround(0, out, unread);
    EXPECT_TRUE(unread.empty());
    EXPECT_EQ(out, image.Bytes());
    EXPECT_EQ(map->BadBytes(), 0);

    // Without retries the same transient fault is a bad sector.
    device->FailNextReads(8192, 2);
    CarefulSource hasty(device, std::make_shared<BadSectorMap>(), ReadPolicy{512, 0});
    hasty.ReadAround(0, out, unread);
    EXPECT_EQ(unread, (std::vector<UnreadRange>{{8192, 512}}));
}

// A partition sees the disk's faults in its own positions, and only its own.
TEST(CarefulReadsThroughAPartition, PositionsAreThePartitions) {
    MemoryVolume image(Pattern(1 << 20));
    auto device = std::make_shared<FaultySource>(image, std::vector<UnreadRange>{{4096, 512}, {600'064, 1024}});
    auto careful = std::make_shared<CarefulSource>(device, std::make_shared<BadSectorMap>(), ReadPolicy{512, 0});
    OffsetView partition(careful, 512 * 1024, 512 * 1024);
    std::vector<std::uint8_t> out(128 * 1024);
    std::vector<UnreadRange> unread;
    partition.ReadAround(0, out, unread);
    EXPECT_EQ(unread, (std::vector<UnreadRange>{{600'064 - 512 * 1024, 1024}}));
    std::vector<std::uint8_t> whole(1 << 20);
    std::vector<UnreadRange> all;
    careful->ReadAround(0, whole, all);
    EXPECT_EQ(partition.UnreadSoFar(), (std::vector<UnreadRange>{{600'064 - 512 * 1024, 1024}}));
}

}  // namespace
}  // namespace verandol
