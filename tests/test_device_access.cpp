// What start-up knows of a device it may not read, and the rule that a
// device is asked for once per run whatever path names it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "disk/unreadable_device.h"
#include "tests/fixture_support.h"
#include "udisks/disk_sequence.h"
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

TEST(DeviceAccess, AnotherMediumUnderTheSameNumberIsAskedForAfresh) {
    const testing::TempDir nodes;
    const std::string stick = nodes.path() + "/stick";
    if (::mknod(stick.c_str(), S_IFBLK | 0600, makedev(7, 252)) != 0)
        GTEST_SKIP() << "block device nodes cannot be made here";

    std::optional<std::uint64_t> medium = 40;
    int asked = 0;
    bool grant = true;
    int handed_out = -1;  // the descriptor the asker gave for the last medium
    OncePerDevice once(
        [&](const std::string&) -> Outcome<int> {
            ++asked;
            if (!grant) return Refusal("refused");
            handed_out = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            return handed_out;
        },
        [&](std::uint64_t device) {
            EXPECT_EQ(device, makedev(7, 252));
            return medium;
        });
    auto open_copy = [&] {
        Outcome<int> fd = once.Open(stick);
        if (fd) ::close(*fd);
        return fd ? std::string() : fd.reason();
    };

    EXPECT_EQ(open_copy(), "");
    EXPECT_EQ(open_copy(), "");
    EXPECT_EQ(asked, 1);
    const int first = handed_out;

    // Unplugged, and another stick given the same number: its answer is its own.
    medium = 41;
    grant = false;
    EXPECT_EQ(open_copy(), "refused");
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(::fcntl(first, F_GETFD), -1) << "the gone stick's descriptor is closed";
    EXPECT_EQ(open_copy(), "refused");
    EXPECT_EQ(asked, 2);

    // And the refusal belongs to that stick alone.
    medium = 42;
    grant = true;
    EXPECT_EQ(open_copy(), "");
    EXPECT_EQ(open_copy(), "");
    EXPECT_EQ(asked, 3);
    // Where the kernel cannot say which medium it is, the number alone counts.
    medium = std::nullopt;
    EXPECT_EQ(open_copy(), "");
    EXPECT_EQ(open_copy(), "");
    EXPECT_EQ(asked, 4);
}

TEST(DeviceAccess, TheMediumIsTheDisksSequenceNumberAsSysfsTellsIt) {
    const testing::TempDir places;
    const fs::path sys = places.path();
    auto device = [&](const std::string& folder, const std::string& number) {
        Write((sys / folder / "dev").string(), number + "\n");
        fs::create_directories(sys / "dev/block");
        fs::create_directory_symlink(sys / folder, sys / "dev/block" / number);
    };
    device("devices/block/sdb", "8:16");
    device("devices/block/sdb/sdb1", "8:17");
    Write((sys / "devices/block/sdb/sdb1/partition").string(), "1\n");
    Write((sys / "devices/block/sdb/diskseq").string(), "18446744073709551615\n");
    EXPECT_EQ(DiskSequence(makedev(8, 16), sys.string()), 18446744073709551615u);
    EXPECT_EQ(DiskSequence(makedev(8, 17), sys.string()), 18446744073709551615u) << "a partition is its disk's";
    EXPECT_EQ(DiskSequence(makedev(8, 32), sys.string()), std::nullopt) << "no such device";
    for (const char* hostile : {"", "-1\n", "18446744073709551616\n", "12x\n", "0x10\n", "+5\n"}) {
        Write((sys / "devices/block/sdb/diskseq").string(), hostile);
        EXPECT_EQ(DiskSequence(makedev(8, 17), sys.string()), std::nullopt) << hostile;
    }

    // The kernel's own tree, where it numbers its disks: every disk has a number.
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/sys/block", error)) {
        if (!fs::exists(entry.path() / "diskseq")) continue;
        std::ifstream dev(entry.path() / "dev");
        unsigned major_number = 0, minor_number = 0;
        char colon = 0;
        ASSERT_TRUE(dev >> major_number >> colon >> minor_number) << entry.path();
        EXPECT_TRUE(DiskSequence(makedev(major_number, minor_number))) << entry.path();
    }
}

}  // namespace
}  // namespace verandol
