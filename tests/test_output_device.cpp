// The refusal to write recovered files onto the device being read: the
// mount table and sysfs it reads are hostile or odd input like any other.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

#include "recover/block_devices.h"
#include "recover/mount_info.h"
#include "recover/output_device_check.h"
#include "tests/fixture_support.h"

namespace verandol {
namespace {

namespace fs = std::filesystem;

TEST(MountInfo, LinesOfEveryShapeTheKernelWritesAndNoOther) {
    // Optional fields before the separator; a FUSE mount's anonymous device.
    auto fuse = ParseMountInfoLine(
        "61 27 0:52 / /mnt/usb\\040stick rw,relatime shared:33 master:2 - fuseblk /dev/loop0 rw,user_id=0\n");
    ASSERT_TRUE(fuse);
    EXPECT_EQ(fuse->device, makedev(0, 52));
    EXPECT_EQ(fuse->mount_point, "/mnt/usb stick");
    EXPECT_EQ(fuse->fs_type, "fuseblk");
    EXPECT_EQ(fuse->source, "/dev/loop0");
    // No optional fields; tab, newline and backslash escaped; a source with a space.
    auto odd = ParseMountInfoLine("1 0 8:17 / /a\\011b\\012c\\134d rw - ext4 /dev/my\\040disk rw");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->device, makedev(8, 17));
    EXPECT_EQ(odd->mount_point, "/a\tb\nc\\d");
    EXPECT_EQ(odd->source, "/dev/my disk");
    // Escapes that are no byte are kept as written.
    EXPECT_EQ(UnescapeMountField("\\04"), "\\04");
    EXPECT_EQ(UnescapeMountField("a\\400b\\"), "a\\400b\\");
    EXPECT_EQ(UnescapeMountField("\\000x"), std::string("\0x", 2));

    for (const char* bad : {"", "-", "1 0 8:1 / /m rw ext4 /dev/sda1 rw", "1 0 8:1 / /m rw - ext4",
                            "1 0 8:1 / /m rw - ext4 /dev/sda1", "1 0 8 / /m rw - ext4 /dev/sda1 rw",
                            "1 0 8:x / /m rw - ext4 /dev/sda1 rw", "1 0 99999999999:1 / /m rw - ext4 /dev/sda1 rw",
                            "1 0 8:1 / relative rw - ext4 /dev/sda1 rw", "1 0 8:1 /  rw - ext4 /dev/sda1 rw",
                            "1 0 :1 / /m rw - ext4 /dev/sda1 rw"})
        EXPECT_FALSE(ParseMountInfoLine(bad)) << bad;
}

TEST(MountInfo, AFuseSourceIsThePathItWasMountedFrom) {
    // As ntfs-3g writes the mount of an image file: its absolute path, escaped.
    auto image = ParseMountInfoLine(
        "46 28 0:41 / /tmp/my\\040x/mnt rw,relatime - fuse /tmp/my\\040x/vol\\011\\134.img "
        "rw,user_id=0,group_id=0,allow_other");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->device, makedev(0, 41));
    EXPECT_EQ(image->fs_type, "fuse");
    EXPECT_EQ(image->source, "/tmp/my x/vol\t\\.img");
    // Sources that are no path, or escapes cut short, come through as written.
    EXPECT_EQ(ParseMountInfoLine("1 0 0:42 / /m rw - fuse.sshfs me@host:/x rw")->source, "me@host:/x");
    EXPECT_EQ(ParseMountInfoLine("1 0 0:42 / /m rw - fuse /a\\04 rw")->source, "/a\\04");
    EXPECT_EQ(ParseMountInfoLine("1 0 0:42 / /m rw - fuse /a\\ rw")->source, "/a\\");
    EXPECT_EQ(ParseMountInfoLine("1 0 0:42 / /m rw - fuse \\057etc rw")->source, "/etc");
    // An empty source is a field all the same; a line cut before it is not.
    EXPECT_EQ(ParseMountInfoLine("1 0 0:42 / /m rw - fuse  rw")->source, "");
    EXPECT_FALSE(ParseMountInfoLine("1 0 0:42 / /m rw - fuse /vol.img"));
}

