#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "disk/content_type.h"
#include "disk/open_volume.h"
#include "disk/volume_discovery.h"
#include "tests/fixture_support.h"

namespace verandol {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

void Write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

// A fake /sys/class/block and /dev: disks are folders with a removable flag,
// partitions live inside their disk's folder and are linked from class/block.
struct FakeSystem {
    TempDir root;
    fs::path sys = fs::path(root.path()) / "sys";
    fs::path dev = fs::path(root.path()) / "dev";
    fs::path work = fs::path(root.path()) / "work";
    std::string ntfs_image = testing::FixtureImagePath("sec512-clu4k");

    FakeSystem() { fs::create_directories(work); }

    void Disk(const std::string& name, int removable, bool ntfs) {
        Write(sys / "devices" / name / "removable", std::to_string(removable));
        if (name.rfind("loop", 0) == 0) Write(sys / "devices" / name / "loop/backing_file", "/images/" + name);
        fs::create_directories(sys / "class/block");
        fs::create_directory_symlink(sys / "devices" / name, sys / "class/block" / name);
        Device(name, ntfs);
    }
    void Partition(const std::string& disk, const std::string& name, bool ntfs) {
        Write(sys / "devices" / disk / name / "partition", "1");
        fs::create_directory_symlink(sys / "devices" / disk / name, sys / "class/block" / name);
        Device(name, ntfs);
    }
    void Device(const std::string& name, bool ntfs) {
        fs::create_directories(dev);
        if (ntfs) fs::copy_file(ntfs_image, dev / name);
        else Write(dev / name, std::string(4096, 'z'));
    }
    DiscoveryResult Discover() {
        return DiscoverVolumes({(sys / "class/block").string(), dev.string(), work.string()});
    }
};

std::vector<std::string> Names(const DiscoveryResult& r) {
    std::vector<std::string> names;
    for (const auto& d : r.drives) names.push_back(d.name);
    return names;
}

TEST(DriveDiscovery, FixedNtfsDevicesThenRemovableOnesThenImagesInNameOrder) {
    FakeSystem s;
    s.Disk("sdb", 0, false);
    s.Partition("sdb", "sdb1", true);
    s.Disk("sdc", 1, false);           // a USB stick: after the fixed disks
    s.Partition("sdc", "sdc1", true);
    s.Disk("loop0", 0, true);          // backed by a file
    s.Disk("ram0", 0, true);
    s.Disk("zram0", 0, true);
    s.Disk("sr0", 1, true);            // optical
    s.Disk("loop1", 0, true);
    fs::remove_all(s.sys / "devices/loop1/loop");  // not backed by a file
    fs::copy_file(s.ntfs_image, s.work / "b.img");
    fs::copy_file(s.ntfs_image, s.work / "a.dd");
    fs::copy_file(s.ntfs_image, s.work / "notes.txt");
    Write(s.work / "c.raw", std::string(4096, 'q'));
    fs::create_directory(s.work / "dir.img");

    DiscoveryResult r = s.Discover();
    const std::string dev = s.dev.string();
    EXPECT_EQ(Names(r), (std::vector<std::string>{dev + "/loop0", dev + "/sdb1", dev + "/sdc1", "a.dd", "b.img"}));
    EXPECT_EQ(r.drives.back().path, (s.work / "b.img").string());
    // The labels describe the last candidate opened, even though it is not NTFS.
    EXPECT_EQ(r.drive_name_text, "Drive Name: ");
    EXPECT_EQ(r.drive_serial_text, "Drive Serial: 7171717171717171");
}

TEST(DriveDiscovery, NothingOpenableLeavesTheLabelsAlone) {
    FakeSystem s;
    s.Disk("sdb", 0, true);
    fs::remove(s.dev / "sdb");
    DiscoveryResult r = s.Discover();
    EXPECT_TRUE(r.drives.empty());
    EXPECT_FALSE(r.drive_name_text);
    EXPECT_FALSE(r.drive_serial_text);
}

TEST(DriveDiscovery, LabelOfAnNtfsImage) {
    FakeSystem s;
    fs::copy_file(s.ntfs_image, s.work / "vol.img");
    DiscoveryResult r = s.Discover();
    auto manifest = testing::LoadManifest("sec512-clu4k");
    EXPECT_EQ(r.drive_name_text, "Drive Name: " + manifest.label);
    EXPECT_EQ(r.drive_serial_text, "Drive Serial: " + manifest.serial);
}

// A device copy with its copier's map beside it, as the image command and
// GNU ddrescue leave them, is read with the map: what the copy could not
// read is unreadable, not the zeros the file holds there.
TEST(DriveDiscovery, AnImageWithItsCopiersMapBesideItIsReadWithTheMap) {
    FakeSystem s;
    fs::copy_file(s.ntfs_image, s.work / "copy.img");
    Write(s.work / "copy.img.map", "0 +\n0x0 0x2000 +\n");  // only the first 8 KiB were read
    const DiscoveryResult r = s.Discover();
    ASSERT_EQ(r.drives.size(), 1u);
    Outcome<OpenedVolume> opened = OpenVolume(r.drives[0].path);
    ASSERT_TRUE(opened) << opened.reason();
    std::vector<std::uint8_t> bytes(0x1000);
    EXPECT_EQ(opened->source->ReadAt(0x1000, bytes), bytes.size());
    EXPECT_EQ(opened->source->ReadAt(0x1800, bytes), 0x800u);
    EXPECT_EQ(opened->source->UnreadSoFar(), (std::vector<UnreadRange>{{0x2000, 0x800}}));

    Write(s.work / "copy.img.map", "0 +\n0x0 0x2000 +\n0x1000 0x10 -\n");
    const Outcome<OpenedVolume> refused = OpenVolume(r.drives[0].path);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.reason().find("line 3"), std::string::npos) << refused.reason();
}

