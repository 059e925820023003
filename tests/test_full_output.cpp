// A recovery into a folder that fills up must say so and leave nothing
// behind: a cut-off file under its final name would look recovered.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include "tests/reliability_support.h"

namespace verandol {
namespace {

using namespace testing;

// A 256 KiB tmpfs, mounted for the test's length.
struct SmallFolder {
    TempDir dir;
    bool mounted = false;
    SmallFolder() { mounted = ::geteuid() == 0 && ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=256k") == 0; }
    ~SmallFolder() {
        if (mounted) ::umount2(dir.path().c_str(), MNT_DETACH);
    }
};

TEST(FullOutputFolder, FileLargerThanTheFreeSpaceIsNotWrittenAndLeavesNothing) {
    SmallFolder small;
    if (!small.mounted) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    // 1 MiB in 256 clusters from cluster 16, and a small resident file after it.
    Bytes runs = RunListEntry(256, 16);
    runs.push_back(0);
    CraftedVolume v = CraftVolume({Record({StandardInformation(0, 0), FileName(u"big.bin", 1),
                                           NonResidentData(runs, 256 * 4096, 0, 255)}),
                                   Record({StandardInformation(0, 0), FileName(u"small.txt", 1),
                                           ResidentData(Bytes(100, 'x'))})},
                                  300);
    for (std::size_t i = 16 * 4096; i < v.bytes.size(); ++i) v.bytes[i] = static_cast<std::uint8_t>(i);
    MemoryVolume volume(std::move(v.bytes));
    ScanCollector scan;
    ScanVolume(volume, "crafted", "", scan);
    ASSERT_EQ(scan.rows.size(), 2u);

    const auto recoveries = RecoverAll(volume, scan, small.dir.path(), true);
    ExpectHonestOutcome(scan, recoveries, small.dir.path());
    ASSERT_EQ(recoveries.size(), 2u);
    EXPECT_EQ(recoveries[0].result.status, RecoverStatus::NotWritten);
    EXPECT_NE(recoveries[0].result.reason.find("big.bin"), std::string::npos) << recoveries[0].result.reason;
    // The space the failed file took is given back, so the next row still fits.
    EXPECT_EQ(recoveries[1].result.status, RecoverStatus::Written) << recoveries[1].result.reason;
    EXPECT_EQ(small.dir.Entries(), std::vector<std::string>{"small.txt"});
}

}  // namespace
}  // namespace verandol