TEST(MountInfo, AFolderBelongsToTheLongestMountPointOfItsDevice) {
    const std::vector<MountEntry> table = ParseMountInfo(
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "garbage line\n"
        "2 1 0:40 / /mnt/a rw - fuseblk /dev/sdb1 rw\n"
        "3 1 0:41 / /mnt/a/b rw - fuseblk /dev/sdc1 rw\n"
        "4 1 0:42 / /mnt/ab rw - fuseblk /dev/sdd1 rw\n"
        "5 1 0:40 / /mnt/a rw - fuseblk /dev/sde1 rw");
    ASSERT_EQ(table.size(), 5u);
    // The later of two mounts on one point hides the earlier.
    EXPECT_EQ(MountHolding(table, makedev(0, 40), "/mnt/a/x/y")->source, "/dev/sde1");
    EXPECT_EQ(MountHolding(table, makedev(0, 41), "/mnt/a/b")->source, "/dev/sdc1");
    // "/mnt/a" does not hold "/mnt/ab", and the device must match.
    EXPECT_FALSE(MountHolding(table, makedev(0, 40), "/mnt/ab/x"));
    EXPECT_FALSE(MountHolding(table, makedev(0, 43), "/mnt/a"));
    EXPECT_EQ(MountHolding(table, makedev(8, 1), "/home/me")->source, "/dev/sda1");
}

// A sysfs tree as the kernel lays it out: /sys/dev/block/MAJ:MIN links to the
// device's folder, partitions are folders inside their disk's.
class FakeSysfs : public ::testing::Test {
protected:
    void Device(const std::string& folder, const std::string& number, bool partition = false) {
        fs::create_directories(root() / folder);
        std::ofstream(root() / folder / "dev") << number << "\n";
        if (partition) std::ofstream(root() / folder / "partition") << "1\n";
        fs::create_directories(root() / "dev/block");
        fs::create_directory_symlink(root() / folder, root() / "dev/block" / number);
    }
    fs::path root() const { return tree_.path(); }
    std::vector<std::uint64_t> Family(unsigned major_number, unsigned minor_number) const {
        std::vector<std::uint64_t> devices;
        for (const BlockDevice& d : OverlappingBlockDevices(makedev(major_number, minor_number), root().string()))
            devices.push_back(d.device);
        std::sort(devices.begin(), devices.end());
        return devices;
    }
    testing::TempDir tree_;
};

TEST_F(FakeSysfs, ADiskAndItsPartitionsOverlapButSiblingsDoNot) {
    Device("devices/block/sdb", "8:16");
    Device("devices/block/sdb/sdb1", "8:17", true);
    Device("devices/block/sdb/sdb2", "8:18", true);
    Device("devices/virtual/block/dm-0", "253:0");
    fs::create_directories(root() / "devices/block/sdb/sdb2/holders");
    fs::create_directory_symlink(root() / "devices/virtual/block/dm-0",
                                 root() / "devices/block/sdb/sdb2/holders/dm-0");
    EXPECT_EQ(Family(8, 16),
              (std::vector<std::uint64_t>{makedev(8, 16), makedev(8, 17), makedev(8, 18), makedev(253, 0)}));
    EXPECT_EQ(Family(8, 17), (std::vector<std::uint64_t>{makedev(8, 16), makedev(8, 17)}));
    // A device-mapper device built on the partition writes into it.
    EXPECT_EQ(Family(8, 18), (std::vector<std::uint64_t>{makedev(8, 16), makedev(8, 18), makedev(253, 0)}));
    // Unknown to sysfs, or with a "dev" file that says nothing: the device alone.
    EXPECT_EQ(Family(9, 9), (std::vector<std::uint64_t>{makedev(9, 9)}));
    Device("devices/block/odd", "garbage");
    EXPECT_EQ(OverlappingBlockDevices(makedev(1, 2), root().string()).size(), 1u);
}

TEST_F(FakeSysfs, AnImageIsRefusedOnlyWhereALoopDeviceReadsIt) {
    const std::string image = testing::FixtureImagePath("sec512-clu4k");
    struct stat folder {};
    ASSERT_EQ(stat(".", &folder), 0);
    SystemTables tables{(root() / "mountinfo").string(), root().string()};
    std::ofstream(root() / "mountinfo") << "";
    // Writing beside the image leaves its bytes alone.
    EXPECT_EQ(OutputDeviceRefusal(image, fs::path(image).parent_path().string()), "");
    EXPECT_EQ(OutputDeviceRefusal(image, fs::path(image).parent_path().string(), tables), "");
    // Here the working folder's device claims to be a loop device reading the image.
    const std::string number = std::to_string(major(folder.st_dev)) + ":" + std::to_string(minor(folder.st_dev));
    Device("devices/virtual/block/loop7", number);
    fs::create_directories(root() / "devices/virtual/block/loop7/loop");
    std::ofstream(root() / "devices/virtual/block/loop7/loop/backing_file") << image << "\n";
    EXPECT_EQ(OutputDeviceRefusal(image, ".", tables),
              "the output folder . is on /dev/loop7, a loop device reading " + image + ", the volume being read");
}

