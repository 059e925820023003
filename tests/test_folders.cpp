// Where each deleted file was and whether its data is still there: end to
// end on the folder volume the driver made, and the folder chains and
// bitmap reads of hostile records.
#include <gtest/gtest.h>

#include <map>
#include <cstdio>

#include "ntfs/cluster_bitmap.h"
#include "ntfs/fixups.h"
#include "recover/recover_file.h"
#include "scan/folder_paths.h"
#include "scan/scan_volume.h"
#include "tests/fixture_support.h"
#include "tests/record_builder.h"
#include "scan/scan_collector.h"

namespace verandol {
namespace {

using namespace testing;
using DataRun = verandol::Run;  // gtest's Test::Run would hide it

struct ScannedFolderVolume {
    Manifest manifest = LoadManifestFile("folders.folders.json");
    ScanCollector scan;
    std::map<std::int64_t, const DeletedFileRow*> by_position;

    ScannedFolderVolume() {
        ScanVolumePath("folders", FixtureImagePath("folders"), scan);
        for (const DeletedFileRow& row : scan.rows) by_position[row.position] = &row;
    }
    const DeletedFileRow* RowOf(const ManifestFile& file) const {
        auto found = by_position.find(manifest.RecordPosition(file.mft_record));
        return found == by_position.end() ? nullptr : found->second;
    }
};

TEST(FolderVolume, EveryRowShowsItsFolderAndTheShareTheBitmapLeavesFree) {
    ScannedFolderVolume v;
    ASSERT_EQ(v.scan.end, ScanEnd::Completed) << v.scan.reason;
    EXPECT_EQ(v.scan.folder_calls, 1);
    ASSERT_TRUE(v.scan.published && v.scan.published->bitmap);
    EXPECT_EQ(v.scan.rows.size(), v.manifest.Deleted().size());
    int lost = 0, reused = 0;
    for (const ManifestFile& file : v.manifest.Deleted()) {
        const DeletedFileRow* row = v.RowOf(file);
        ASSERT_NE(row, nullptr) << file.path;
        EXPECT_EQ(row->name, file.name);
        EXPECT_EQ(row->folder, file.folder.value()) << file.path;
        EXPECT_EQ(row->recoverable, file.recoverable.value()) << file.path;
        lost += row->folder.starts_with("<lost folder #");
        reused += row->recoverable < 100;
    }
    // The volume holds what it was made to hold: a broken chain under a
    // reused folder record, and files whose clusters were taken whole and in part.
    EXPECT_GE(lost, 2);
    EXPECT_GE(reused, 2);
}

TEST(FolderVolume, RecoveryWritesReusedFilesButReportsThemIncomplete) {
    ScannedFolderVolume v;
    ASSERT_TRUE(v.scan.published && v.scan.published->bitmap);
    const PublishedGeometry& g = *v.scan.published;
    TempDir out;
    for (const ManifestFile& file : v.manifest.Deleted()) {
        const DeletedFileRow* row = v.RowOf(file);
        ASSERT_NE(row, nullptr) << file.path;
        const std::string path = out.path() + "/" + std::to_string(row->position);
        const RecoverResult r =
            RecoverFile(g.path, row->position_text, g.geometry, g.mft_runs, path, nullptr, &*g.bitmap);
        if (*file.recoverable == 100) {
            EXPECT_EQ(r.status, RecoverStatus::Written) << file.path << ": " << r.reason;
            EXPECT_EQ(Sha256Hex(ReadWholeFile(path)), file.sha256) << file.path;
            continue;
        }
        EXPECT_EQ(r.status, RecoverStatus::Incomplete) << file.path;
        // "12 of 50 clusters are in use by other files now"
        long long in_use = -1, total = -1;
        int consumed = 0;
        ASSERT_EQ(std::sscanf(r.reason.c_str(), "%lld of %lld clusters are in use by other files now%n", &in_use,
                              &total, &consumed),
                  2)
            << r.reason;
        EXPECT_EQ(static_cast<std::size_t>(consumed), r.reason.size()) << r.reason;
        EXPECT_EQ(total, (file.size + g.geometry.ClusterSize - 1) / g.geometry.ClusterSize) << file.path;
        EXPECT_EQ(FreeSharePercent({in_use, total}), *file.recoverable) << file.path;
        EXPECT_EQ(static_cast<std::int64_t>(ReadWholeFile(path).size()), file.size) << "still written";
    }
}

// On the common volumes nothing was written after the deletions: every row
// is whole, and its folder is the one its manifest path names.
class FixtureFolders : public ::testing::TestWithParam<std::string> {};

TEST_P(FixtureFolders, EveryRowShowsTheFolderItWasDeletedFrom) {
    const Manifest m = LoadManifest(GetParam());
    ScanCollector c;
    ScanVolumePath(GetParam(), FixtureImagePath(GetParam()), c);
    std::map<std::int64_t, const DeletedFileRow*> by_position;
    for (const DeletedFileRow& row : c.rows) by_position[row.position] = &row;
    for (const ManifestFile& f : m.Deleted()) {
        const DeletedFileRow* row = by_position[m.RecordPosition(f.mft_record)];
        ASSERT_NE(row, nullptr) << f.path;
        const std::string parent = f.path.substr(0, f.path.rfind('/'));
        EXPECT_EQ(row->folder, parent.empty() ? "/" : parent) << f.path;
        EXPECT_EQ(row->recoverable, 100) << f.path;
    }
}

INSTANTIATE_TEST_SUITE_P(AllFixtures, FixtureFolders, ::testing::ValuesIn(FixtureNames()),
                         FixtureTestName<::testing::TestParamInfo<std::string>>);

std::uint64_t Ref(std::int64_t record, std::uint16_t sequence) {
    return static_cast<std::uint64_t>(record) | std::uint64_t{sequence} << 48;
}

// A folder record after its fixups, named `name`, in the folder `parent`.
Bytes FolderRecord(const std::u16string& name, std::uint64_t parent, std::uint16_t sequence, bool in_use = true) {
    Bytes record = Record({StandardInformation(0, 0), FileName(name, 1, parent)}, in_use ? 3 : 2);
    PutLe(record, 16, sequence, 2);
    EXPECT_TRUE(ApplyFixups(record));
    return record;
}

TEST(FolderChains, DamagedChainsEndAtALostMarkerAndNeverLoop) {
    FolderPaths folders;
    const auto note = [&](std::int64_t n, const std::u16string& name, std::uint64_t parent, std::uint16_t seq,
                          bool in_use = true) {
        const Bytes record = FolderRecord(name, parent, seq, in_use);
        EXPECT_TRUE(FolderPaths::IsFolderRecord(record));
        folders.NoteFolder(n, record);
    };
    note(20, u"docs", Ref(5, 5), 1);
    note(21, u"a/b", Ref(20, 1), 4);          // a slash no NTFS name holds
    note(22, u"gone", Ref(20, 1), 7, false);  // freed since: the next sequence number
    note(23, u"self", Ref(23, 2), 2);
    note(24, u"ping", Ref(25, 1), 1);
    note(25, u"pong", Ref(24, 1), 1);
    note(26, u"newer", Ref(20, 1), 9);        // in use again under a new number
    folders.NoteFolder(19, FolderRecord(u"late", Ref(5, 5), 1));  // out of order, as MFT pieces lie on a disk
    folders.NoteFolder(20, FolderRecord(u"again", Ref(5, 5), 1));  // a number seen before: the first is kept
    // A chain deeper than any real volume: 3000 folders, each in the one before.
    for (std::int64_t n = 100; n < 3100; ++n) note(n, u"d", Ref(n == 100 ? 5 : n - 1, 1), 1);

    EXPECT_EQ(folders.PathOf(Ref(5, 5)), "/");
    EXPECT_EQ(folders.PathOf(Ref(21, 4)), "/docs/a_b");
    EXPECT_EQ(folders.PathOf(Ref(21, 0)), "/docs/a_b") << "sequence 0 is not checked";
    EXPECT_EQ(folders.PathOf(Ref(21, 3)), "<lost folder #21>") << "record reused by another folder";
    EXPECT_EQ(folders.PathOf(Ref(22, 6)), "/docs/gone");
    EXPECT_EQ(folders.PathOf(Ref(26, 8)), "<lost folder #26>");
    EXPECT_EQ(folders.PathOf(Ref(19, 1)), "/late");
    EXPECT_EQ(folders.PathOf(Ref(77, 1)), "<lost folder #77>") << "not a folder record";
    EXPECT_EQ(folders.PathOf(Ref(23, 2)), "<lost folder #23>/self");
    EXPECT_TRUE(folders.PathOf(Ref(24, 1)).starts_with("<lost folder #2")) << folders.PathOf(Ref(24, 1));
    const std::string deep = folders.PathOf(Ref(3099, 1));
    EXPECT_TRUE(deep.starts_with("<lost folder #")) << deep.substr(0, 40);
    EXPECT_EQ(std::count(deep.begin(), deep.end(), '/'), kMaxFolderDepth);
    EXPECT_EQ(folders.PathOf(Ref(110, 1)), "/d/d/d/d/d/d/d/d/d/d/d") << "resolved paths are reused, not spoiled";
}

// A bitmap of two clusters' bytes at cluster 8 of a 16-cluster volume.
struct BitmapVolume {
    static constexpr std::int64_t kCluster = 512;
    MemoryVolume volume{Bytes(16 * kCluster)};
    BitmapExtent extent{{DataRun{2, 8, false, true}}, 2 * kCluster};
    BitmapVolume() {
        volume.Bytes()[8 * kCluster] = 0b1111'0000;  // clusters 4 to 7 in use
        volume.Bytes()[8 * kCluster + 1] = 0b0000'0001;  // and cluster 8
    }
};

TEST(ClusterBitmapCount, CountsBitsAcrossBytesAndRefusesWhatItCannotSee) {
    BitmapVolume v;
    ClusterBitmap bitmap(v.volume, BitmapVolume::kCluster, v.extent);
    const auto count = [&](std::vector<DataRun> runs, std::int64_t size) { return bitmap.Count(runs, size); };
    auto use = count({DataRun{6, 3, false, true}}, 6 * 512);  // clusters 3..8
    ASSERT_TRUE(use);
    EXPECT_EQ(use->in_use, 5);
    EXPECT_EQ(use->total, 6);
    use = count({DataRun{100, 3, false, true}}, 2 * 512 + 1);  // only the clusters the size needs, 3..5
    ASSERT_TRUE(use);
    EXPECT_EQ(use->in_use, 2);
    EXPECT_EQ(use->total, 3);
    use = count({DataRun{4, 0, true, true}, DataRun{2, 0, false, true}}, 6 * 512);  // a hole holds no cluster
    ASSERT_TRUE(use);
    EXPECT_EQ(use->total, 2);
    EXPECT_FALSE(count({DataRun{2, 8 * 1024 - 1, false, true}}, 2 * 512)) << "past the bitmap's end";
    EXPECT_FALSE(count({DataRun{2, -5, false, false}}, 2 * 512)) << "a run before the volume";
    EXPECT_FALSE(count({DataRun{1, 0, false, true}}, -1));

    // A bitmap whose clusters lie past the volume's end cannot answer.
    ClusterBitmap unreadable(v.volume, BitmapVolume::kCluster, {{DataRun{2, 40, false, true}}, 2 * 512});
    EXPECT_FALSE(unreadable.Count({DataRun{1, 0, false, true}}, 512));

    EXPECT_EQ(FreeSharePercent({0, 0}), 100);
    EXPECT_EQ(FreeSharePercent({1, 1000}), 99);
    EXPECT_EQ(FreeSharePercent({999, 1000}), 1);
    EXPECT_EQ(FreeSharePercent({12, 50}), 76);
    EXPECT_EQ(FreeSharePercent({50, 50}), 0);
}

TEST(ClusterBitmapCount, RecordSixWithoutUsableDataIsRefused) {
    EXPECT_FALSE(ReadBitmapExtent(Record({StandardInformation(0, 0)})));
    EXPECT_FALSE(ReadBitmapExtent(Record({ResidentData(Bytes(8, 0xFF))})));
    EXPECT_FALSE(ReadBitmapExtent(Record({NonResidentData(Bytes{0x91, 0x04}, 4096, 0, 3)})))
        << "a nine-byte offset field";
    Bytes runs = RunListEntry(4, 100);
    runs.push_back(0);
    auto extent = ReadBitmapExtent(Record({NonResidentData(runs, 4096, 0, 3)}));
    ASSERT_TRUE(extent) << extent.reason();
    EXPECT_EQ(extent->bytes, 4096);
    ASSERT_EQ(extent->runs.size(), 1u);
    EXPECT_EQ(extent->runs[0].lcn, 100);
}

}  // namespace
}  // namespace verandol
