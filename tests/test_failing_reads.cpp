// A failing device under the scan and the recovery: the bad sectors cost
// exactly what they hold, every other row, folder and figure stays right,
// and the losses are named.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "reading/careful_source.h"
#include "recover/recover_file.h"
#include "scan/folder_paths.h"
#include "scan/scan_collector.h"
#include "scan/scan_volume.h"
#include "deep/deep_scan.h"
#include "tests/faulty_source.h"
#include "tests/fixture_support.h"

namespace verandol {
namespace {

using namespace testing;

struct FailingFolderVolume {
    Manifest manifest = LoadManifestFile("folders.folders.json");
    MemoryVolume image{ReadWholeFile(FixtureImagePath("folders"))};
    std::shared_ptr<FaultySource> device;
    CarefulSource volume;

    explicit FailingFolderVolume(std::vector<UnreadRange> bad)
        : device(std::make_shared<FaultySource>(image, std::move(bad))),
          volume(device, std::make_shared<BadSectorMap>(), ReadPolicy{512, 0}) {}
    UnreadRange Records(std::int64_t first, std::int64_t count) const {
        return {manifest.RecordPosition(first), count * manifest.record_size};
    }
};

TEST(FailingDevice, ABadSpotInTheMftCostsOnlyItsRecords) {
    // /Users/ann's record, and three records of deleted files under /Projects/old.
    FailingFolderVolume v({});
    const UnreadRange ann = v.Records(70, 1), projects = v.Records(86, 3);
    FailingFolderVolume failing({ann, projects});
    ScanCollector scan;
    ScanVolume(failing.volume, "folders", "", scan);
    ASSERT_EQ(scan.end, ScanEnd::Completed) << scan.reason;

    std::map<std::int64_t, const DeletedFileRow*> rows;
    for (const DeletedFileRow& row : scan.rows) rows[row.position] = &row;
    int listed = 0;
    for (const ManifestFile& file : failing.manifest.Deleted()) {
        const auto found = rows.find(failing.manifest.RecordPosition(file.mft_record));
        if (file.mft_record >= 86 && file.mft_record <= 88) {
            EXPECT_EQ(found, rows.end()) << file.path << " was listed from an unreadable record";
            continue;
        }
        ASSERT_NE(found, rows.end()) << file.path << " was lost with its neighbours";
        ++listed;
        std::string folder = file.folder.value();
        if (folder.starts_with("/Users/ann")) folder = kUnreadableFolderMarker + folder.substr(10);
        EXPECT_EQ(found->second->folder, folder) << file.path;
        EXPECT_EQ(found->second->recoverable, file.recoverable.value()) << file.path;
    }
    EXPECT_EQ(listed, static_cast<int>(failing.manifest.Deleted().size()) - 3);

    ASSERT_EQ(scan.losses.size(), 1u) << "one account of the losses per pass";
    EXPECT_EQ(scan.losses[0].records, (std::vector<std::int64_t>{70, 86, 87, 88}));
    EXPECT_EQ(scan.losses[0].stretches, (std::vector<UnreadRange>{ann, projects}));
    EXPECT_NE(ReadLossNote(scan.losses[0]).find("(70, 86-88)"), std::string::npos) << ReadLossNote(scan.losses[0]);
    // Eight bad sectors: a failing read for each, and one for meeting the spot.
    EXPECT_LE(failing.device->FailingReads(), 8 + 2 * 2);
}

// The deep scan reads every sector: a bad spot costs the records in it, not
// the megabyte read around it.
TEST(FailingDevice, TheDeepScanLosesOnlyTheRecordsInABadSpot) {
    FailingFolderVolume healthy({});
    ScanCollector whole;
    DeepScanVolume(healthy.volume, "folders", "", whole);
    ASSERT_EQ(whole.end, ScanEnd::Completed);
    const UnreadRange spot = healthy.Records(86, 3);

    FailingFolderVolume failing({spot});
    ScanCollector scan;
    DeepScanVolume(failing.volume, "folders", "", scan);
    ASSERT_EQ(scan.end, ScanEnd::Completed);
    std::set<std::int64_t> expected, listed;
    for (const DeletedFileRow& row : whole.rows)
        if (row.position < spot.position || row.position >= spot.End()) expected.insert(row.position);
    for (const DeletedFileRow& row : scan.rows) listed.insert(row.position);
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(expected.size() + 3, whole.rows.size());
    ASSERT_EQ(scan.losses.size(), 1u);
    EXPECT_EQ(scan.losses[0].records, (std::vector<std::int64_t>{86, 87, 88}));
    EXPECT_LE(failing.device->FailingReads(), 6 + 2 * 2);
}

TEST(FailingDevice, ABadSectorInAFileCostsThatSectorAlone) {
    // The photo as the healthy volume gives it, and where its bytes lie.
    FailingFolderVolume healthy({});
    ScanCollector first;
    ScanVolume(healthy.volume, "folders", "", first);
    ASSERT_TRUE(first.published);
    const DeletedFileRow* healthy_row = nullptr;
    for (const DeletedFileRow& r : first.rows)
        if (r.name == "IMG_0042.JPG") healthy_row = &r;
    ASSERT_NE(healthy_row, nullptr);
    TempDir out;
    ASSERT_EQ(RecoverFile(healthy.volume, healthy_row->position_text, first.published->geometry,
                          first.published->mft_runs, out.path() + "/healthy.jpg")
                  .status,
              RecoverStatus::Written);
    const std::vector<std::uint8_t> photo = ReadWholeFile(out.path() + "/healthy.jpg");
    const std::vector<std::uint8_t>& disk = healthy.image.Bytes();
    const std::int64_t cluster = healthy.manifest.cluster_size;
    ASSERT_GT(static_cast<std::int64_t>(photo.size()), 2 * cluster);
    const auto at = std::search(disk.begin(), disk.end(), photo.begin(), photo.begin() + 2 * cluster);
    ASSERT_NE(at, disk.end()) << "the photo's first two clusters lie together";
    const std::int64_t data = at - disk.begin();
    FailingFolderVolume failing({{data + cluster + 1024, 512}});

    ScanCollector scan;
    ScanVolume(failing.volume, "folders", "", scan);
    ASSERT_TRUE(scan.published);
    EXPECT_TRUE(scan.losses.empty()) << "the scan itself read nothing bad";
    const DeletedFileRow* row = nullptr;
    for (const DeletedFileRow& r : scan.rows)
        if (r.name == "IMG_0042.JPG") row = &r;
    ASSERT_NE(row, nullptr);

    const std::string path = out.path() + "/photo.jpg";
    const RecoverResult r =
        RecoverFile(failing.volume, row->position_text, scan.published->geometry, scan.published->mft_runs, path);
    ASSERT_EQ(r.status, RecoverStatus::Incomplete) << r.reason;
    EXPECT_EQ(r.unread, (std::vector<UnreadRange>{{cluster + 1024, 512}}));
    EXPECT_NE(r.reason.find("512 bytes could not be read"), std::string::npos) << r.reason;
    std::vector<std::uint8_t> expected = photo;
    std::fill_n(expected.begin() + cluster + 1024, 512, 0);
    EXPECT_EQ(ReadWholeFile(path), expected) << "every byte but the bad sector's is the photo's";
}

}  // namespace
}  // namespace verandol