// A disk image and a block device without listed partitions are looked
// into; each NTFS partition is listed under its disk's name and number.
TEST(DriveDiscovery, PartitionsOfDiskImagesAndUnpartitionedDevices) {
    FakeSystem s;
    s.Disk("sdd", 1, false);
    fs::remove(s.dev / "sdd");
    fs::copy_file(testing::DiskImagePath("mbr-disk"), s.dev / "sdd");
    fs::copy_file(testing::DiskImagePath("gpt-disk"), s.work / "disk.img");
    DiscoveryResult r = s.Discover();
    const std::string dev = s.dev.string();
    EXPECT_EQ(Names(r), (std::vector<std::string>{dev + "/sdd #1 (NTFS, 8.4 MB)", dev + "/sdd #6 (NTFS, 8.4 MB)",
                                                  "disk.img #1 (NTFS, 8.4 MB)", "disk.img #3 (NTFS, 8.4 MB)"}));
    EXPECT_EQ(r.drives[1].path, dev + "/sdd@6");
    EXPECT_EQ(r.drives[3].path, (s.work / "disk.img").string() + "@3");
    EXPECT_EQ(r.drive_name_text, "Drive Name: GPTTHREE");
}

std::vector<std::string> OtherNames(const DiscoveryResult& r) {
    std::vector<std::string> names;
    for (const auto& d : r.others) names.push_back(d.name);
    return names;
}

// What is no NTFS volume itself is listed after the NTFS volumes, with what
// the probing library makes of it: a file system, a partition table (the
// disk as a whole, whose lost volumes a search looks for), or nothing.
TEST(DriveDiscovery, EverythingElseComesAfterTheNtfsVolumesNamedByWhatItHolds) {
    FakeSystem s;
    s.Disk("sda", 0, false);
    s.Partition("sda", "sda1", true);
    s.Partition("sda", "sda2", false);
    // The GPT disk's second partition is ext2, made by mke2fs.
    const testing::DiskManifest disk = testing::LoadDiskManifest("gpt-disk");
    const std::vector<std::uint8_t> whole = testing::ReadWholeFile(testing::DiskImagePath("gpt-disk"));
    const auto& ext2 = disk.partitions.at(1);
    ASSERT_EQ(ext2.kind, "ext2");
    {
        std::ofstream out(s.dev / "sda2", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(whole.data() + ext2.start), ext2.length);
    }
    fs::copy_file(testing::DiskImagePath("gpt-disk"), s.work / "disk.img");
    std::ofstream(s.work / "blank.raw", std::ios::binary) << std::string(1 << 20, '\0');
    std::ofstream(s.work / "notes.txt") << "not an image name";

    const DiscoveryResult r = s.Discover();
    const std::string dev = s.dev.string();
    EXPECT_EQ(Names(r), (std::vector<std::string>{dev + "/sda1", "disk.img #1 (NTFS, 8.4 MB)",
                                                  "disk.img #3 (NTFS, 8.4 MB)"}));
    EXPECT_EQ(OtherNames(r), (std::vector<std::string>{dev + "/sda (no file system, 4.1 KB)",
                                                       dev + "/sda2 (ext2, 2.1 MB)", "blank.raw (no file system, 1.0 MB)",
                                                       "disk.img (GPT, 21 MB)"}));
    ASSERT_EQ(r.others.size(), 4u);
    EXPECT_EQ(r.others[3].path, (s.work / "disk.img").string());
    EXPECT_EQ(r.others[3].source_name, "disk.img");
    EXPECT_EQ(r.others[3].size, disk.size);
    EXPECT_EQ(r.drives[1].source_name, "disk.img");

    EXPECT_EQ(ContentTypeText({"vfat", "dos"}), "FAT");
    EXPECT_EQ(ContentTypeText({"btrfs", ""}), "btrfs");
    EXPECT_EQ(ContentTypeText({"", "dos"}), "MBR");
    EXPECT_EQ(FoundDriveName("disk.img", 1048576, 8388608), "disk.img @+1048576 (NTFS, 8.4 MB, found)");
}

}  // namespace
}  // namespace verandol
