#include <gtest/gtest.h>

#include "ntfs/attribute_list.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using testing::Bytes;
using testing::PutLe;

Bytes Entry(std::uint32_t type, std::int64_t vcn, std::uint64_t record, std::uint16_t sequence, std::uint16_t id,
            std::uint8_t name_length = 0, std::size_t length = 0) {
    Bytes e(length ? length : (26 + 2 * name_length + 7) / 8 * 8);
    PutLe(e, 0, type, 4);
    PutLe(e, 4, e.size(), 2);
    e[6] = name_length;
    e[7] = 26;
    PutLe(e, 8, static_cast<std::uint64_t>(vcn), 8);
    PutLe(e, 16, record | std::uint64_t{sequence} << 48, 8);
    PutLe(e, 24, id, 2);
    return e;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(AttributeList, EntriesGiveTypePieceRecordSequenceAndId) {
    const ParsedAttributeList list = ParseAttributeList(
        Join({Entry(0x10, 0, 70, 3, 0), Entry(0x80, 0, 70, 3, 4, 3), Entry(0x80, 355, 0x123456789A, 7, 9),
              Bytes(20, 0xEE)}));  // too short for another entry: ignored
    EXPECT_TRUE(list.reason.empty()) << list.reason;
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[1].type, 0x80u);
    EXPECT_EQ(list.entries[1].name_length, 3);
    EXPECT_EQ(list.entries[1].attribute_id, 4);
    EXPECT_EQ(list.entries[2].first_vcn, 355);
    EXPECT_EQ(list.entries[2].record, 0x123456789Au);
    EXPECT_EQ(list.entries[2].sequence, 7);
}

TEST(AttributeList, ImpossibleEntriesStopTheListAndSayWhy) {
    const Bytes good = Entry(0x30, 0, 70, 1, 2);
    Bytes negative = Entry(0x80, 0, 70, 1, 3);
    PutLe(negative, 8, ~std::uint64_t{0}, 8);
    for (const auto& [what, bad] : {std::pair{"zero length", Entry(0x80, 0, 70, 1, 3, 0, 0x20)},
                                    std::pair{"past the value", Entry(0x80, 0, 70, 1, 3, 0, 0x28)},
                                    std::pair{"name longer than the entry", Entry(0x80, 0, 70, 1, 3, 9, 0x20)},
                                    std::pair{"negative cluster", negative}}) {
        Bytes value = Join({good, bad});
        if (std::string(what) == "zero length") PutLe(value, good.size() + 4, 0, 2);
        if (std::string(what) == "past the value") value.resize(good.size() + 0x20);
        const ParsedAttributeList list = ParseAttributeList(value);
        EXPECT_EQ(list.entries.size(), 1u) << what;
        EXPECT_FALSE(list.reason.empty()) << what;
    }
}

}  // namespace
}  // namespace verandol
