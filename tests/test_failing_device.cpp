// The failing test device itself: its bad ranges fail and nothing else does,
// every read reaches it and is counted, and its options refuse what they
// cannot mean.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "recover/recover_file.h"
#include "scan/scan_collector.h"
#include "scan/scan_volume.h"
#include "tests/failing_device.h"
#include "tests/failing_device/bad_ranges.h"
#include "tests/fixture_support.h"

namespace verandol::testing {
namespace {

constexpr std::uint64_t kBadStart = 1048576, kBadLength = 10240;  // sectors 2048 to 2067

class DeviceFile {
public:
    explicit DeviceFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY)) {}
    ~DeviceFile() {
        if (fd_ >= 0) close(fd_);
    }
    int fd() const { return fd_; }
    // The bytes at [offset, offset + size), or the errno of the failed read.
    // The buffer starts on a page, so that a read of up to 1 MiB reaches
    // the device as one.
    std::pair<std::vector<std::uint8_t>, int> Read(std::uint64_t offset, std::size_t size) const {
        std::unique_ptr<std::uint8_t, decltype(&std::free)> buffer(
            static_cast<std::uint8_t*>(std::aligned_alloc(4096, (size + 4095) / 4096 * 4096)), &std::free);
        const ssize_t got = pread(fd_, buffer.get(), size, static_cast<off_t>(offset));
        if (got < 0) return {{}, errno};
        return {{buffer.get(), buffer.get() + got}, 0};
    }

private:
    int fd_;
};

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& image, std::uint64_t offset, std::size_t size) {
    return {image.begin() + static_cast<std::ptrdiff_t>(offset),
            image.begin() + static_cast<std::ptrdiff_t>(offset + size)};
}

TEST(FailingDevice, ReadsAroundABadRangeAndFailsIntoItCountingEveryRead) {
    const std::string source = FixtureImagePath("sec512-clu4k");
    const std::vector<std::uint8_t> image = ReadWholeFile(source);
    std::string skip;
    auto device = FailingDevice::Serve(source, {{{kBadStart, kBadLength}}, 0.2, 0}, &skip);
    if (!device) GTEST_SKIP() << skip;

    struct stat st {};
    ASSERT_EQ(stat(device->path().c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::size_t>(st.st_size), image.size());
    DeviceFile file(device->path());
    ASSERT_GE(file.fd(), 0) << std::strerror(errno);
    EXPECT_EQ(open(device->path().c_str(), O_RDWR), -1);
    EXPECT_EQ(errno, EROFS);

    // Up to the bad range, the whole first mebibyte in one read, and from
    // just past it: the image's bytes. The same read twice reaches the
    // device twice: nothing is cached.
    EXPECT_EQ(file.Read(kBadStart - 4096, 4096), std::make_pair(Slice(image, kBadStart - 4096, 4096), 0));
    EXPECT_EQ(file.Read(kBadStart - 4096, 4096), std::make_pair(Slice(image, kBadStart - 4096, 4096), 0));
    EXPECT_EQ(file.Read(0, kBadStart), std::make_pair(Slice(image, 0, kBadStart), 0));
    EXPECT_EQ(file.Read(kBadStart + kBadLength, 4096), std::make_pair(Slice(image, kBadStart + kBadLength, 4096), 0));
    EXPECT_EQ(device->Reads(), 4u);
    EXPECT_EQ(device->FailingReads(), 0u);

    // Reads that touch it by one sector at either end fail whole, and take
    // the delay.
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(file.Read(kBadStart - 2048, 4096).second, EIO);  // sectors 2044 to 2051
    EXPECT_EQ(file.Read(kBadStart + kBadLength - 512, 512).second, EIO);  // sector 2067
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400));
    // Past the end: nothing, and no failure.
    EXPECT_EQ(file.Read(image.size(), 4096), std::make_pair(std::vector<std::uint8_t>{}, 0));

    const FailingDeviceCounts counts = device->Counts();
    EXPECT_EQ(counts.reads, 7u);
    EXPECT_EQ(counts.failing_reads, 2u);
    ASSERT_EQ(counts.sector_reads.size(), 20u);
    EXPECT_EQ(counts.sector_reads.begin()->first, 2048u);
    for (auto [sector, reads] : counts.sector_reads)
        EXPECT_EQ(reads, sector <= 2051 || sector == 2067 ? 1u : 0u) << "sector " << sector;
    EXPECT_EQ(device->ReadsOfSector(2049), 1u);
}

