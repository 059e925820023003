// What start-up knows of a device it may not read, and the rule that a
// device is asked for once per run whatever path names it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "disk/unreadable_device.h"
#include "tests/fixture_support.h"
#include "udisks/once_per_device.h"

namespace verandol {
namespace {

namespace fs = std::filesystem;

void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

TEST(DeviceAccess, TheDeviceManagersRecordDecidesWhatIsListedUnread) {
    const testing::TempDir places;
    const std::string sys = places.path() + "/sys", udev = places.path() + "/udev";
    Write(sys + "/ntfs/dev", "8:1\n");
    Write(udev + "/b8:1", "S:disk/by-label/DATA\nE:ID_FS_LABEL=DATA\nE:ID_FS_TYPE=ntfs\nE:ID_FS_USAGE=filesystem\n");
    Write(sys + "/ext4/dev", "8:2\n");
    Write(udev + "/b8:2", "E:ID_FS_TYPE=ext4\n");
    Write(sys + "/table/dev", "7:0\n");
    Write(udev + "/b7:0", "E:ID_PART_TABLE_TYPE=gpt\n");
    Write(sys + "/blank/dev", "7:1\n");
    Write(udev + "/b7:1", "I:1234\n");
    Write(sys + "/unknown/dev", "7:2\n");
    Write(sys + "/garbled/dev", "nonsense");

    EXPECT_TRUE(MayHoldNtfs(sys + "/ntfs", false, udev));
    EXPECT_FALSE(MayHoldNtfs(sys + "/ext4", true, udev));
    EXPECT_TRUE(MayHoldNtfs(sys + "/table", true, udev)) << "its partitions are not listed on their own";
    EXPECT_FALSE(MayHoldNtfs(sys + "/table", false, udev)) << "its partitions are listed on their own";
    EXPECT_FALSE(MayHoldNtfs(sys + "/blank", true, udev));
    EXPECT_TRUE(MayHoldNtfs(sys + "/unknown", false, udev)) << "no record: it may hold anything";
    EXPECT_TRUE(MayHoldNtfs(sys + "/garbled", false, udev));
    // What is not listed with the volumes is listed with the others, named from the same record.
    EXPECT_EQ(ContentTypeText(RecordedContentType(sys + "/ext4", udev)), "ext4");
    EXPECT_EQ(ContentTypeText(RecordedContentType(sys + "/table", udev)), "GPT");
    EXPECT_EQ(ContentTypeText(RecordedContentType(sys + "/blank", udev)), "no file system");

    Write(sys + "/ntfs/size", "16384\n");
    EXPECT_EQ(SysfsSize(sys + "/ntfs"), 16384 * 512);
    for (const char* hostile : {"-5\n", "12x\n", "", "9223372036854775807\n"}) {
        Write(sys + "/ext4/size", hostile);
        EXPECT_EQ(SysfsSize(sys + "/ext4"), 0) << hostile;
    }
}

TEST(DeviceAccess, EachDeviceIsAskedForOncePerRunAndARefusalStands) {
    // Device nodes of our own (opening them is never tried: the asker
    // stands in for UDisks2), where making nodes is allowed.
    const testing::TempDir nodes;
    const std::string first = nodes.path() + "/first", alias = nodes.path() + "/alias",
                      second = nodes.path() + "/second";
    if (::mknod(first.c_str(), S_IFBLK | 0600, makedev(7, 250)) != 0 ||
        ::mknod(second.c_str(), S_IFBLK | 0600, makedev(7, 251)) != 0)
        GTEST_SKIP() << "block device nodes cannot be made here";
    fs::create_symlink(first, alias);

    int asked = 0;
    OncePerDevice once([&](const std::string& path) -> Outcome<int> {
        ++asked;
        if (path == second) return Refusal("refused");
        return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    });
    for (const std::string& path : {first, alias, first}) {
        Outcome<int> fd = once.Open(path);
        ASSERT_TRUE(fd) << fd.reason();
        EXPECT_GE(::fcntl(*fd, F_GETFD), 0);
        EXPECT_TRUE(::fcntl(*fd, F_GETFD) & FD_CLOEXEC);
        ::close(*fd);  // the caller's copy; the next Open still works
    }
    EXPECT_EQ(once.Open(second).reason(), "refused");
    EXPECT_EQ(once.Open(second).reason(), "refused");
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(once.Open(nodes.path())) << "a folder is not a device";
    EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace verandol
