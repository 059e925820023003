// An ordinary user without read permission on a device reads it through
// UDisks2 once polkit allows it, and is told clearly when polkit does not.
// Real daemons on a bus of the test's own, a real loop device, and
// verandol-cli run as the unprivileged user nobody.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "system_bus_services.h"
#include "tests/loop_volume.h"

namespace verandol::cli_test {
namespace {

using testing::LoopVolume;

// A folder the test user may write into.
struct UserFolder {
    TempDir dir;
    UserFolder() { EXPECT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0); }
    const std::string& path() const { return dir.path(); }
};

TEST(CliUdisks, TheUserReadsTheDeviceOnlyWhilePolkitAllowsIt) {
    std::string skip;
    auto volume = LoopVolume::Attach("sec512-clu4k", &skip);
    if (!volume) GTEST_SKIP() << skip;
    auto services = SystemBusServices::Start(volume->device(), &skip);
    if (!services) GTEST_SKIP() << skip;
    const Fixture fixture = LoadFixture("sec512-clu4k");
    const std::string& device = volume->device();
    const auto as_user = [&](std::vector<std::string> args) {
        args.insert(args.begin(), VERANDOL_CLI_PATH);
        return RunProgram(services->AsTestUser(args));
    };

    // Start-up listing: the device is shown marked, not opened.
    const CliRun listed = as_user({"volumes"});
    EXPECT_NE(listed.out.find(device + "\t" + std::to_string(fixture.manifest.volume_size) + "\t\t\tunreadable\n"),
              std::string::npos)
        << listed.out;
    EXPECT_NE(listed.err.find(device + " may not be read by this user"), std::string::npos) << listed.err;
    // Named, it is asked for and read.
    const CliRun named = as_user({"volumes", device});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, device + "\t" + std::to_string(fixture.manifest.volume_size) + "\t" + fixture.manifest.label +
                             "\t" + fixture.manifest.serial + "\n");

    const CliRun scanned = as_user({"scan", device});
    ASSERT_EQ(scanned.status, 0) << scanned.err;
    for (const DeletedFile& file : fixture.deleted)
        EXPECT_NE(scanned.out.find("\n" + file.position_text + "\t" + file.name + "\t"), std::string::npos)
            << file.name;

    const UserFolder recovered;
    const CliRun recovery = as_user({"recover", device, recovered.path(), "--name-by-index"});
    ASSERT_EQ(recovery.status, 0) << recovery.err;
    const std::vector<std::string> lines = SplitLines(recovery.out);
    ASSERT_EQ(lines.size(), fixture.deleted.size()) << recovery.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> fields = SplitTabs(lines[i]);
        ASSERT_EQ(fields.size(), 3u) << lines[i];
        EXPECT_EQ(fields[0], "written");
        EXPECT_EQ(Sha256OfFile(fields[2]), fixture.deleted[i].sha256) << fixture.deleted[i].name;
    }

#ifdef VERANDOL_WINDOW_TEST_PATH
    const UserFolder window_out;
    const auto window = [&](const std::string& out) {
        return RunProgram(
            services->AsTestUser({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", "VERANDOL_TEST_DEVICE=" + device,
                                  "VERANDOL_TEST_OUT=" + out, VERANDOL_WINDOW_TEST_PATH}));
    };
    const CliRun window_read = window(window_out.path());
    EXPECT_EQ(window_read.status, 0) << window_read.out << window_read.err;
    EXPECT_NE(window_read.out.find(" 0 failed, 0 skipped"), std::string::npos) << window_read.out;
#endif

    // Turned off, the device is refused without asking.
    const UserFolder untouched;
    const CliRun off = as_user({"recover", "--no-udisks", device, untouched.path()});
    EXPECT_EQ(off.status, 2);
    EXPECT_NE(off.err.find("--no-udisks"), std::string::npos) << off.err;

    // Refused by polkit: said clearly, and nothing written.
    ASSERT_TRUE(services->Forbid());
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"scan", device}, std::vector<std::string>{"recover", device, untouched.path()}}) {
        const CliRun refused = as_user(args);
        EXPECT_EQ(refused.status, 2) << args[0];
        EXPECT_EQ(refused.out, "") << args[0];
        EXPECT_NE(refused.err.find(device + " may not be read: the system did not allow reading it ("),
                  std::string::npos)
            << refused.err;
        EXPECT_NE(refused.err.find("member of the disk group"), std::string::npos) << refused.err;
    }
    EXPECT_TRUE(untouched.dir.Entries().empty());
#ifdef VERANDOL_WINDOW_TEST_PATH
    const CliRun window_refused = window("");
    EXPECT_EQ(window_refused.status, 0) << window_refused.out << window_refused.err;
    EXPECT_NE(window_refused.out.find(" 0 failed, 0 skipped"), std::string::npos) << window_refused.out;
#endif
}

}  // namespace
}  // namespace verandol::cli_test
