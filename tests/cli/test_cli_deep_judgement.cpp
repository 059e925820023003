// What a deep scan says of a file's clusters, and what its recovery does
// with that: each row is judged by the allocation bitmap of the volume it
// was found in, the recovery judges with the same one, and a file nothing
// could judge or place is never reported written from its clusters.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ntfs/cluster_bitmap.h"
#include "ntfs/fixups.h"
#include "tests/cli/deep_run.h"
#include "text/record_texts.h"

namespace verandol::cli_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The gpt-disk with both partition tables wiped, to be damaged further.
struct WipedDisk {
    testing::DiskManifest disk = testing::LoadDiskManifest("gpt-disk");
    Bytes bytes = testing::ReadWholeFile(testing::DiskImagePath("gpt-disk"));
    TempDir dir;

    WipedDisk() {
        std::fill_n(bytes.begin(), 34 * 512, 0);
        std::fill_n(bytes.end() - 33 * 512, 33 * 512, 0);
    }
    const testing::DiskPartition& Partition(int number) const {
        return *std::find_if(disk.partitions.begin(), disk.partitions.end(),
                             [&](const testing::DiskPartition& p) { return p.number == number; });
    }
    static const testing::ManifestFile& File(const testing::DiskPartition& p, const std::string& name) {
        return *std::find_if(p.volume->files.begin(), p.volume->files.end(),
                             [&](const testing::ManifestFile& f) { return f.name == name; });
    }
    // Where the partition's record `number` lies on the disk.
    static std::int64_t RecordAt(const testing::DiskPartition& p, std::int64_t number) {
        return p.start + p.volume->RecordPosition(number);
    }
    static std::string Position(const testing::DiskPartition& p, const std::string& name) {
        return PositionCaption(RecordAt(p, File(p, name).mft_record));
    }
    // Another file's bytes over the file's clusters, and those clusters
    // marked taken in the partition's own $Bitmap.
    void GiveAwayClusters(const testing::DiskPartition& p, const std::string& name) {
        const testing::Manifest& v = *p.volume;
        Bytes record(bytes.begin() + RecordAt(p, kBitmapRecord), bytes.begin() + RecordAt(p, kBitmapRecord) + v.record_size);
        ASSERT_TRUE(ApplyFixups(record));
        const Outcome<BitmapExtent> bitmap = ReadBitmapExtent(record);
        ASSERT_TRUE(bitmap && bitmap->runs.size() == 1);
        const std::int64_t bits = p.start + bitmap->runs.front().lcn * v.cluster_size;
        for (const auto& [lcn, count] : File(p, name).runs)
            for (std::int64_t c = lcn; c < lcn + count; ++c) {
                std::fill_n(bytes.begin() + p.start + c * v.cluster_size, v.cluster_size, 0x5A);
                bytes[static_cast<std::size_t>(bits + c / 8)] |= static_cast<std::uint8_t>(1u << (c % 8));
            }
    }
    std::string Write() {
        const std::string path = dir.path() + "/disk.dd";
        testing::WriteWholeFile(path, bytes);
        return path;
    }
};

void ExpectWrittenWhole(const DeepRun& run, const std::string& position, const testing::ManifestFile& file) {
    ASSERT_TRUE(run.results.count(position)) << file.path;
    const std::vector<std::string>& result = run.results.at(position);
    ASSERT_EQ(result.at(0), "written") << file.path << ": " << result.back();
    EXPECT_EQ(Sha256OfFile(result.at(2)), file.sha256) << file.path;
}

// Partition 1 gave a deleted file's clusters to another file; nothing but
// that partition's own bitmap knows. The row and the recovery both say so.
// Its files in use own the clusters their bitmap marks: whole, and written.
TEST(DeepScanJudgement, AFoundVolumesOwnBitmapJudgesItsRowsAndTheirRecovery) {
    WipedDisk wiped;
    const testing::DiskPartition& one = wiped.Partition(1);
    const testing::DiskPartition& three = wiped.Partition(3);
    wiped.GiveAwayClusters(one, "photo-GPTONE.jpg");
    const DeepRun run = ScanAndRecoverDeep(wiped.Write());
    ASSERT_EQ(run.scan_status, 0) << run.scan_err;

    const std::string taken = WipedDisk::Position(one, "photo-GPTONE.jpg");
    ASSERT_TRUE(run.rows.count(taken));
    EXPECT_EQ(run.rows.at(taken).at("recoverable"), 0);
    ASSERT_TRUE(run.results.count(taken));
    EXPECT_EQ(run.results.at(taken).at(0), "incomplete");
    EXPECT_NE(run.results.at(taken).back().find("10 of 10 clusters are in use by other files now"), std::string::npos);

    for (const auto* p : {&one, &three})
        for (const std::string name : {"keep-GPTONE.bin", "keep-GPTTHREE.bin", "photo-GPTTHREE.jpg"}) {
            if (std::none_of(p->volume->files.begin(), p->volume->files.end(),
                             [&](const testing::ManifestFile& f) { return f.name == name; }))
                continue;
            const std::string position = WipedDisk::Position(*p, name);
            ASSERT_TRUE(run.rows.count(position)) << name;
            EXPECT_EQ(run.rows.at(position).at("recoverable"), 100) << name;
            ExpectWrittenWhole(run, position, WipedDisk::File(*p, name));
        }
}

