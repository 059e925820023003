#include <gtest/gtest.h>

#include <cstring>

#include "ntfs/fixups.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using testing::Bytes;

// A 1024-byte record protected by count 3, sector ends holding 0xABCD.
Bytes ProtectedRecord() {
    Bytes r = testing::Record({}, 0, 1024, 0xABCD);
    r[48 + 2] = 0x11;  // saved bytes of stride 1
    r[48 + 3] = 0x22;
    r[48 + 4] = 0x33;  // and of stride 2
    r[48 + 5] = 0x44;
    return r;
}

TEST(Fixups, RestoresEveryStrideEndAndLeavesTheArray) {
    Bytes r = ProtectedRecord();
    ASSERT_TRUE(ApplyFixups(r));
    EXPECT_EQ(r[510], 0x11);
    EXPECT_EQ(r[511], 0x22);
    EXPECT_EQ(r[1022], 0x33);
    EXPECT_EQ(r[1023], 0x44);
    EXPECT_EQ(r[48], 0xCD);
    EXPECT_EQ(r[49], 0xAB);
    EXPECT_EQ(r[50], 0x11);
}

TEST(Fixups, EitherByteOfASectorEndMismatchingRejects) {
    Bytes r = ProtectedRecord();
    r[1023] ^= 1;
    EXPECT_FALSE(ApplyFixups(r));

    r = ProtectedRecord();
    r[510] ^= 1;
    Bytes before = r;
    EXPECT_FALSE(ApplyFixups(r));
    EXPECT_EQ(Bytes(r.begin() + 512, r.end()), Bytes(before.begin() + 512, before.end()));
}

TEST(Fixups, SignatureIsExactAndLeavesTheBufferAlone) {
    Bytes r = ProtectedRecord();
    std::memcpy(r.data(), "file", 4);
    Bytes before = r;
    EXPECT_FALSE(ApplyFixups(r));
    EXPECT_EQ(r, before);
    Bytes short_record{'F', 'I', 'L', 'E'};
    EXPECT_FALSE(ApplyFixups(short_record));  // shorter than a header
}

TEST(Fixups, CountZeroOrOneProtectsNothing) {
    for (std::uint64_t count : {0u, 1u}) {
        Bytes r = ProtectedRecord();
        testing::PutLe(r, 6, count, 2);
        Bytes before = r;
        EXPECT_TRUE(ApplyFixups(r));
        EXPECT_EQ(r, before);
    }
}

TEST(Fixups, StrideIsAlways512Bytes) {
    // 4 KiB records with count 9, as volumes with 4096-byte sectors carry.
    Bytes r = testing::Record({}, 0, 4096, 0x0102);
    EXPECT_TRUE(ApplyFixups(r));
    // A 1024-byte record on such a volume is still protected per 512 bytes.
    Bytes small = ProtectedRecord();
    EXPECT_TRUE(ApplyFixups(small));
}

TEST(Fixups, ArraysAndStridesOutsideTheBufferReject) {
    Bytes r = ProtectedRecord();
    testing::PutLe(r, 4, 1020, 2);  // array runs off the end
    EXPECT_FALSE(ApplyFixups(r));
    r = ProtectedRecord();
    testing::PutLe(r, 4, 0xFFFF, 2);
    EXPECT_FALSE(ApplyFixups(r));
    r = ProtectedRecord();
    testing::PutLe(r, 6, 4, 2);  // a third stride the 1024 bytes do not hold
    EXPECT_FALSE(ApplyFixups(r));
    r = ProtectedRecord();
    testing::PutLe(r, 6, 0xFFFF, 2);
    EXPECT_FALSE(ApplyFixups(r));
}

}  // namespace
}  // namespace verandol
