// verandol-cli on damaged and lost volumes. Each is a driver-made fixture
// with what a failing disk, a torn write or a careless tool destroys zeroed
// in a copy, so the fixture's manifest stays the truth: every deleted file
// must still be listed and recovered to its SHA-256.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "cli_runner.h"
#include "text/record_texts.h"

namespace verandol::cli_test {
namespace {

using Hashes = std::map<std::string, std::string>;  // record position -> SHA-256

Hashes ExpectedDeleted(const testing::Manifest& manifest) {
    Hashes hashes;
    for (const testing::ManifestFile& file : manifest.Deleted())
        hashes[PositionCaption(manifest.RecordPosition(file.mft_record))] = file.sha256;
    return hashes;
}

// Recovers the files of `address` and hashes what was written; any line but
// "written" fails the test.
Hashes Recovered(const std::string& address, std::vector<std::string> extra = {}) {
    TempDir out;
    std::vector<std::string> args{"recover", address, out.path()};
    args.insert(args.end(), extra.begin(), extra.end());
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 0) << run.err << run.out;
    Hashes hashes;
    for (const std::string& line : SplitLines(run.out)) {
        const std::vector<std::string> fields = SplitTabs(line);
        EXPECT_EQ(fields.at(0), "written") << line;
        if (fields.size() >= 3) hashes[fields[1]] = Sha256OfFile(fields[2]);
    }
    return hashes;
}

class CliDamagedVolume : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { manifest_ = testing::LoadManifest(GetParam()); }

    // Zeroes the ranges in a copy, then scans and recovers it as a user would.
    void ExpectEveryDeletedFileBack(const std::vector<std::pair<std::int64_t, std::int64_t>>& zeroed,
                                    const std::string& note) {
        const std::string image = dir_.path() + "/damaged.img";
        testing::WriteZeroedCopy(testing::FixtureImagePath(GetParam()), image, zeroed);
        const CliRun scan = RunCli({"scan", image});
        ASSERT_EQ(scan.status, 0) << scan.err;
        EXPECT_NE(scan.err.find(note), std::string::npos) << scan.err;
        EXPECT_NE(scan.out.find("# Deleted Files: " + std::to_string(manifest_.Deleted().size())), std::string::npos);
        EXPECT_EQ(Recovered(image), ExpectedDeleted(manifest_));
    }

    testing::Manifest manifest_;
    TempDir dir_;
};

TEST_P(CliDamagedVolume, AZeroedBootSectorIsReadFromItsBackupInTheLastSector) {
    ExpectEveryDeletedFileBack({{0, manifest_.bytes_per_sector}}, "backup copy in the volume's last sector");
    // Listing it reads the same backup, and says so: the volume is listed
    // with the label and serial the backup leads to.
    const std::string image = dir_.path() + "/damaged.img";
    const CliRun volumes = RunCli({"volumes", image});
    ASSERT_EQ(volumes.status, 0) << volumes.err;
    const std::string size = std::to_string(std::filesystem::file_size(image));
    EXPECT_EQ(SplitLines(volumes.out),
              std::vector<std::string>({image + "\t" + size + "\t" + manifest_.label + "\t" + manifest_.serial}));
    EXPECT_NE(volumes.err.find("backup copy in the volume's last sector"), std::string::npos) << volumes.err;
}

TEST_P(CliDamagedVolume, ZeroedFirstMftRecordsAreReadFromTheMirror) {
    ExpectEveryDeletedFileBack({{manifest_.mft_offset, 4 * std::int64_t{manifest_.record_size}}}, "$MFTMirr");
}

TEST_P(CliDamagedVolume, BothAtOnce) {
    ExpectEveryDeletedFileBack({{0, manifest_.bytes_per_sector},
                                {manifest_.mft_offset, 4 * std::int64_t{manifest_.record_size}}},
                               "$MFTMirr");
}

// 4K sectors put the backup in a 4096-byte last sector; 512-byte clusters
// make a record span two clusters of the mirror.
INSTANTIATE_TEST_SUITE_P(Fixtures, CliDamagedVolume,
                         ::testing::Values("sec512-clu4k", "sec4096-clu4k", "sec512-clu512"), FixtureTestName);