// Partition 1 without its boot sectors and its MFT's record 0: nothing says
// where it begins. Its data in clusters is not read from the disk's first
// byte on; what its records hold themselves still is.
TEST(DeepScanJudgement, AVolumeNothingPlacesGivesUpItsClustersButNotItsResidentData) {
    WipedDisk wiped;
    const testing::DiskPartition& one = wiped.Partition(1);
    const testing::DiskPartition& three = wiped.Partition(3);
    std::fill_n(wiped.bytes.begin() + one.start, 512, 0);
    std::fill_n(wiped.bytes.begin() + one.start + one.length - 512, 512, 0);
    std::fill_n(wiped.bytes.begin() + WipedDisk::RecordAt(one, 0), 4, 0);
    const DeepRun run = ScanAndRecoverDeep(wiped.Write());
    ASSERT_EQ(run.scan_status, 0) << run.scan_err;

    const std::string photo = WipedDisk::Position(one, "photo-GPTONE.jpg");
    ASSERT_TRUE(run.rows.count(photo));
    EXPECT_TRUE(run.rows.at(photo).at("recoverable").is_null());
    ASSERT_TRUE(run.results.count(photo));
    EXPECT_EQ(run.results.at(photo).at(0), "failed");
    EXPECT_NE(run.results.at(photo).back().find("could not be placed on the device"), std::string::npos);
    ExpectWrittenWhole(run, WipedDisk::Position(one, "note-GPTONE.txt"), WipedDisk::File(one, "note-GPTONE.txt"));
    ExpectWrittenWhole(run, WipedDisk::Position(three, "photo-GPTTHREE.jpg"),
                       WipedDisk::File(three, "photo-GPTTHREE.jpg"));
}

// A volume appended to another's image, without its boot sectors and its
// MFT's record 0: it lies past what the present volume claims, so nothing
// places it, and its clusters are not read as if it began with the image.
TEST(DeepScanJudgement, AVolumePastThePresentOneIsNotPlacedAtItsStart) {
    const Fixture lost = LoadFixture("frag-mft");
    const testing::Manifest& m = lost.manifest;
    Bytes bytes = testing::ReadWholeFile(testing::FixtureImagePath("sec512-clu4k"));
    const std::int64_t lead = static_cast<std::int64_t>(bytes.size());
    Bytes appended = testing::ReadWholeFile(lost.image_path);
    std::fill_n(appended.begin(), 512, 0);
    std::fill_n(appended.begin() + m.total_sectors * m.bytes_per_sector, 512, 0);
    std::fill_n(appended.begin() + m.RecordPosition(0), 4, 0);
    bytes.insert(bytes.end(), appended.begin(), appended.end());
    TempDir dir;
    const std::string image = dir.path() + "/appended.img";
    testing::WriteWholeFile(image, bytes);
    const DeepRun run = ScanAndRecoverDeep(image);
    ASSERT_EQ(run.scan_status, 0) << run.scan_err;
    int refused = 0, written = 0;
    for (const testing::ManifestFile& file : m.Deleted()) {
        const std::string position = PositionCaption(lead + m.RecordPosition(file.mft_record));
        ASSERT_TRUE(run.results.count(position)) << file.path;
        if (file.resident) {
            ExpectWrittenWhole(run, position, file);
            ++written;
            continue;
        }
        EXPECT_EQ(run.results.at(position).at(0), "failed") << file.path;
        EXPECT_NE(run.results.at(position).back().find("could not be placed"), std::string::npos) << file.path;
        ++refused;
    }
    EXPECT_GE(refused, 1);
    EXPECT_GE(written, 10);
}

// Both partitions number their files alike, and both folder indexes name
// record 64 live. Partition 3's, deleted since and without its names, must
// take the name its own volume's index gives, never partition 1's.
TEST(DeepScanJudgement, ARecordTakesANameOnlyFromItsOwnVolumesIndexes) {
    WipedDisk wiped;
    const testing::DiskPartition& three = wiped.Partition(3);
    const testing::ManifestFile& kept = WipedDisk::File(three, "kept-GPTTHREE.txt");
    const std::int64_t at = WipedDisk::RecordAt(three, kept.mft_record);
    ASSERT_EQ(kept.mft_record, WipedDisk::File(wiped.Partition(1), "kept-GPTONE.txt").mft_record);
    wiped.bytes[static_cast<std::size_t>(at + 22)] = 0;  // the flags: no longer in use
    testing::WipeFileNames(wiped.bytes, static_cast<std::size_t>(at));
    const DeepRun run = ScanAndRecoverDeep(wiped.Write());
    ASSERT_EQ(run.scan_status, 0) << run.scan_err;
    const std::string position = PositionCaption(at);
    ASSERT_TRUE(run.rows.count(position));
    EXPECT_EQ(run.rows.at(position).at("name"), kept.name);
}

