#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "text/display_settings.h"
#include "scan/scan_collector.h"
#include "scan/row_filter.h"
#include "scan/scan_volume.h"
#include "tests/fixture_support.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using namespace testing;

ScanCollector ScanImage(const std::string& name) {
    ScanCollector c;
    ScanVolumePath(name, FixtureImagePath(name), c);
    return c;
}

class ScanFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(ScanFixture, ListsExactlyTheDeletedFiles) {
    const Manifest m = LoadManifest(GetParam());
    ScanCollector c = ScanImage(GetParam());
    ASSERT_EQ(c.end, ScanEnd::Completed) << c.reason;

    std::multimap<std::string, const DeletedFileRow*> by_name;
    for (const auto& row : c.rows) by_name.emplace(row.name, &row);
    for (const ManifestFile& f : m.Deleted()) {
        auto [first, last] = by_name.equal_range(f.name);
        bool found = std::any_of(first, last, [&](auto& e) {
            return e.second->size == f.size && e.second->position == m.RecordPosition(f.mft_record);
        });
        EXPECT_TRUE(found) << f.path << " not listed with size " << f.size;
    }
    for (const ManifestFile& f : m.files) {
        if (f.deleted) continue;
        for (const auto& row : c.rows)
            EXPECT_FALSE(row.name == f.name && row.position == m.RecordPosition(f.mft_record))
                << "listed a file that stays: " << f.path;
    }
    EXPECT_EQ(c.rows.size(), m.Deleted().size());
    EXPECT_EQ(c.last_progress, c.progress_max);
}

TEST_P(ScanFixture, FiguresAndPublishedGeometry) {
    const Manifest m = LoadManifest(GetParam());
    ScanCollector c = ScanImage(GetParam());
    ASSERT_GE(c.texts.size(), 6u);
    EXPECT_EQ(c.texts[0], "Disk Name: " + m.label);
    EXPECT_EQ(c.texts[1], "Disk Serial: " + m.serial);
    EXPECT_EQ(c.texts[2], "Drive Size: " + std::to_string(m.total_sectors * m.bytes_per_sector / 1024) + " KB");
    ASSERT_TRUE(c.published);
    EXPECT_EQ(c.published->path, FixtureImagePath(GetParam()));
    EXPECT_EQ(c.published->geometry.RecordSize, m.record_size);
    // The MFT's whole span, the last cluster included.
    std::int64_t clusters = 0;
    for (auto [lcn, count] : m.mft_extents) clusters += count;
    EXPECT_EQ(c.texts[4], "MFT Size: " + std::to_string(clusters * m.cluster_size / 1024) + " KB");
    EXPECT_EQ(c.texts[5], "All Files: " + std::to_string(clusters * m.cluster_size / m.record_size));
}

INSTANTIATE_TEST_SUITE_P(AllFixtures, ScanFixture, ::testing::ValuesIn(FixtureNames()),
                         FixtureTestName<::testing::TestParamInfo<std::string>>);

TEST(Scan, FragmentedMftListsDeletedFilesOfEveryExtent) {
    const Manifest m = LoadManifest("frag-mft");
    ASSERT_GE(m.mft_extents.size(), 2u);
    ScanCollector c = ScanImage("frag-mft");
    const std::int64_t first_extent_end = (m.mft_extents[0].first + m.mft_extents[0].second) * m.cluster_size;
    bool beyond_first = false;
    for (const auto& row : c.rows) beyond_first |= row.position >= first_extent_end;
    EXPECT_TRUE(beyond_first);
}

// Each crafted record: a deleted file of the given name and data.
Bytes DeletedFile(const std::u16string& name, std::uint16_t flags = 0) {
    return Record({StandardInformation(132619144290000000, 132619144290000000), FileName(name, 1),
                   ResidentData(Bytes(300, 'x'))},
                  flags);
}

