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

INSTANTIATE_TEST_SUITE_P(Mounts, CliSameDevice, ::testing::Values(MountDriver::Kernel, MountDriver::Fuse),
                         [](const auto& param_info) {
                             return param_info.param == MountDriver::Kernel ? "Kernel" : "Fuse";
                         });

}  // namespace
}  // namespace verandol::cli_test
