#include <gtest/gtest.h>

#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using namespace testing;

std::u16string NameFound(const Bytes& record, bool skip_dos) {
    ByteSpan a = FindAttribute(record, 0x30, skip_dos);
    if (a.empty()) return u"<none>";
    return *ReadFileNameUnits(a);
}

TEST(FindAttribute, DosNameFilter) {
    Bytes r = Record({FileName(u"LONGFI~1.TXT", 2), FileName(u"long file.txt", 1)});
    EXPECT_EQ(NameFound(r, true), u"long file.txt");
    EXPECT_EQ(NameFound(r, false), u"LONGFI~1.TXT");

    EXPECT_EQ(NameFound(Record({FileName(u"both.txt", 3)}), true), u"both.txt");
    EXPECT_EQ(NameFound(Record({FileName(u"posix", 0)}), true), u"posix");
    EXPECT_EQ(NameFound(Record({FileName(u"DOS.TXT", 2)}), true), u"<none>");
    EXPECT_EQ(NameFound(Record({FileName(u"odd", 7), FileName(u"next", 1)}), true), u"next");
}

TEST(FindAttribute, FilterOnlyAppliesToFileNames) {
    // A $DATA whose byte 89 happens to be 2 is still found.
    Bytes data = ResidentData(Bytes(80, 2));
    Bytes r = Record({data});
    EXPECT_FALSE(FindAttribute(r, 0x80, true).empty());
}

TEST(FindAttribute, FirstInRecordOrderAndWholeTypeCodes) {
    Bytes first = ResidentData(Bytes(5, 'a'));
    Bytes second = ResidentData(Bytes(9, 'b'));
    Bytes r = Record({first, second});
    EXPECT_EQ(ResidentValue(FindAttribute(r, 0x80, false))->size(), 5u);

    Bytes odd = FileName(u"x", 1);
    PutLe(odd, 0, 0x130, 4);
    EXPECT_TRUE(FindAttribute(Record({odd}), 0x30, false).empty());
    // Types are not sorted: a larger type before the wanted one does not end the search.
    EXPECT_FALSE(FindAttribute(Record({ResidentData({}), StandardInformation(1, 2)}), 0x10, false).empty());
    EXPECT_TRUE(FindAttribute(Record({StandardInformation(1, 2)}), 0x80, false).empty());
}

TEST(FindAttribute, BufferWithoutSignatureStartsWithAnAttribute) {
    Bytes a = FileName(u"bare", 1);
    EXPECT_EQ(NameFound(a, true), u"bare");
}

TEST(FindAttribute, WalkLimits) {
    // A zero length before the wanted attribute ends the walk instead of looping.
    Bytes zero = StandardInformation(1, 2);
    PutLe(zero, 4, 0x10000, 4);  // low 16 bits are zero
    EXPECT_TRUE(FindAttribute(Record({zero, ResidentData({})}), 0x80, false).empty());

    // No end marker: attributes run to the end of the buffer.
    Bytes filler = StandardInformation(1, 2);
    Bytes r = Record({filler});
    for (std::size_t p = 56 + filler.size(); p + filler.size() <= r.size(); p += filler.size())
        std::copy(filler.begin(), filler.end(), r.begin() + static_cast<long>(p));
    EXPECT_TRUE(FindAttribute(r, 0x80, false).empty());

    // First attribute offset beyond the buffer.
    r = Record({ResidentData({})});
    PutLe(r, 20, 2000, 2);
    EXPECT_TRUE(FindAttribute(r, 0x80, false).empty());

    // "FILE" but shorter than a header.
    EXPECT_TRUE(FindAttribute(Bytes{'F', 'I', 'L', 'E', 0, 0}, 0x80, false).empty());

    // Namespace byte past the end of the buffer.
    Bytes name = FileName(u"n", 1);
    name.resize(60);
    PutLe(name, 4, 60, 4);
    EXPECT_TRUE(FindAttribute(name, 0x30, true).empty());
}

TEST(FindAttribute, LastAttributeTooLongIsCutAtTheBuffer) {
    Bytes r = Record({ResidentData(Bytes(16, 'x'))});
    ByteSpan a = FindAttribute(r, 0x80, false);
    const std::size_t offset = static_cast<std::size_t>(a.data() - r.data());
    PutLe(r, offset + 4, 0x7FFFFFFF, 4);
    a = FindAttribute(r, 0x80, false);
    EXPECT_EQ(a.size(), r.size() - offset);
}

// A $DATA whose name (its first `units` UTF-16 units of value) starts at
// the value: how a named stream's header points at its name.
Bytes NamedData(const std::u16string& name, std::uint8_t units, std::uint16_t name_offset) {
    Bytes value;
    for (char16_t unit : name) {
        value.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        value.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    Bytes a = ResidentData(value);
    a[9] = units;
    PutLe(a, 10, name_offset, 2);
    return a;
}

TEST(NamedAttributes, StreamsAreFoundByTheirNamesWhichAreReadOnlyInsideTheCopy) {
    const Bytes plain = ResidentData({1, 2, 3});
    const Bytes ads = NamedData(u"ADS", 3, 24);
    const Bytes r = Record({plain, ads, NamedData(u"Zone.Identifier", 15, 24)});
    const std::vector<ByteSpan> named = NamedAttributes(r, 0x80);
    ASSERT_EQ(named.size(), 2u);
    EXPECT_EQ(ReadAttributeName(named[0]), u"ADS");
    EXPECT_EQ(ReadAttributeName(named[1]), u"Zone.Identifier");
    EXPECT_EQ(ReadAttributeName(FindAttribute(r, 0x80, false)), u"");
    EXPECT_TRUE(NamedAttributes(r, 0x30).empty());

    // A name that runs past its attribute, or starts far outside it.
    EXPECT_EQ(ReadAttributeName(NamedData(u"AB", 200, 24)), std::nullopt);
    EXPECT_EQ(ReadAttributeName(NamedData(u"AB", 255, 0xFFFF)), std::nullopt);
    EXPECT_EQ(ReadAttributeName(ByteSpan(ads).first(10)), std::nullopt);
}

TEST(AttributeValues, ValuesAreTakenOnlyAsFarAsTheCopyReaches) {
    Bytes name = FileName(u"abcdef", 1);
    EXPECT_EQ(*ReadFileNameUnits(ByteSpan(name).first(90 + 4)), u"ab");
    EXPECT_FALSE(ReadFileNameUnits(ByteSpan(name).first(88)));

    Bytes si = StandardInformation(111, 222);
    EXPECT_EQ(ReadStandardTimes(si)->modified, 222u);
    EXPECT_FALSE(ReadStandardTimes(ByteSpan(si).first(39)));

    Bytes resident = ResidentData(Bytes(300, 1));
    EXPECT_EQ(ReadListedDataSize(resident), 300);
    Bytes big = NonResidentData({0}, 5000000);
    EXPECT_EQ(ReadListedDataSize(big), 5000000);
    // Only the bytes inside the copy count: two of the eight size bytes give a smaller number.
    EXPECT_EQ(ReadListedDataSize(ByteSpan(big).first(50)), 5000000 & 0xFFFF);
}

TEST(AttributeValues, RealRecordsFromTheFixtureLayout) {
    Bytes r = Record({StandardInformation(1, 2), FileName(u"a.txt", 3), ResidentData({'h', 'i'})}, 0, 4096);
    ASSERT_TRUE(ApplyFixups(r));
    EXPECT_EQ(NameFound(r, true), u"a.txt");
    EXPECT_EQ(ResidentValue(FindAttribute(r, 0x80, false))->size(), 2u);
}

}  // namespace
}  // namespace verandol