TEST(Scan, OnlyRecordsWithAZeroFlagsWordAndAllThreeAttributesAreListed) {
    Bytes no_data = Record({StandardInformation(1, 1), FileName(u"nodata", 1)});
    Bytes dos_only = Record({StandardInformation(1, 1), FileName(u"DOS~1", 2), ResidentData({})});
    Bytes no_times = Record({FileName(u"notimes", 1), ResidentData({})});
    CraftedVolume v = CraftVolume({DeletedFile(u"a.txt"), DeletedFile(u"dir", 2), DeletedFile(u"used", 1),
                                   DeletedFile(u"useddir", 3), no_data, dos_only, no_times, DeletedFile(u"README")});
    MemoryVolume volume(v.bytes);
    ScanCollector c;
    ScanVolume(volume, "mem", "", c);
    ASSERT_EQ(c.end, ScanEnd::Completed) << c.reason;
    ASSERT_EQ(c.rows.size(), 2u);
    EXPECT_EQ(c.rows[0].name, "a.txt");
    EXPECT_EQ(c.rows[0].type, ".txt");
    EXPECT_EQ(c.rows[0].size_text, "300");
    EXPECT_EQ(c.rows[0].position_text, "0x8000");
    EXPECT_EQ(c.rows[1].name, "README");
    EXPECT_EQ(c.rows[1].type, "");
    EXPECT_EQ(c.rows[1].position, CraftedVolume::RecordPosition(23));
}

// Rewrites record 0 of a crafted volume with another $DATA.
void ReplaceRecord0(CraftedVolume& v, const Bytes& data_attribute) {
    Bytes record0 = Record({StandardInformation(0, 0), data_attribute}, 1);
    std::copy(record0.begin(), record0.end(), v.bytes.begin() + CraftedVolume::kMftOffset);
}

TEST(Scan, StopTakesEffectBeforeTheNextRecord) {
    CraftedVolume v = CraftVolume({DeletedFile(u"1"), DeletedFile(u"2"), DeletedFile(u"3"), DeletedFile(u"4")});
    MemoryVolume volume(v.bytes);
    ScanCollector c;
    c.stop_when = [](const ScanCollector& s) { return s.rows.size() == 2; };
    ScanVolume(volume, "mem", "", c);
    EXPECT_EQ(c.end, ScanEnd::Stopped);
    EXPECT_EQ(c.rows.size(), 2u);
    EXPECT_EQ(c.last_progress, 2);
}

TEST(Scan, MftOfExactlySixteenRecordsWalksNothing) {
    CraftedVolume v = CraftVolume({});
    Bytes runs = RunListEntry(4, 4);
    runs.push_back(0);
    ReplaceRecord0(v, NonResidentData(runs, 4 * 4096, 0, 3));  // 4 clusters, 16 records
    MemoryVolume volume(v.bytes);
    ScanCollector c;
    ScanVolume(volume, "mem", "", c);
    EXPECT_EQ(c.end, ScanEnd::Completed);
    EXPECT_EQ(c.progress_max, 0);
    EXPECT_EQ(c.progress_calls, 0);
    EXPECT_EQ(c.texts.back(), "All Files: 16");

    ReplaceRecord0(v, NonResidentData(runs, 4 * 4096, 0, 2));  // 12 records
    MemoryVolume smaller(v.bytes);
    ScanCollector d;
    ScanVolume(smaller, "mem", "", d);
    EXPECT_EQ(d.end, ScanEnd::Failed);
    EXPECT_EQ(d.progress_max, -1);
}

// Each flag counts on its own, whatever else is set with it; and a run list
// that breaks off is no map to walk by.
TEST(Scan, AFlaggedMftOrABrokenMftRunListIsRefusedWithTheReason) {
    struct Case {
        std::uint16_t flags;
        std::uint8_t run_header;  // of a second run after the 8 clusters
        const char* reason;
    };
    for (const Case& k : {Case{0x0001, 0, "compressed"}, Case{0x4000, 0, "encrypted"}, Case{0x8000, 0, "sparse"},
                          Case{0x8001, 0, "compressed"}, Case{0x4001, 0, "compressed"}, Case{0xC000, 0, "encrypted"},
                          Case{0, 0x1F, "run list is damaged: the run list holds a field wider than 8 bytes"},
                          Case{0, 0x0, nullptr}}) {
        CraftedVolume v = CraftVolume({DeletedFile(u"a")});
        Bytes runs = RunListEntry(8, 4);
        if (k.run_header) runs.push_back(k.run_header);
        runs.push_back(0);
        ReplaceRecord0(v, NonResidentData(runs, 8 * 4096, 0, 7, k.flags));
        MemoryVolume volume(v.bytes);
        ScanCollector c;
        ScanVolume(volume, "mem", "", c);
        EXPECT_TRUE(c.published) << "the geometry is published before record 0 is read";
        if (!k.reason) {
            EXPECT_EQ(c.end, ScanEnd::Completed) << c.reason;
            EXPECT_EQ(c.rows.size(), 1u);
            continue;
        }
        EXPECT_EQ(c.end, ScanEnd::Failed) << k.flags;
        EXPECT_NE(c.reason.find(k.reason), std::string::npos) << k.flags << ": " << c.reason;
        EXPECT_TRUE(c.rows.empty());
    }
}

