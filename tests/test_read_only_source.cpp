// The volume being read is evidence: a scan and a recovery of every file must
// leave it bit for bit as it was, and must not even hold it open for writing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "disk/volume_file.h"
#include "tests/reliability_support.h"

namespace verandol {
namespace {

using namespace testing;
namespace fs = std::filesystem;

// Scans `path` and recovers every row, checking each against the manifest.
void ScanAndRecoverEverything(const std::string& path, const Manifest& m) {
    ScanCollector scan;
    ScanVolumePath("source", path, scan);
    ASSERT_EQ(scan.end, ScanEnd::Completed) << scan.reason;
    ASSERT_EQ(scan.rows.size(), m.Deleted().size());
    TempDir out;
    auto volume = VolumeFile::Open(path);
    ASSERT_TRUE(volume);
    const auto recoveries = RecoverAll(*volume, scan, out.path(), false);
    ExpectHonestOutcome(scan, recoveries, out.path());
    for (const Recovery& r : recoveries) EXPECT_EQ(r.result.status, RecoverStatus::Written) << r.row.name;
    // The path-taking recovery opens the volume on its own; use it too.
    const RecoverResult by_path =
        RecoverFile(path, scan.rows.front().position_text, scan.published->geometry, scan.published->mft_runs,
                    out.path() + "/by-path");
    EXPECT_EQ(by_path.status, RecoverStatus::Written) << by_path.reason;
}

// The access mode of the descriptor a VolumeFile holds, from /proc/self/fdinfo.
int AccessModeOfNewDescriptor(const std::string& path, std::unique_ptr<VolumeFile>& keep) {
    // Nothing else holds the image open, so the one descriptor naming it is the new one.
    keep = VolumeFile::Open(path);
    if (!keep) return -1;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(e.path(), ec) != fs::canonical(path)) continue;
        std::ifstream info("/proc/self/fdinfo/" + e.path().filename().string());
        for (std::string line; std::getline(info, line);)
            if (line.starts_with("flags:")) return static_cast<int>(std::stoul(line.substr(6), nullptr, 8)) & O_ACCMODE;
    }
    return -1;
}

class ReadOnlySource : public ::testing::Test {
protected:
    void SetUp() override {
        manifest_ = LoadManifest("sec512-clu4k");
        image_ = copy_dir_.path() + "/source.img";
        fs::copy_file(FixtureImagePath("sec512-clu4k"), image_);
        ::chmod(image_.c_str(), 0444);
        hash_ = Sha256Hex(ReadWholeFile(image_));
    }
    void ExpectImageUnchanged() { EXPECT_EQ(Sha256Hex(ReadWholeFile(image_)), hash_); }

    TempDir copy_dir_;
    Manifest manifest_;
    std::string image_;
    std::string hash_;
};

TEST_F(ReadOnlySource, ReadOnlyImageIsOpenedReadOnlyAndLeftUnchanged) {
    std::unique_ptr<VolumeFile> held;
    // As root the mode bits do not stop a write, so the descriptor itself is checked.
    EXPECT_EQ(AccessModeOfNewDescriptor(image_, held), O_RDONLY);
    ScanAndRecoverEverything(image_, manifest_);
    ExpectImageUnchanged();
}

// A read-only loop device refuses every write in the kernel, whoever asks:
// if anything tried to write, the recovery or the scan would fail here.
TEST_F(ReadOnlySource, ReadOnlyLoopDeviceIsReadAndLeftUnchanged) {
    if (::geteuid() != 0) GTEST_SKIP() << "attaching a loop device needs root";
    const std::string attach = "losetup -r -f --show '" + image_ + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(attach.c_str(), "r"), ::pclose);
    char line[256] = {};
    if (!pipe || !std::fgets(line, sizeof line, pipe.get())) GTEST_SKIP() << "losetup cannot attach here";
    std::string device(line);
    device.erase(device.find_last_not_of("\n") + 1);
    pipe.reset();
    struct Detach {
        std::string device;
        ~Detach() { (void)std::system(("losetup -d '" + device + "'").c_str()); }
    } detach{device};

    const int probe = ::open(device.c_str(), O_RDONLY);
    ASSERT_GE(probe, 0);
    int read_only = 0;
    EXPECT_EQ(::ioctl(probe, BLKROGET, &read_only), 0);
    ::close(probe);
    ASSERT_EQ(read_only, 1) << "the kernel would take writes to the device";

    ScanAndRecoverEverything(device, manifest_);
    ExpectImageUnchanged();
}

}  // namespace
}  // namespace verandol
