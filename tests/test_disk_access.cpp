// The pieces between an address and a volume's bytes, on hostile input: the
// offset view's bounds, address parsing, the extended-record chain, and EWF
// images whose segments were cut or damaged.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>

#include "disk/ewf_image.h"
#include "disk/extended_chain.h"
#include "disk/offset_view.h"
#include "disk/open_volume.h"
#include "disk/virtual_disk_image.h"
#include "disk/volume_address.h"
#include "recover/recover_file.h"
#include "scan/scan_volume.h"
#include "tests/fixture_support.h"
#include "tests/record_builder.h"
#include "scan/scan_collector.h"

namespace verandol {
namespace {

using namespace testing;
namespace fs = std::filesystem;

// A disk of three regions: 0x11 before the partition, 0x22 inside, 0x33 after.
std::shared_ptr<ByteSource> ThreeRegions() {
    Bytes bytes(3 * 4096, 0x11);
    std::fill(bytes.begin() + 4096, bytes.begin() + 8192, 0x22);
    std::fill(bytes.begin() + 8192, bytes.end(), 0x33);
    return std::make_shared<MemoryVolume>(bytes);
}

TEST(OffsetView, ReadsStayInsideThePartition) {
    OffsetView view(ThreeRegions(), 4096, 4096);
    EXPECT_FALSE(view.Cut());
    EXPECT_EQ(view.Size(), 4096);
    Bytes buffer(1024, 0);
    // A read that starts inside and runs past the end stops at the end:
    // the next partition's bytes (0x33) never show up.
    EXPECT_EQ(view.ReadAt(4096 - 100, buffer), 100u);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 100, [](std::uint8_t b) { return b == 0x22; }));
    EXPECT_TRUE(std::all_of(buffer.begin() + 100, buffer.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(view.ReadAt(4096, buffer), 0u);
    EXPECT_EQ(view.ReadAt(INT64_MAX, buffer), 0u);
    EXPECT_EQ(view.ReadAt(-1, buffer), 0u) << "nor the previous one's (0x11)";
    EXPECT_EQ(view.ReadAt(0, buffer), buffer.size());
    EXPECT_EQ(buffer.front(), 0x22);
}

TEST(OffsetView, APartitionClaimingMoreThanTheDiskIsCutAtItsEnd) {
    OffsetView past(ThreeRegions(), 8192, 1 << 20);
    EXPECT_TRUE(past.Cut());
    EXPECT_EQ(past.Size(), 4096);
    OffsetView huge(ThreeRegions(), 4096, INT64_MAX);  // start + length overflows
    EXPECT_TRUE(huge.Cut());
    EXPECT_EQ(huge.Size(), 8192);
    OffsetView beyond(ThreeRegions(), 1 << 20, 4096);
    EXPECT_TRUE(beyond.Cut());
    EXPECT_EQ(beyond.Size(), 0);
    Bytes buffer(16);
    EXPECT_EQ(beyond.ReadAt(0, buffer), 0u);
}

TEST(VolumeAddress, TheLastAtFollowedByDigitsNamesThePartition) {
    struct Case {
        const char* text;
        const char* path;
        int partition;
    };
    const Case cases[] = {
        {"disk.img@2", "disk.img", 2},        {"/dev/sdb@1", "/dev/sdb", 1},
        {"a@b.img@12", "a@b.img", 12},        {"a@b.img", "a@b.img", 0},
        {"disk.img", "disk.img", 0},          {"disk.img@", "disk.img@", 0},
        {"disk.img@0", "disk.img@0", 0},      {"disk.img@2x", "disk.img@2x", 0},
        {"@3", "@3", 0},                      {"disk.img@99999999999", "disk.img@99999999999", 0},
        {"case.E01@1", "case.E01", 1},
    };
    for (const Case& c : cases) {
        const VolumeAddress a = ParseVolumeAddress(c.text);
        EXPECT_EQ(a.path, c.path) << c.text;
        EXPECT_EQ(a.partition, c.partition) << c.text;
        EXPECT_EQ(ParseVolumeAddress(FormatVolumeAddress(a.path, a.partition)).path, a.path) << c.text;
    }
}

TEST(VolumeAddress, AtPlusDigitsNamesAByteOffsetThatFitsA64BitPosition) {
    struct Case {
        const char* text;
        const char* path;
        std::int64_t offset;
    };
    const Case cases[] = {
        {"disk.img@+1048576", "disk.img", 1048576},  {"a@+b.img@+0", "a@+b.img", 0},
        {"disk.img@+", "disk.img@+", -1},            {"disk.img@+-5", "disk.img@+-5", -1},
        {"disk.img@+12x", "disk.img@+12x", -1},      {"d@+9223372036854775807", "d", INT64_MAX},
        {"d@+9223372036854775808", "d@+9223372036854775808", -1},
        {"d@+99999999999999999999", "d@+99999999999999999999", -1},
    };
    for (const Case& c : cases) {
        const VolumeAddress a = ParseVolumeAddress(c.text);
        EXPECT_EQ(a.path, c.path) << c.text;
        EXPECT_EQ(a.offset, c.offset) << c.text;
        EXPECT_EQ(a.partition, 0) << c.text;
        if (a.offset >= 0) {
            EXPECT_EQ(FormatOffsetAddress(a.path, a.offset), c.text);
        }
    }
}

// An MBR whose extended partition starts at sector `start`; each record's
// second entry links to the next at `links` (sectors from the extended start).
Bytes ChainDisk(std::uint32_t start, const std::vector<std::uint32_t>& links, std::size_t sectors = 64) {
    Bytes disk(sectors * 512, 0);
    auto record = [&](std::size_t at, std::size_t entry, std::uint32_t lba) {
        if (at + 512 > disk.size()) return;  // a link past the disk's end
        disk[at + 0x1BE + entry * 16 + 4] = 0x05;
        PutLe(disk, at + 0x1BE + entry * 16 + 8, lba, 4);
        PutLe(disk, at + 0x1FE, 0xAA55, 2);
    };
    record(0, 0, start);
    std::uint32_t here = 0;
    for (std::uint32_t link : links) {
        record((start + here) * 512, 1, link);
        here = link;
    }
    if ((start + std::size_t{here}) * 512 + 512 <= disk.size()) PutLe(disk, (start + here) * 512 + 0x1FE, 0xAA55, 2);
    return disk;
}

TEST(ExtendedChain, FollowsLinksAndStopsAtLoopsAndTheDisksEnd) {
    MemoryVolume chain(ChainDisk(8, {4, 10}));
    EXPECT_EQ(ExtendedRecordPositions(chain), (std::vector<std::int64_t>{8 * 512, 12 * 512, 18 * 512}));
    MemoryVolume loop(ChainDisk(8, {4, 0}));  // the last links back to the first
    EXPECT_EQ(ExtendedRecordPositions(loop), (std::vector<std::int64_t>{8 * 512, 12 * 512}));
    MemoryVolume outside(ChainDisk(8, {12}, 16));  // the second record lies past the end
    EXPECT_EQ(ExtendedRecordPositions(outside), (std::vector<std::int64_t>{8 * 512}));
    MemoryVolume far(ChainDisk(8, {0xFFFFFFF0u}, 16));
    EXPECT_EQ(ExtendedRecordPositions(far).size(), 1u);
    MemoryVolume empty(Bytes(512, 0));
    EXPECT_TRUE(ExtendedRecordPositions(empty).empty());
}

// A copy of the EWF acquisition of gpt-disk, to damage.
struct EwfCopy {
    TempDir dir;
    std::string first = dir.path() + "/case.E01";
    EwfCopy() {
        for (const char* ext : {".E01", ".E02", ".E03"}) {
            const std::string from = EwfImagePath("gpt-disk");
            fs::copy_file(from.substr(0, from.size() - 4) + ext, dir.path() + "/case" + ext);
        }
    }
    std::string Segment(int n) const { return dir.path() + "/case.E0" + std::to_string(n); }
};

// What a damaged image gave: a refusal, or files that are either the
// manifest's bytes or reported as not (fully) recovered.
struct DamageOutcome {
    int refused = 0, wrong = 0, not_written = 0, written = 0;
};

DamageOutcome RecoverEverything(const std::string& image) {
    const DiskManifest disk = LoadDiskManifest("gpt-disk");
    DamageOutcome outcome;
    for (const DiskPartition& part : disk.Ntfs()) {
        const std::string address = image + "@" + std::to_string(part.number);
        ScanCollector scan;
        ScanVolumePath(address, address, scan);
        if (scan.end != ScanEnd::Completed) {
            EXPECT_FALSE(scan.reason.empty()) << address;
            ++outcome.refused;
            continue;
        }
        std::map<std::int64_t, std::string> truth;
        for (const ManifestFile& f : part.volume->Deleted())
            truth[part.volume->RecordPosition(f.mft_record)] = f.sha256;
        TempDir out;
        for (const DeletedFileRow& row : scan.rows) {
            const std::string file = out.path() + "/f";
            const RecoverResult r =
                RecoverFile(address, row.position_text, scan.published->geometry, scan.published->mft_runs, file);
            if (r.status != RecoverStatus::Written) {
                ++outcome.not_written;
                continue;
            }
            ++outcome.written;
            if (Sha256Hex(ReadWholeFile(file)) != truth[row.position]) ++outcome.wrong;
        }
    }
    return outcome;
}

class DamagedEwf : public ::testing::Test {
protected:
    void SetUp() override {
        if (!EwfSupported()) GTEST_SKIP() << "built without EWF support";
    }
};

// Every segment the library holds open is open for reading only, and a full
// scan and recovery leaves each segment as it was.
TEST_F(DamagedEwf, IntactSegmentsAreOpenedReadOnlyAndLeftUnchanged) {
    EwfCopy copy;
    std::vector<std::string> before;
    for (int n = 1; n <= 3; ++n) before.push_back(Sha256Hex(ReadWholeFile(copy.Segment(n))));
    Outcome<OpenedVolume> opened = OpenVolume(copy.first + "@3");
    ASSERT_TRUE(opened) << opened.reason();
    Bytes probe(4096);
    ASSERT_EQ(opened->source->ReadAt(0, probe), probe.size());
    int segments_open = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(e.path(), ec).parent_path() != fs::canonical(copy.dir.path())) continue;
        std::ifstream info("/proc/self/fdinfo/" + e.path().filename().string());
        for (std::string line; std::getline(info, line);) {
            if (line.starts_with("flags:")) {
                EXPECT_EQ(std::stoul(line.substr(6), nullptr, 8) & O_ACCMODE, unsigned{O_RDONLY});
            }
        }
        ++segments_open;
    }
    EXPECT_GT(segments_open, 0);
    const DamageOutcome o = RecoverEverything(copy.first);
    EXPECT_EQ(o.wrong + o.refused + o.not_written, 0);
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(Sha256Hex(ReadWholeFile(copy.Segment(n))), before[n - 1]) << n;
}

