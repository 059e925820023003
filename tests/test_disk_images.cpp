// Whole-disk images (GPT, MBR with logical partitions, and an EWF acquisition):
// every NTFS partition is found, scanned and recovered through its address.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "disk/ewf_image.h"
#include "disk/virtual_disk_image.h"
#include "disk/open_volume.h"
#include "disk/volume_discovery.h"
#include "recover/recover_file.h"
#include "scan/scan_volume.h"
#include "tests/fixture_support.h"
#include "tests/record_builder.h"
#include "scan/scan_collector.h"

namespace verandol {
namespace {

using namespace testing;
namespace fs = std::filesystem;

struct DiskCase {
    std::string name;       // the disk manifest
    std::string extension;  // of the file opened: the raw disk or another image format of it
    bool supported = true;  // whether this build reads that format
    std::string image() const { return DiskImagePath(name, extension); }
};

std::vector<DiskCase> DiskCases() {
    std::vector<DiskCase> cases;
    for (const std::string& name : DiskFixtureNames()) cases.push_back({name, ".dd"});
    cases.push_back({"gpt-disk", ".E01", EwfSupported()});
    cases.push_back({"gpt-disk", ".vhd", VhdSupported()});
    cases.push_back({"gpt-disk", ".vhdx", VhdSupported()});
    cases.push_back({"gpt-disk", ".vmdk", VmdkSupported()});
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<DiskCase>& info) {
    std::string name = info.param.name + info.param.extension;
    for (char& c : name)
        if (c == '-' || c == '.') c = '_';
    return name;
}

class DiskImage : public ::testing::TestWithParam<DiskCase> {
protected:
    void SetUp() override {
        if (!GetParam().supported) GTEST_SKIP() << "built without support for " << GetParam().extension;
    }
};

TEST_P(DiskImage, EachNtfsPartitionIsListedAndRecoversItsOwnFiles) {
    const std::vector<DiskPartition> ntfs = LoadDiskManifest(GetParam().name).Ntfs();
    const DiscoveryResult found = DiscoverVolumesIn({GetParam().image()});
    ASSERT_EQ(found.drives.size(), ntfs.size());
    for (std::size_t i = 0; i < ntfs.size(); ++i) {
        const DiskPartition& part = ntfs[i];
        const std::string& address = found.drives[i].path;
        EXPECT_EQ(address, GetParam().image() + "@" + std::to_string(part.number));
        EXPECT_EQ(found.drives[i].size, part.length);
        EXPECT_EQ(found.drives[i].label, part.volume->label);
        EXPECT_TRUE(found.drives[i].warning.empty());

        ScanCollector scan;
        ScanVolumePath(address, address, scan);
        ASSERT_EQ(scan.end, ScanEnd::Completed) << address << ": " << scan.reason;
        EXPECT_EQ(scan.published->path, address) << "a recovery must reopen the same partition";
        EXPECT_EQ(scan.texts.front(), "Disk Name: " + part.volume->label);
        const std::vector<ManifestFile> deleted = part.volume->Deleted();
        ASSERT_EQ(scan.rows.size(), deleted.size()) << address;
        TempDir out;
        std::map<std::int64_t, std::string> hash_by_position;
        for (const DeletedFileRow& row : scan.rows) {
            const std::string file = out.path() + "/" + std::to_string(row.position);
            const RecoverResult r = RecoverFile(scan.published->path, row.position_text, scan.published->geometry,
                                                scan.published->mft_runs, file);
            ASSERT_EQ(r.status, RecoverStatus::Written) << address << " " << row.name << ": " << r.reason;
            hash_by_position[row.position] = Sha256Hex(ReadWholeFile(file));
        }
        for (const ManifestFile& f : deleted)
            EXPECT_EQ(hash_by_position[part.volume->RecordPosition(f.mft_record)], f.sha256) << address << f.path;
    }
}

TEST_P(DiskImage, TheDiskWithoutANumberNamesItsVolumesAndOtherPartitionsAreRefused) {
    const DiskManifest disk = LoadDiskManifest(GetParam().name);
    const std::string image = GetParam().image();
    Outcome<OpenedVolume> whole = OpenVolume(image);
    ASSERT_FALSE(whole);
    for (const DiskPartition& part : disk.Ntfs())
        EXPECT_NE(whole.reason().find(image + "@" + std::to_string(part.number)), std::string::npos) << whole.reason();

    for (const DiskPartition& part : disk.partitions) {
        if (part.volume) continue;
        ScanCollector scan;
        const std::string address = image + "@" + std::to_string(part.number);
        ScanVolumePath(address, address, scan);
        EXPECT_EQ(scan.end, ScanEnd::Failed) << address;
        EXPECT_FALSE(scan.published) << address << " is " << part.kind;
    }
    Outcome<OpenedVolume> absent = OpenVolume(image + "@42");
    ASSERT_FALSE(absent);
    EXPECT_NE(absent.reason().find("no partition #42"), std::string::npos) << absent.reason();
}

INSTANTIATE_TEST_SUITE_P(Disks, DiskImage, ::testing::ValuesIn(DiskCases()), CaseName);

// A disk with one NTFS partition is scanned when named without a number, and
// the scan publishes the partition it chose.
TEST(DiskImageAlone, OneNtfsPartitionIsChosenAndPublished) {
    const std::vector<DiskPartition> ntfs = LoadDiskManifest("mbr-disk").Ntfs();
    TempDir dir;
    const std::string image = dir.path() + "/one.dd";
    Bytes bytes = ReadWholeFile(DiskImagePath("mbr-disk"));
    const DiskPartition& first = ntfs.front();
    std::fill(bytes.begin() + first.start, bytes.begin() + first.start + 512, 0);  // #1 no longer NTFS
    WriteWholeFile(image, bytes);
    ScanCollector scan;
    ScanVolumePath(image, image, scan);
    ASSERT_EQ(scan.end, ScanEnd::Completed) << scan.reason;
    EXPECT_EQ(scan.published->path, image + "@" + std::to_string(ntfs.back().number));
    EXPECT_EQ(scan.rows.size(), ntfs.back().volume->Deleted().size());
}

}  // namespace
}  // namespace verandol
