// verandol-cli recover refuses an output folder on the device it reads, for
// a kernel mount and for an ntfs-3g (FUSE) mount of that device.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "tests/loop_volume.h"

namespace verandol::cli_test {
namespace {

using testing::LoopVolume;
using testing::MountDriver;

class CliSameDevice : public ::testing::TestWithParam<MountDriver> {};

TEST_P(CliSameDevice, RecoveryOntoTheMountedDeviceIsRefusedUnlessAllowed) {
    std::string skip;
    auto volume = LoopVolume::Attach("sec512-clu4k", &skip);
    if (!volume) GTEST_SKIP() << skip;
    if (!volume->Mount(GetParam(), &skip)) GTEST_SKIP() << skip;
    const Fixture fixture = LoadFixture("sec512-clu4k");
    const std::string position = fixture.deleted.front().position_text;

    const CliRun refused = RunCli({"recover", volume->device(), volume->mount_point()});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("is on " + volume->device()), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--allow-same-device"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_FALSE(std::filesystem::exists(volume->mount_point() + "/" + fixture.deleted.front().name));

    const CliRun allowed =
        RunCli({"recover", volume->device(), volume->mount_point(), "--allow-same-device", position});
    EXPECT_EQ(allowed.status, 0) << allowed.err;
    EXPECT_EQ(Sha256OfFile(volume->mount_point() + "/" + fixture.deleted.front().name),
              fixture.deleted.front().sha256);
}

// ntfs-3g mounts an image file itself, with no loop device: the mount's
// source names the image (a space in its path escaped in the mount table),
// and the folder's files carry only FUSE's anonymous device number.
TEST(CliSameImage, RecoveryIntoAnNtfs3gMountOfTheScannedImageIsRefusedUnlessAllowed) {
    std::string skip;
    auto volume = LoopVolume::ImageOnly("sec512-clu4k", "scanned volume.img", &skip);
    if (!volume) GTEST_SKIP() << skip;
    if (!volume->Mount(MountDriver::Fuse, &skip)) GTEST_SKIP() << skip;
    const Fixture fixture = LoadFixture("sec512-clu4k");
    const DeletedFile& file = fixture.deleted.front();
    // Into the mount's root: a folder made in the mount would take a deleted file's record.
    const std::string out = volume->mount_point();
    const std::string written = out + "/" + file.name;

    // Named by another path (a symbolic link to it) the image is the same file.
    const std::string link = volume->mount_point() + "-link.img";
    std::filesystem::create_symlink(volume->device(), link);
    for (const std::string& scanned : {volume->device(), link}) {
        const CliRun refused = RunCli({"recover", scanned, out});
        EXPECT_EQ(refused.status, 2) << scanned;
        EXPECT_NE(refused.err.find("is on " + volume->device() + " (mounted as fuse"), std::string::npos)
            << refused.err;
        EXPECT_NE(refused.err.find("--allow-same-device"), std::string::npos) << refused.err;
        EXPECT_EQ(refused.out, "");
        EXPECT_FALSE(std::filesystem::exists(written));
    }

    const CliRun allowed = RunCli({"recover", volume->device(), out, "--allow-same-device", file.position_text});
    EXPECT_EQ(allowed.status, 0) << allowed.err;
    EXPECT_EQ(Sha256OfFile(written), file.sha256);

    // The fixture itself holds the same bytes but is another file: writing
    // into the mount leaves it alone.
    ASSERT_GE(fixture.deleted.size(), 2u);
    const DeletedFile& other = fixture.deleted[1];
    const CliRun elsewhere = RunCli({"recover", testing::FixtureImagePath("sec512-clu4k"), out, other.position_text});
    EXPECT_EQ(elsewhere.status, 0) << elsewhere.err;
    EXPECT_EQ(Sha256OfFile(out + "/" + other.name), other.sha256);
}

INSTANTIATE_TEST_SUITE_P(Mounts, CliSameDevice, ::testing::Values(MountDriver::Kernel, MountDriver::Fuse),
                         [](const auto& param_info) {
                             return param_info.param == MountDriver::Kernel ? "Kernel" : "Fuse";
                         });

}  // namespace
}  // namespace verandol::cli_test