TEST_F(DamagedEwf, MissingOrCutSegmentsAreRefusedInWords) {
    {
        EwfCopy copy;
        fs::remove(copy.Segment(3));
        Outcome<OpenedVolume> opened = OpenVolume(copy.first + "@1");
        ASSERT_FALSE(opened);
        EXPECT_NE(opened.reason().find(copy.first), std::string::npos) << opened.reason();
    }
    {
        EwfCopy copy;
        fs::resize_file(copy.Segment(2), fs::file_size(copy.Segment(2)) / 2);
        const DamageOutcome o = RecoverEverything(copy.first);
        EXPECT_EQ(o.wrong, 0);
        EXPECT_GT(o.refused + o.not_written, 0) << "half of a segment is gone";
    }
    {
        EwfCopy copy;
        fs::resize_file(copy.first, 100);
        EXPECT_FALSE(OpenVolume(copy.first));
    }
}

TEST_F(DamagedEwf, FlippedBytesInChunksAreNeverRecoveredAsGood) {
    EwfCopy copy;
    // Every 4 KiB of the second segment's middle: every chunk there, which
    // holds the third partition's files, fails its checksum.
    Bytes segment = ReadWholeFile(copy.Segment(2));
    for (std::size_t at = 1 << 20; at < segment.size() - (1 << 20); at += 4096) segment[at] ^= 0x5A;
    WriteWholeFile(copy.Segment(2), segment);
    const DamageOutcome o = RecoverEverything(copy.first);
    EXPECT_EQ(o.wrong, 0) << "a damaged chunk passed for the disk's bytes";
    // The damaged chunks hold the third partition's first MFT records: its
    // record 0 comes from the mirror, and the files whose records are lost
    // are missing rather than recovered from the wrong bytes.
    std::size_t deleted = 0;
    for (const DiskPartition& part : LoadDiskManifest("gpt-disk").Ntfs()) deleted += part.volume->Deleted().size();
    EXPECT_LT(static_cast<std::size_t>(o.written), deleted);
    EXPECT_GT(o.written, 0) << "the first partition, in the first segment, is intact";
}

// Virtual disks cut short (a copy that did not finish): a reason, or files
// that are either whole or reported as not.
TEST(DamagedVirtualDisk, CutImagesGiveAReasonOrHonestFiles) {
    for (const std::string extension : {".vhd", ".vhdx", ".vmdk"}) {
        if (!(extension == ".vmdk" ? VmdkSupported() : VhdSupported())) continue;
        TempDir dir;
        const std::string image = dir.path() + "/cut" + extension;
        fs::copy_file(DiskImagePath("gpt-disk", extension), image);
        fs::resize_file(image, fs::file_size(image) / 2);
        const DamageOutcome o = RecoverEverything(image);
        EXPECT_EQ(o.wrong, 0) << extension;
        EXPECT_GT(o.refused + o.not_written, 0) << extension;
    }
}

}  // namespace
}  // namespace verandol
