// The deep scan's own parsers on hostile input, and names taken from folder
// indexes on a real formatted volume.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <map>

#include "deep/deep_scan.h"
#include "deep/found_record.h"
#include "deep/index_names.h"
#include "deep/record_groups.h"
#include "ntfs/layout.h"
#include "scan/scan_collector.h"
#include "tests/fixture_support.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using testing::Bytes;
using testing::PutLe;

nlohmann::json FormattedManifest(const std::string& name) {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/" + name + ".formatted.json");
    return nlohmann::json::parse(in);
}

TEST(DeepScanNames, ARecordThatLostItsNameTakesNameAndFolderFromAFolderIndex) {
    const nlohmann::json manifest = FormattedManifest("formatted-same");
    Bytes image = testing::ReadWholeFile(testing::FixtureImagePath("formatted-same"));
    std::map<std::int64_t, nlohmann::json> wiped;
    for (const auto& file : manifest.at("files")) {
        const std::string path = file.at("path");
        if (!file.at("record_survives").get<bool>() || !path.starts_with("/docs/report")) continue;
        testing::WipeFileNames(image, file.at("record_offset").get<std::size_t>());
        wiped[file.at("record_offset").get<std::int64_t>()] = file;
    }
    ASSERT_GT(wiped.size(), 10u);
    MemoryVolume volume(std::move(image));
    ScanCollector scan;
    DeepScanVolume(volume, "formatted-same", "formatted-same", scan);
    ASSERT_EQ(scan.end, ScanEnd::Completed);
    // Where the folder's index block survived, its entries name the files;
    // it did for the files in use at the format whose clusters survived.
    std::size_t expected_named = 0;
    for (const auto& [offset, file] : wiped)
        expected_named += !file.at("deleted").get<bool>() && file.at("data_survives").get<bool>();
    std::size_t named = 0;
    for (const DeletedFileRow& row : scan.rows) {
        auto file = wiped.find(row.position);
        if (file == wiped.end() || row.name.empty()) continue;
        EXPECT_EQ(row.name, file->second.at("name"));
        EXPECT_EQ(row.type, ".bin");
        EXPECT_EQ(row.folder, "/docs");
        ++named;
    }
    EXPECT_GE(named, expected_named);
    EXPECT_GT(expected_named, 5u);
}

// An index block of 4 KiB: a live entry, the end entry, and in the slack an
// entry left behind, a torn one and one whose name overruns its key.
Bytes IndexEntry(std::uint64_t file, std::uint64_t parent, const std::u16string& name, std::uint16_t flags = 0) {
    const std::size_t key = 66 + 2 * name.size();
    Bytes e((16 + key + 7) / 8 * 8);
    PutLe(e, 0, file, 8);
    PutLe(e, 8, e.size(), 2);
    PutLe(e, 10, key, 2);
    PutLe(e, 12, flags, 2);
    PutLe(e, 16, parent, 8);
    e[16 + 64] = static_cast<std::uint8_t>(name.size());
    e[16 + 65] = 1;
    for (std::size_t i = 0; i < name.size(); ++i) PutLe(e, 16 + 66 + 2 * i, name[i], 2);
    return e;
}

Bytes IndexBlock(const std::vector<Bytes>& live, const std::vector<std::pair<std::size_t, Bytes>>& slack) {
    Bytes b(4096);
    std::memcpy(b.data(), "INDX", 4);
    PutLe(b, 4, 40, 2);
    PutLe(b, 6, 9, 2);
    const std::size_t first = 64;
    PutLe(b, 24, first - 24, 4);
    std::size_t at = first;
    for (const Bytes& e : live) {
        std::memcpy(&b[at], e.data(), e.size());
        at += e.size();
    }
    Bytes end(16);
    PutLe(end, 8, 16, 2);
    PutLe(end, 12, layout::index_entry::kFlagLast, 2);
    std::memcpy(&b[at], end.data(), end.size());
    at += end.size();
    PutLe(b, 28, at - 24, 4);
    PutLe(b, 32, 4096 - 24, 4);
    for (const auto& [offset, e] : slack) std::memcpy(&b[offset], e.data(), e.size());
    for (std::size_t i = 1; i <= 8; ++i) {  // the update sequence, 0x0001 at every stride end
        b[40 + 2 * i] = b[512 * i - 2];
        b[41 + 2 * i] = b[512 * i - 1];
        PutLe(b, 512 * i - 2, 1, 2);
    }
    PutLe(b, 40, 1, 2);
    return b;
}