// The volume made for it, read through it: a bad cluster inside one photo
// costs that photo and no other file, and the reads that reach it are counted.
TEST(FailingDevice, AVolumeReadThroughItLosesOnlyTheFileOnItsBadCluster) {
    const Manifest m = LoadManifest("faults");
    const auto photo = std::find_if(m.files.begin(), m.files.end(), [](const ManifestFile& f) {
        return f.deleted && f.name.starts_with("IMG_") && f.size >= 300 * 1024;
    });
    ASSERT_NE(photo, m.files.end());
    // Its tenth cluster.
    const std::uint64_t bad = static_cast<std::uint64_t>(photo->runs.at(0).first + 9) * m.cluster_size;
    std::string skip;
    auto device = FailingDevice::Serve(FixtureImagePath("faults"), {{{bad, m.cluster_size}}, 0, 0}, &skip);
    if (!device) GTEST_SKIP() << skip;

    ScanCollector scan;
    ScanVolumePath("faults", device->path(), scan);
    ASSERT_TRUE(scan.published);
    EXPECT_EQ(device->FailingReads(), 0u) << "the scan read no file's data";
    std::map<std::int64_t, const DeletedFileRow*> rows;
    for (const DeletedFileRow& row : scan.rows) rows[row.position] = &row;
    EXPECT_EQ(rows.size(), 190u);

    TempDir out;
    for (const ManifestFile& f : m.Deleted()) {
        const auto row = rows.find(m.RecordPosition(f.mft_record));
        ASSERT_NE(row, rows.end()) << f.path;
        const std::string path = out.path() + "/" + std::to_string(f.mft_record);
        const RecoverResult r = RecoverFile(scan.published->path, row->second->position_text,
                                            scan.published->geometry, scan.published->mft_runs, path);
        if (f.path == photo->path) {
            EXPECT_NE(r.status, RecoverStatus::Written) << f.path << " lies on the bad cluster";
        } else {
            ASSERT_EQ(r.status, RecoverStatus::Written) << f.path << ": " << r.reason;
            EXPECT_EQ(Sha256Hex(ReadWholeFile(path)), f.sha256) << f.path;
        }
    }
    EXPECT_GE(device->FailingReads(), 1u);
    EXPECT_GE(device->ReadsOfSector(bad / 512), 1u);
}

TEST(FailingDeviceOptions, ByteRangesAndDelaysRefuseWhatTheyCannotMean) {
    const auto range = ParseByteRange("1048576+10240");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->start, 1048576u);
    EXPECT_EQ(range->end(), 1058816u);
    EXPECT_TRUE(ParseByteRange("9223372036854775806+1"));
    for (const char* bad : {"", "+", "1+", "+1", "1+0", "-1+5", "1+-5", " 1+5", "1 +5", "0x10+5", "1+5+", "1-5",
                            "18446744073709551615+1", "9223372036854775807+2", "99999999999999999999+1"})
        EXPECT_FALSE(ParseByteRange(bad)) << bad;

    EXPECT_EQ(ParseSeconds("0.2"), 0.2);
    EXPECT_EQ(ParseSeconds("3"), 3.0);
    EXPECT_EQ(ParseSeconds(".5"), 0.5);
    for (const char* bad : {"", ".", "-1", "1e3", "inf", "nan", "0x1", " 1", "1.2.3", "3601"})
        EXPECT_FALSE(ParseSeconds(bad)) << bad;

    // Sectors touched by unaligned and overlapping ranges, each once.
    EXPECT_EQ(SectorsOf({{1000, 24}}), (std::vector<std::uint64_t>{1}));
    EXPECT_EQ(SectorsOf({{511, 2}, {1024, 1}, {512, 600}}), (std::vector<std::uint64_t>{0, 1, 2}));
}

}  // namespace
}  // namespace verandol::testing
