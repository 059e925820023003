#include <gtest/gtest.h>

#include "ntfs/run_list.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using testing::Bytes;

TEST(RunList, ThreeRunExample) {
    // 8 clusters at 4096, 4 at 4096 - 16, then a sparse run of 2.
    Bytes list = {0x31, 0x08, 0x00, 0x10, 0x00, 0x11, 0x04, 0xF0, 0x01, 0x02, 0x00};
    DecodedRunList d = DecodeRunList(list);
    EXPECT_TRUE(d.reason.empty());
    ASSERT_EQ(d.runs.size(), 3u);
    EXPECT_EQ(d.runs[0].clusters, 8u);
    EXPECT_EQ(d.runs[0].lcn, 4096);
    EXPECT_EQ(d.runs[1].clusters, 4u);
    EXPECT_EQ(d.runs[1].lcn, 4080);
    EXPECT_TRUE(d.runs[2].sparse);
    EXPECT_EQ(d.runs[2].clusters, 2u);
}

TEST(RunList, FirstOffsetUnsignedLaterOffsetsSigned) {
    DecodedRunList d = DecodeRunList(Bytes{0x11, 0x01, 0x80, 0x11, 0x01, 0x80, 0x11, 0x01, 0x7F, 0x00});
    ASSERT_EQ(d.runs.size(), 3u);
    EXPECT_EQ(d.runs[0].lcn, 128);
    EXPECT_EQ(d.runs[1].lcn, 0);  // 128 - 128
    EXPECT_EQ(d.runs[2].lcn, 127);
    // A four-byte 00 FF FF FF is -256.
    d = DecodeRunList(Bytes{0x21, 0x01, 0x00, 0x04, 0x41, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x00});
    ASSERT_EQ(d.runs.size(), 2u);
    EXPECT_EQ(d.runs[1].lcn, 1024 - 256);
}

TEST(RunList, SparseRunsKeepTheCurrentCluster) {
    // A run with an offset field holding zero is sparse too, even the first.
    DecodedRunList d = DecodeRunList(Bytes{0x11, 0x02, 0x00, 0x11, 0x01, 0x20, 0x01, 0x03, 0x11, 0x01, 0x10, 0x00});
    ASSERT_EQ(d.runs.size(), 4u);
    EXPECT_TRUE(d.runs[0].sparse);
    EXPECT_EQ(d.runs[1].lcn, 0x20);
    EXPECT_TRUE(d.runs[2].sparse);
    EXPECT_EQ(d.runs[3].lcn, 0x30);
}

TEST(RunList, ALengthlessRunStillMovesTheCurrentCluster) {
    DecodedRunList d = DecodeRunList(Bytes{0x10, 0x40, 0x11, 0x01, 0x02, 0x00});
    ASSERT_EQ(d.runs.size(), 2u);
    EXPECT_EQ(d.runs[0].clusters, 0u);
    EXPECT_EQ(d.runs[1].lcn, 0x42);
}

TEST(RunList, DamagedListsKeepTheRunsBeforeTheDamage) {
    // No end marker.
    DecodedRunList d = DecodeRunList(Bytes{0x11, 0x01, 0x05});
    EXPECT_EQ(d.runs.size(), 1u);
    EXPECT_FALSE(d.reason.empty());
    // A run whose fields reach past the end.
    d = DecodeRunList(Bytes{0x11, 0x01, 0x05, 0x33, 0x01});
    EXPECT_EQ(d.runs.size(), 1u);
    EXPECT_FALSE(d.reason.empty());
    // Fields wider than eight bytes.
    d = DecodeRunList(Bytes{0x19, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0x00});
    EXPECT_TRUE(d.runs.empty());
    EXPECT_FALSE(d.reason.empty());
    // An empty buffer has no end marker either.
    EXPECT_FALSE(DecodeRunList(Bytes{}).reason.empty());
}

TEST(RunList, NegativeAndOverflowingClusters) {
    DecodedRunList d = DecodeRunList(Bytes{0x11, 0x01, 0x02, 0x11, 0x01, 0xF0, 0x00});
    ASSERT_EQ(d.runs.size(), 2u);
    EXPECT_FALSE(d.runs[1].valid);  // 2 - 16 is before the volume
    d = DecodeRunList(Bytes{0x81, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
    EXPECT_TRUE(d.runs.empty());
    EXPECT_FALSE(d.reason.empty());
    Bytes up = {0x81, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F,
                0x81, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x00};
    d = DecodeRunList(up);
    EXPECT_EQ(d.runs.size(), 1u);
    EXPECT_FALSE(d.reason.empty());
}

}  // namespace
}  // namespace verandol
