// verandol-cli on whole disks: "volumes" lists the NTFS partitions, "scan"
// and "recover" take their addresses, and a disk with several NTFS
// partitions named without one is refused with their addresses.
#include <gtest/gtest.h>

#include <map>

#include "cli_runner.h"

namespace verandol::cli_test {
namespace {

TEST(CliDisks, VolumesThenRecoverEachPartitionByItsAddress) {
    const std::string image = testing::DiskImagePath("mbr-disk");
    const testing::DiskManifest disk = testing::LoadDiskManifest("mbr-disk");
    const CliRun listed = RunCli({"volumes", image});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const std::vector<std::string> lines = SplitLines(listed.out);
    const std::vector<testing::DiskPartition> ntfs = disk.Ntfs();
    ASSERT_EQ(lines.size(), ntfs.size()) << listed.out;

    for (std::size_t i = 0; i < ntfs.size(); ++i) {
        const testing::Manifest& volume = *ntfs[i].volume;
        const std::string address = image + "@" + std::to_string(ntfs[i].number);
        EXPECT_EQ(SplitTabs(lines[i]), (std::vector<std::string>{address, std::to_string(ntfs[i].length),
                                                                 volume.label, volume.serial}));
        TempDir out;
        const CliRun run = RunCli({"recover", address, out.path()});
        ASSERT_EQ(run.status, 0) << run.err;
        std::map<std::string, std::string> written;  // name -> sha256
        for (const std::string& line : SplitLines(run.out)) {
            const std::vector<std::string> fields = SplitTabs(line);
            ASSERT_EQ(fields.at(0), "written") << line;
            written[fields.at(2).substr(out.path().size() + 1)] = Sha256OfFile(fields.at(2));
        }
        ASSERT_EQ(written.size(), volume.Deleted().size());
        for (const testing::ManifestFile& f : volume.Deleted())
            EXPECT_EQ(written[f.name], f.sha256) << address << f.path;
    }
}

TEST(CliDisks, ADiskWithSeveralNtfsPartitionsListsTheirAddresses) {
    const std::string image = testing::DiskImagePath("gpt-disk");
    const CliRun run = RunCli({"scan", image});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find(image + "@1, " + image + "@3"), std::string::npos) << run.err;

    const CliRun missing = RunCli({"volumes", image, image + ".absent"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(SplitLines(missing.out).size(), 2u) << "the disk's volumes are still listed";
    EXPECT_NE(missing.err.find(image + ".absent"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace verandol::cli_test
