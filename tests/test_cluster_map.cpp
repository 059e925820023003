#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ntfs/byte_source.h"
#include "ntfs/cluster_map.h"

namespace verandol {
namespace {

using Kind = ClusterExtent::Kind;
using Stop = ClusterMap::Gathered::Stop;
using DataRun = verandol::Run;  // gtest's Test::Run would hide it
constexpr std::int64_t kCluster = 512;

DataRun Stored(std::uint64_t clusters, std::int64_t lcn) { return DataRun{clusters, lcn, false, true}; }
DataRun Sparse(std::uint64_t clusters) { return DataRun{clusters, 0, true, true}; }

// A 16-cluster volume whose every byte says which cluster it lies in.
MemoryVolume NumberedVolume() {
    std::vector<std::uint8_t> bytes(16 * kCluster);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i / kCluster);
    return MemoryVolume(std::move(bytes));
}

TEST(ClusterMap, PiecesAreTrimmedWhereTheyOverlapAndLeaveGapsUnmapped) {
    ClusterMap map(kCluster);
    ASSERT_TRUE(map.AddPiece({Stored(4, 10), DataRun{0, 3, false, true}, Sparse(2)}, 0));
    // Overlaps clusters 4..5 of the first piece; only 6..7 is new, at lcn 2 + 2.
    ASSERT_TRUE(map.AddPiece({Stored(4, 2)}, 4));
    ASSERT_TRUE(map.AddPiece({DataRun{1, -3, false, false}}, 10));  // a gap at 8..9, then a run before the volume
    EXPECT_FALSE(map.AddPiece({Stored(1, 1)}, -1));
    EXPECT_FALSE(ClusterMap().AddPiece({Stored(1, 1)}, 0)) << "no cluster size";

    const auto& e = map.Extents();
    ASSERT_EQ(e.size(), 4u) << "the empty run is dropped";
    EXPECT_EQ(e[1].kind, Kind::Hole);
    EXPECT_EQ(e[2].vcn, 6);
    EXPECT_EQ(e[2].clusters, 2);
    EXPECT_EQ(e[2].lcn, 4);
    EXPECT_EQ(e[3].kind, Kind::Unreadable);

    std::size_t hint = 3;  // a stale hint is safe
    auto place = map.Find(kCluster + 7, hint);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->kind, Kind::Stored);
    EXPECT_EQ(place->position, 11 * kCluster + 7);
    EXPECT_EQ(place->contiguous, 3 * kCluster - 7);
    EXPECT_FALSE(map.Find(8 * kCluster, hint)) << "the gap";
    EXPECT_FALSE(map.Find(-1, hint));
    EXPECT_EQ(map.Find(10 * kCluster, hint)->kind, Kind::Unreadable);

    EXPECT_EQ(map.OffsetAt(5 * kCluster + 1), 7 * kCluster + 1);
    EXPECT_FALSE(map.OffsetAt(9 * kCluster));
}

TEST(ClusterMap, HostileLengthsAndPositionsNeverOverflow) {
    // Runs of 2^64 - 1 clusters, the first far past any volume.
    ClusterMap map = ClusterMap::FromRuns({Stored(UINT64_MAX, INT64_MAX / 2), Stored(UINT64_MAX, 1)}, kCluster);
    ASSERT_GE(map.Extents().size(), 1u);
    std::size_t hint = 0;
    auto place = map.Find(0, hint);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->kind, Kind::Unreadable) << "its byte position does not fit";
    EXPECT_EQ(place->contiguous, INT64_MAX);
    EXPECT_FALSE(map.OffsetAt(0));
    MemoryVolume volume = NumberedVolume();
    std::vector<std::uint8_t> out(8);
    EXPECT_EQ(map.Read(volume, 0, out, ClusterMap::Holes::Zeros).stop, Stop::Unreadable);
    const ClusterMap from_start = ClusterMap::FromRuns({Stored(UINT64_MAX, 0)}, kCluster);
    EXPECT_EQ(from_start.Find(INT64_MAX - 2, hint)->position, INT64_MAX - 2);
    EXPECT_EQ(from_start.Read(volume, INT64_MAX - 2, out, ClusterMap::Holes::Zeros).stop, Stop::Short);
}

TEST(ClusterMap, GatheredReadCrossesExtentsAndSaysWhereItStopped) {
    MemoryVolume volume = NumberedVolume();
    const ClusterMap map = ClusterMap::FromRuns({Stored(1, 3), Sparse(1), Stored(1, 9), Stored(2, 15)}, kCluster);
    std::vector<std::uint8_t> out(3 * kCluster);
    auto read = map.Read(volume, kCluster - 2, out, ClusterMap::Holes::Zeros);
    EXPECT_EQ(read.stop, Stop::Complete);
    EXPECT_EQ(read.first_position, 4 * kCluster - 2);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[2], 0) << "the hole reads as zeros";
    EXPECT_EQ(out[kCluster + 2], 9);
    EXPECT_EQ(out.back(), 15);

    read = map.Read(volume, 0, out, ClusterMap::Holes::Refuse);
    EXPECT_EQ(read.stop, Stop::Hole);
    EXPECT_EQ(read.bytes, static_cast<std::size_t>(kCluster));
    // Cluster 16 lies past the volume's end.
    read = map.Read(volume, 3 * kCluster, out, ClusterMap::Holes::Zeros);
    EXPECT_EQ(read.stop, Stop::Short);
    out.resize(6 * kCluster);
    EXPECT_EQ(map.Read(volume, 0, out, ClusterMap::Holes::Zeros).stop, Stop::Short);
    const ClusterMap inside = ClusterMap::FromRuns({Stored(2, 1)}, kCluster);
    read = inside.Read(volume, 0, out, ClusterMap::Holes::Zeros);
    EXPECT_EQ(read.stop, Stop::Unmapped) << "the runs end before the value";
    EXPECT_EQ(read.bytes, static_cast<std::size_t>(2 * kCluster));
}

}  // namespace
}  // namespace verandol