// A partition cloned from another holds the same records: the same number,
// creation time and name. They are two volumes' files, never one file's
// copies of which only the newest is listed.
TEST(DeepScanJudgement, AlikeRecordsOfTwoVolumesAreBothListed) {
    WipedDisk wiped;
    const testing::DiskPartition& one = wiped.Partition(1);
    const testing::DiskPartition& three = wiped.Partition(3);
    const testing::ManifestFile& photo = WipedDisk::File(one, "photo-GPTONE.jpg");
    const std::int64_t from = WipedDisk::RecordAt(one, photo.mft_record);
    const std::int64_t to = WipedDisk::RecordAt(three, photo.mft_record);
    std::copy_n(wiped.bytes.begin() + from, one.volume->record_size, wiped.bytes.begin() + to);
    const DeepRun run = ScanAndRecoverDeep(wiped.Write());
    ASSERT_EQ(run.scan_status, 0) << run.scan_err;
    for (const std::int64_t at : {from, to}) {
        ASSERT_TRUE(run.rows.count(PositionCaption(at))) << at;
        EXPECT_EQ(run.rows.at(PositionCaption(at)).at("name"), photo.name);
    }
}

// A volume whose boot sectors are both gone is judged by the bitmap its
// MFT's record 6 names: its files in use own the clusters it marks, and
// are listed whole and written.
TEST(DeepScanJudgement, FilesInUseOnAVolumeWithoutBootSectorsAreWhole) {
    const Fixture fixture = LoadFixture("sec512-clu4k");
    const testing::Manifest& m = fixture.manifest;
    TempDir dir;
    const std::string image = dir.path() + "/no-boot.img";
    testing::WriteZeroedCopy(fixture.image_path, image, {{0, 512}, {m.total_sectors * m.bytes_per_sector, 512}});
    const DeepRun run = ScanAndRecoverDeep(image);
    ASSERT_EQ(run.scan_status, 0) << run.scan_err;
    int checked = 0;
    for (const testing::ManifestFile& file : m.files) {
        if (file.deleted || file.resident) continue;
        const std::string position = PositionCaption(m.RecordPosition(file.mft_record));
        ASSERT_TRUE(run.rows.count(position)) << file.path;
        EXPECT_EQ(run.rows.at(position).at("recoverable"), 100) << file.path;
        ExpectWrittenWhole(run, position, file);
        ++checked;
    }
    EXPECT_GE(checked, 2);
}

// A volume whose boot sectors are both gone, and its MFT's record 6 that
// names the cluster bitmap, and a deleted file whose clusters another file
// took: no bitmap is known, so no share is claimed and no file with
// clusters is reported written; data inside records is.
TEST(DeepScanJudgement, WithoutAnyBitmapFilesInClustersAreUncheckedAndCountedApart) {
    const Fixture fixture = LoadFixture("sec512-clu4k");
    const testing::Manifest& m = fixture.manifest;
    Bytes bytes = testing::ReadWholeFile(fixture.image_path);
    std::fill_n(bytes.begin(), 512, 0);
    std::fill_n(bytes.begin() + m.total_sectors * m.bytes_per_sector, 512, 0);
    std::fill_n(bytes.begin() + m.RecordPosition(kBitmapRecord), 4, 0);
    std::vector<testing::ManifestFile> in_clusters;
    for (const testing::ManifestFile& file : m.Deleted())
        if (!file.resident && !file.sha256.empty() && !file.compressed && file.extension_records == 0)
            in_clusters.push_back(file);
    ASSERT_GE(in_clusters.size(), 2u);
    const testing::ManifestFile& taken = in_clusters.front();
    for (const auto& [lcn, count] : taken.runs)
        if (lcn >= 0) std::fill_n(bytes.begin() + lcn * m.cluster_size, count * m.cluster_size, 0x5A);
    TempDir dir;
    const std::string image = dir.path() + "/no-boot.img";
    testing::WriteWholeFile(image, bytes);

    const DeepRun run = ScanAndRecoverDeep(image);
    ASSERT_EQ(run.scan_status, 0) << run.scan_err;
    for (const testing::ManifestFile& file : in_clusters) {
        const std::string position = PositionCaption(m.RecordPosition(file.mft_record));
        ASSERT_TRUE(run.rows.count(position)) << file.path;
        EXPECT_TRUE(run.rows.at(position).at("recoverable").is_null()) << file.path;
        ASSERT_TRUE(run.results.count(position)) << file.path;
        EXPECT_EQ(run.results.at(position).at(0), "unchecked") << file.path;
        EXPECT_EQ(run.results.at(position).back(), "its clusters could not be checked against an allocation bitmap");
        if (&file != &taken) {
            EXPECT_EQ(Sha256OfFile(run.results.at(position).at(2)), file.sha256) << file.path;
        }
    }
    for (const testing::ManifestFile& file : m.Deleted()) {
        if (file.resident) ExpectWrittenWhole(run, PositionCaption(m.RecordPosition(file.mft_record)), file);
    }
}

}  // namespace
}  // namespace verandol::cli_test