TEST(Scan, RecordsTheVolumeCannotDeliverAreSkipped) {
    // The MFT claims 64 clusters but the volume ends inside the first few.
    CraftedVolume v = CraftVolume({DeletedFile(u"kept")}, 16);
    Bytes runs = RunListEntry(64, 4);
    runs.push_back(0);
    ReplaceRecord0(v, NonResidentData(runs, 64 * 4096, 0, 63));
    // Cut the volume in the middle of record 17, after record 16.
    v.bytes.resize(static_cast<std::size_t>(CraftedVolume::RecordPosition(17) + 100));
    MemoryVolume volume(v.bytes);
    ScanCollector c;
    ScanVolume(volume, "mem", "", c);
    EXPECT_EQ(c.end, ScanEnd::Completed);
    ASSERT_EQ(c.rows.size(), 1u);
    EXPECT_EQ(c.rows[0].name, "kept");
    EXPECT_EQ(c.last_progress, 256 - 16);
}

TEST(Scan, AnMftClaimingBillionsOfRecordsOnASmallVolumeEndsAtOnce) {
    CraftedVolume v = CraftVolume({DeletedFile(u"kept")});
    constexpr std::int64_t kClusters = 500'000'000;  // two billion records
    Bytes runs = RunListEntry(kClusters, 4);
    runs.push_back(0);
    ReplaceRecord0(v, NonResidentData(runs, kClusters * 4096, 0, kClusters - 1));
    MemoryVolume volume(v.bytes);
    ScanCollector c;
    ScanVolume(volume, "mem", "", c);
    EXPECT_EQ(c.end, ScanEnd::Completed);
    EXPECT_EQ(c.rows.size(), 1u);
    EXPECT_EQ(c.last_progress, c.progress_max);
    EXPECT_LT(c.progress_calls, 1000) << "only the records the volume holds are walked";
}

TEST(Scan, NonNtfsVolumeOnlyShowsTheDiskLabels) {
    CraftedVolume v = CraftVolume({DeletedFile(u"a")});
    std::memcpy(v.bytes.data() + 3, "EXFA", 4);
    MemoryVolume volume(v.bytes);
    ScanCollector c;
    ScanVolume(volume, "mem", "", c);
    EXPECT_EQ(c.end, ScanEnd::Failed);
    EXPECT_EQ(c.texts.size(), 2u);
    EXPECT_FALSE(c.published);
}


TEST(Scan, TheKindFilterGoesByTheTypeInAnyCaseAndUnknownTypesAreOther) {
    RowFilter photos;
    photos.group = TypeGroup::Photos;
    EXPECT_FALSE(photos.IsEmpty());
    DeletedFileRow row;
    for (const char* type : {".jpg", ".JPEG", ".Png", "tif"}) {
        row.type = type;
        EXPECT_TRUE(photos.Accepts(row)) << type;
        EXPECT_TRUE(photos.AcceptsBeforeFolder(row)) << type;
    }
    // No type, a bare dot, an unknown or overlong extension, a name ending in a
    // known extension without its dot: all Other, never a photo.
    RowFilter other;
    other.group = TypeGroup::Other;
    for (const char* type : {"", ".", ".xyz", ".jpgjpgjpg", "ajpg", ".j\xC3\xA9g"}) {
        row.type = type;
        EXPECT_FALSE(photos.Accepts(row)) << type;
        EXPECT_TRUE(other.Accepts(row)) << type;
    }
    EXPECT_EQ(TypeGroupOf(".tar.gz"), TypeGroup::Other);
    EXPECT_EQ(TypeGroupOf(".gz"), TypeGroup::Archives);
    EXPECT_EQ(TypeGroupOf(".MP3"), TypeGroup::Audio);
    EXPECT_EQ(TypeGroupOf(".mkv"), TypeGroup::Video);
    EXPECT_EQ(TypeGroupOf(".docx"), TypeGroup::Documents);
    for (TypeGroup group : kTypeGroups) EXPECT_EQ(TypeGroupNamed(TypeGroupName(group)), group);
    EXPECT_EQ(TypeGroupNamed("photos"), TypeGroup::Photos);
    EXPECT_EQ(TypeGroupNamed("Photo"), std::nullopt);
}

}  // namespace
}  // namespace verandol