// The mount table escaped as the kernel writes it.
std::string Escaped(const std::string& path) {
    std::string text;
    for (char c : path) text += c == ' ' ? std::string("\\040") : std::string(1, c);
    return text;
}

TEST_F(FakeSysfs, AFuseMountOfTheImageItselfIsRefusedByFileNotByName) {
    // Here the folder's own device claims to be ntfs-3g's mount of an image file.
    const std::string folder = (root() / "mnt").string();
    fs::create_directories(folder);
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    const std::string number = std::to_string(major(info.st_dev)) + ":" + std::to_string(minor(info.st_dev));
    const std::string images = (root() / "my images").string();
    fs::create_directories(images);
    const std::string image = images + "/vol.img";
    fs::copy_file(testing::FixtureImagePath("sec512-clu4k"), image);
    SystemTables tables{(root() / "mountinfo").string(), root().string()};
    auto mounted_from = [&](const std::string& source) {
        std::ofstream(root() / "mountinfo") << "1 0 " << number << " / " << Escaped(folder)
                                            << " rw shared:1 - fuse " << Escaped(source) << " rw,allow_other\n";
    };

    mounted_from(image);
    const std::string refusal =
        "the output folder " + folder + " is on " + image + " (mounted as fuse), the volume being read";
    EXPECT_EQ(OutputDeviceRefusal(image, folder, tables), refusal);
    // Also when the scan names it by another path, or names a partition inside it.
    fs::create_hard_link(image, images + "/hard link.img");
    fs::create_symlink(image, images + "/symbolic.img");
    EXPECT_EQ(OutputDeviceRefusal(images + "/hard link.img", folder, tables), refusal);
    EXPECT_EQ(OutputDeviceRefusal(images + "/symbolic.img@1", folder, tables), refusal);
    mounted_from(images + "/hard link.img");
    EXPECT_NE(OutputDeviceRefusal(image, folder, tables), "");

    // A copy of the same bytes is another file, and an unescaped space cuts
    // the source short.
    fs::copy_file(image, images + "/copy.img");
    mounted_from(images + "/copy.img");
    EXPECT_EQ(OutputDeviceRefusal(image, folder, tables), "");
    std::ofstream(root() / "mountinfo") << "1 0 " << number << " / " << Escaped(folder) << " rw - fuse " << image
                                        << " rw\n";
    EXPECT_EQ(OutputDeviceRefusal(image, folder, tables), "");
}

TEST_F(FakeSysfs, AFuseMountOfTheFileAScannedLoopDeviceReadsIsRefused) {
    // A device node of our own for the loop device scanned, where nodes can
    // be made; its number is one no driver has, so opening it finds nothing.
    const std::string node = (root() / "loop250").string();
    if (::mknod(node.c_str(), S_IFBLK | 0600, makedev(240, 250)) != 0)
        GTEST_SKIP() << "block device nodes cannot be made here";
    const std::string image = (root() / "vol.img").string();
    fs::copy_file(testing::FixtureImagePath("sec512-clu4k"), image);
    Device("devices/virtual/block/loop250", "240:250");
    fs::create_directories(root() / "devices/virtual/block/loop250/loop");
    std::ofstream(root() / "devices/virtual/block/loop250/loop/backing_file") << image << "\n";

    const std::string folder = (root() / "mnt").string();
    fs::create_directories(folder);
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    const std::string number = std::to_string(major(info.st_dev)) + ":" + std::to_string(minor(info.st_dev));
    SystemTables tables{(root() / "mountinfo").string(), root().string()};
    std::ofstream(root() / "mountinfo") << "1 0 " << number << " / " << folder << " rw - fuse " << image << " rw\n";
    EXPECT_EQ(OutputDeviceRefusal(node, folder, tables),
              "the output folder " + folder + " is on " + image +
                  ", the image /dev/loop250 reads (mounted as fuse), the volume being read");
}

TEST(OutputDevice, AFolderOnTheBlockDeviceReadIsRefused) {
    struct stat folder {};
    ASSERT_EQ(stat(".", &folder), 0);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/dev", ec)) {
        struct stat device {};
        if (stat(entry.path().c_str(), &device) != 0 || !S_ISBLK(device.st_mode)) continue;
        if (device.st_rdev != folder.st_dev) continue;
        EXPECT_EQ(OutputDeviceRefusal(entry.path().string(), "."),
                  "the output folder . is on " + entry.path().string() + ", the volume being read");
        return;
    }
    GTEST_SKIP() << "the working directory's file system has no block device node here";
}

}  // namespace
}  // namespace verandol