TEST(IndexBlockNames, LiveEntriesAndSlackYieldNamesWhileDamageYieldsNothingFalse) {
    Bytes overrun = IndexEntry(40, 5, u"overrun");
    overrun[16 + 64] = 200;  // more units than the key holds
    Bytes torn = IndexEntry(41, 5, u"torn");
    PutLe(torn, 8, 4000, 2);  // runs past the block
    const Bytes block = IndexBlock({IndexEntry(30 | (std::uint64_t{2} << 48), 77, u"live.txt"), IndexEntry(3, 5, u"$LogFile")},
                                   {{1000, IndexEntry(31, 77, u"gone.doc")}, {1200, overrun}, {1400, torn},
                                    {2000, IndexEntry(32, 77, u"later.jpg")}});
    const std::vector<IndexedName> names = ReadIndexBlockNames(block);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0].name, u"live.txt");
    EXPECT_EQ(names[0].file_reference, 30 | (std::uint64_t{2} << 48));
    EXPECT_EQ(names[0].parent_reference, 77u);
    EXPECT_FALSE(names[0].from_slack);
    EXPECT_EQ(names[1].name, u"gone.doc");
    EXPECT_TRUE(names[1].from_slack);
    EXPECT_EQ(names[2].name, u"later.jpg");

    // A torn write (a stride end without the sequence number) gives nothing;
    // so does a block cut short of the size its header claims.
    Bytes damaged = block;
    damaged[2047] ^= 0xFF;
    EXPECT_TRUE(ReadIndexBlockNames(damaged).empty());
    EXPECT_TRUE(ReadIndexBlockNames(ByteSpan(block).first(2048)).empty());
}

TEST(FoundRecords, OnlyRecordsWhoseHeaderHoldsTogetherAreTaken) {
    Bytes image = testing::ReadWholeFile(testing::FixtureImagePath("formatted-other"));
    const std::size_t at = FormattedManifest("formatted-other").at("files")[20].at("record_offset");
    const Bytes good(image.begin() + static_cast<std::ptrdiff_t>(at), image.begin() + static_cast<std::ptrdiff_t>(at + 1024));
    std::vector<std::uint8_t> record;
    const auto header = TakeFoundRecord(good, record);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->record_size, 1024u);
    EXPECT_EQ(header->number, FormattedManifest("formatted-other").at("files")[20].at("mft_record").get<std::uint32_t>());

    const auto broken = [&](std::size_t offset, std::uint64_t value, std::size_t width) {
        Bytes b = good;
        PutLe(b, offset, value, width);
        return !TakeFoundRecord(b, record);
    };
    EXPECT_TRUE(broken(28, 1000, 4));    // not a power of two
    EXPECT_TRUE(broken(28, 1 << 20, 4)); // larger than any record
    EXPECT_TRUE(broken(6, 4, 2));        // too few update sequence entries for its size
    EXPECT_TRUE(broken(4, 0x2A, 2));     // an old header without the record's number
    EXPECT_TRUE(broken(20, 1020, 2));    // first attribute past the record
    EXPECT_TRUE(broken(24, 5000, 4));    // more bytes in use than allocated
    EXPECT_TRUE(broken(510, 0xBEEF, 2)); // a torn sector
    EXPECT_FALSE(TakeFoundRecord(ByteSpan(good).first(1000), record));
}

// $MFTMirr copies records 0 to 3, so a mirror found on its own is a group
// whose record 0 describes the MFT elsewhere: believed, it would put the
// volume's cluster 0, and the pieces of the MFT, where they are not.
TEST(RecordGroupOrigin, RecordZeroPlacesTheVolumeOnlyOnceTheGroupShowsARecordAMirrorDoesNotHold) {
    // Record 0 of an MFT of four 4 KiB clusters at cluster 16.
    Bytes runs = testing::RunListEntry(4, 16);
    runs.push_back(0);
    const Bytes zero = testing::Record({testing::NonResidentData(runs, 4 * 4096, 0, 3)});
    const Bytes plain = testing::Record({});
    const auto header = [](std::uint32_t number) { return FoundRecordHeader{1024, number, 1, 0, 1}; };

    RecordGroups groups(std::nullopt, 0, {});
    const std::int64_t mirror = 0x200000;  // records 0 to 3 alone
    std::size_t group = 0;
    for (std::uint32_t number = 0; number < 4; ++number) {
        group = groups.GroupOf(mirror + number * 1024, header(number), std::nullopt);
        groups.Learn(group, header(number), number == 0 ? zero : plain);
    }
    EXPECT_FALSE(groups.Group(group).origin);

    const std::int64_t mft = 0x500000 + 16 * 4096;  // a volume at 5 MiB
    for (std::uint32_t number : {0u, 1u, 16u}) {
        group = groups.GroupOf(mft + number * 1024, header(number), std::nullopt);
        groups.Learn(group, header(number), number == 0 ? zero : plain);
    }
    ASSERT_TRUE(groups.Group(group).origin);
    EXPECT_EQ(*groups.Group(group).origin, 0x500000);
}

}  // namespace
}  // namespace verandol