TEST(CliSearch, FindsTheVolumesOfAGptDiskWhoseTablesAreWipedAndRecoversTheirFiles) {
    const testing::DiskManifest disk = testing::LoadDiskManifest("gpt-disk");
    const std::vector<testing::DiskPartition> ntfs = disk.Ntfs();
    ASSERT_EQ(ntfs.size(), 2u);
    TempDir dir;
    const std::string image = dir.path() + "/wiped.dd";
    // Both GPT copies and the protective MBR, and the first volume's own boot
    // sector too, so that only its backup can place it.
    testing::WriteZeroedCopy(testing::DiskImagePath("gpt-disk"), image,
                             {{0, 34 * 512}, {disk.size - 33 * 512, 33 * 512}, {ntfs[0].start, 512}});
    ASSERT_EQ(RunCli({"scan", image}).status, 2) << "nothing names a volume any more";

    const CliRun search = RunCli({"search", image});
    ASSERT_EQ(search.status, 0) << search.err;
    const std::vector<std::string> lines = SplitLines(search.out);
    ASSERT_EQ(lines.size(), ntfs.size()) << search.out;
    for (std::size_t i = 0; i < ntfs.size(); ++i) {
        const testing::Manifest& volume = *ntfs[i].volume;
        const std::string address = image + "@+" + std::to_string(ntfs[i].start);
        const std::string size = std::to_string((volume.total_sectors + 1) * volume.bytes_per_sector);
        EXPECT_EQ(SplitTabs(lines[i]),
                  (std::vector<std::string>{address, size, volume.label, volume.serial, i == 0 ? "backup" : "boot"}));
        EXPECT_EQ(Recovered(address), ExpectedDeleted(volume)) << address;
        // Opened by its address, the volume shows the label search showed,
        // the one found by its backup boot sector too.
        EXPECT_NE(RunCli({"scan", address}).out.find("# Disk Name: " + volume.label + "\n"), std::string::npos)
            << address;
    }
}

TEST(CliSearch, SaysAnIntactTableFoundTheVolumesAndAcceptsTheirOffsets) {
    const std::string image = testing::DiskImagePath("gpt-disk");
    const testing::DiskManifest disk = testing::LoadDiskManifest("gpt-disk");
    const CliRun search = RunCli({"search", image});
    ASSERT_EQ(search.status, 0) << search.err;
    const std::vector<std::string> lines = SplitLines(search.out);
    ASSERT_EQ(lines.size(), 2u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> fields = SplitTabs(lines[i]);
        EXPECT_EQ(fields.at(0), image + "@+" + std::to_string(disk.Ntfs()[i].start));
        EXPECT_EQ(fields.at(4), "table");
        const CliRun listed = RunCli({"volumes", fields[0]});
        EXPECT_EQ(listed.out.substr(0, listed.out.find('\t')), fields[0]) << listed.err;
    }

    const CliRun past_end = RunCli({"scan", image + "@+" + std::to_string(disk.size)});
    EXPECT_EQ(past_end.status, 2);
    EXPECT_NE(past_end.err.find("no volume begins at byte"), std::string::npos) << past_end.err;
    EXPECT_EQ(RunCli({"search", image + ".absent"}).status, 2);
}

TEST(CliAll, ListsFilesInUseWithTheirPathsAndCopiesThemOut) {
    const Fixture fixture = LoadFixture("sec512-clu4k");
    const CliRun scan = RunCli({"scan", fixture.image_path, "--all", "--json"});
    ASSERT_EQ(scan.status, 0) << scan.err;
    std::map<std::string, nlohmann::json> listed;  // path -> row
    for (const nlohmann::json& row : ParseJsonLines(scan.out).FileRows()) {
        const std::string folder = row["path"];
        listed[(folder == "/" ? "" : folder) + "/" + row["name"].get<std::string>()] = row;
    }
    Hashes in_use;
    std::vector<std::string> positions;
    for (const testing::ManifestFile& file : fixture.manifest.files) {
        ASSERT_TRUE(listed.count(file.path)) << file.path;
        EXPECT_EQ(listed[file.path]["deleted"], file.deleted) << file.path;
        if (file.deleted) continue;
        const std::string position = listed[file.path]["position"];
        in_use[position] = file.sha256;
        positions.push_back(position);
    }
    ASSERT_FALSE(in_use.empty());
    EXPECT_EQ(Recovered(fixture.image_path, [&] {
                  std::vector<std::string> args{"--all"};
                  args.insert(args.end(), positions.begin(), positions.end());
                  return args;
              }()),
              in_use);

    // Without --all a file in use is still refused, and the TSV has no extra column.
    TempDir out;
    const CliRun refused = RunCli({"recover", fixture.image_path, out.path(), positions.front()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(out.Entries().empty());
    const CliRun tsv = RunCli({"scan", fixture.image_path, "--all"});
    EXPECT_NE(tsv.out.find("\tRecoverable\tDeleted\n"), std::string::npos);
}

}  // namespace
}  // namespace verandol::cli_test
