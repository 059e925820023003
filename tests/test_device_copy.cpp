// The device copier against a device that fails in chosen sectors, either
// as a disk behind the kernel does (the bytes before the bad sector come
// back) or failing the whole request: every good byte lands in the image,
// the map names exactly the bad sectors, no bad sector is worn by reads
// past what the retries allow, and a copy stopped anywhere and started
// again with its map ends as one that was never stopped.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "imaging/device_copy.h"
#include "tests/faulty_source.h"
#include "tests/fixture_support.h"

namespace verandol {
namespace {

using testing::FaultySource;

constexpr std::int64_t kSector = 512;
constexpr std::int64_t kDeviceSize = 3 * 1024 * 1024 + 8 * kSector;

std::vector<std::uint8_t> RandomBytes(std::int64_t size) {
    std::mt19937_64 random(42);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random() | 1);  // never zero: a hole shows
    return bytes;
}

// One lone sector, a run across a large read's edge, one at the start, the
// last sector, and a long stretch a dying head would spread over.
const std::vector<UnreadRange> kBad{{0, kSector},
                                    {0x10000 + 3 * kSector, kSector},
                                    {0x40000 - 2 * kSector, 6 * kSector},
                                    {0x100000, 0x30000},
                                    {kDeviceSize - kSector, kSector}};

CopyOptions SmallReads(int retries = 0) {
    CopyOptions options;
    options.large_read = 64 * 1024;
    options.first_skip = 8 * 1024;
    options.retries = retries;
    return options;
}

std::vector<std::uint8_t> FileBytes(const std::string& path) { return testing::ReadWholeFile(path); }

struct Copied {
    RescueMap map;
    std::vector<std::uint8_t> image;
    int most_reads = 0;
};

// Copies, stopping after every `stop_every` reads (0: never) and going on
// from the map as saved and read back, as a second run of the command does.
Copied CopyWithStops(FaultySource& device, const std::string& image_path, CopyOptions options, int stop_every) {
    RescueMap map(0);
    for (int runs = 0; runs < 100000; ++runs) {
        auto image = ImageFile::Open(image_path, device.Size());
        EXPECT_TRUE(image) << image.reason();
        DeviceCopy copy(device, **image, map, options);
        int reads = 0;
        const CopyEnd end = copy.Run([&] { return stop_every > 0 && reads >= stop_every; }, [&] { ++reads; });
        EXPECT_NE(end, CopyEnd::WriteFailed) << copy.Error();
        Outcome<RescueMap> saved = ParseRescueMap(FormatRescueMap(map));
        EXPECT_TRUE(saved) << saved.reason();
        map = std::move(*saved);
        if (end == CopyEnd::Done) break;
    }
    return {map, FileBytes(image_path), device.MostReadsOfABadSector()};
}

class CopyOfFailingDevice : public ::testing::TestWithParam<FaultySource::Style> {
protected:
    // A bad sector is tried alone once and once per retry; the large read
    // that met it first is one more, since a device does not say which
    // sector of a large read failed.
    static int ReadsAllowed(int retries) { return retries + 2; }
    MemoryVolume volume_{RandomBytes(kDeviceSize)};
    testing::TempDir dir_;
};

TEST_P(CopyOfFailingDevice, ImagesEveryGoodSectorAndMapsExactlyTheBadOnesAsHoles) {
    FaultySource device(volume_, kBad, GetParam());
    const std::string path = dir_.path() + "/copy.img";
    const Copied copied = CopyWithStops(device, path, SmallReads(), 0);

    EXPECT_EQ(copied.map.Unfinished(), kBad);
    EXPECT_EQ(copied.map.BytesWith(AreaStatus::Bad) + copied.map.BytesWith(AreaStatus::Finished), kDeviceSize);
    EXPECT_EQ(copied.map.current.status, '+');
    ASSERT_EQ(copied.image.size(), static_cast<std::size_t>(kDeviceSize));
    std::size_t next_bad = 0;
    for (std::int64_t at = 0; at < kDeviceSize; at += kSector) {
        while (next_bad < kBad.size() && kBad[next_bad].End() <= at) ++next_bad;
        const bool bad = next_bad < kBad.size() && kBad[next_bad].position <= at;
        const auto from = copied.image.begin() + at;
        if (bad)
            ASSERT_TRUE(std::all_of(from, from + kSector, [](std::uint8_t b) { return b == 0; })) << at;
        else
            ASSERT_TRUE(std::equal(from, from + kSector, volume_.Bytes().begin() + at)) << at;
    }
    EXPECT_LE(copied.most_reads, ReadsAllowed(0));
    // The bad areas were never written: they take no space in the file.
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_LE(st.st_blocks * 512, kDeviceSize - 0x30000);
}

TEST_P(CopyOfFailingDevice, ReadsTheGoodAreasBeforeItSpendsAReadOnTheEdgesOfABadOne) {
    FaultySource device(volume_, kBad, GetParam());
    auto image = ImageFile::Open(dir_.path() + "/copy.img", kDeviceSize);
    ASSERT_TRUE(image);
    RescueMap map(0);
    DeviceCopy copy(device, **image, map, SmallReads());
    const CopyEnd end = copy.Run([&] { return map.current.status != '?'; }, [] {});
    EXPECT_EQ(end, CopyEnd::Stopped);
    std::int64_t bad_bytes = 0;
    for (const UnreadRange& r : kBad) bad_bytes += r.length;
    // Only the large reads that met a bad sector left anything behind.
    EXPECT_EQ(map.BytesWith(AreaStatus::NonTried), 0);
    EXPECT_LE(map.BytesWith(AreaStatus::NonTrimmed) + map.BytesWith(AreaStatus::Bad), bad_bytes + 6 * 64 * 1024);
    // Over the long bad stretch the skip grew: far fewer failing reads than
    // the stretch holds large reads' worth of sectors.
    EXPECT_LT(device.FailingReads(), 20);
}

TEST_P(CopyOfFailingDevice, StoppedAnywhereAndResumedWithItsMapEndsAsAnUnstoppedCopy) {
    FaultySource whole_device(volume_, kBad, GetParam());
    const Copied whole = CopyWithStops(whole_device, dir_.path() + "/whole.img", SmallReads(1), 0);
    for (int stop_every : {1, 7, 40}) {
        FaultySource device(volume_, kBad, GetParam());
        const Copied resumed =
            CopyWithStops(device, dir_.path() + "/resumed" + std::to_string(stop_every) + ".img", SmallReads(1), stop_every);
        EXPECT_EQ(resumed.map.Areas(), whole.map.Areas()) << stop_every;
        EXPECT_TRUE(resumed.image == whole.image) << stop_every;
        EXPECT_LE(resumed.most_reads, ReadsAllowed(1)) << stop_every;
    }
    EXPECT_EQ(whole.most_reads, ReadsAllowed(1));
}

TEST_P(CopyOfFailingDevice, RetriesWinBackSectorsThatFailOnlyForAWhile) {
    FaultySource device(volume_, {kBad[1]}, GetParam());
    device.FailNextReads(0x20000 + kSector, 2);
    device.FailNextReads(0x30000, 9);
    const Copied copied = CopyWithStops(device, dir_.path() + "/copy.img", SmallReads(2), 0);
    // Read at the third try; still failing after three.
    EXPECT_EQ(copied.map.Unfinished(), (std::vector<UnreadRange>{kBad[1], {0x30000, kSector}}));
    EXPECT_TRUE(std::equal(copied.image.begin() + 0x20000, copied.image.begin() + 0x20000 + 2 * kSector,
                           volume_.Bytes().begin() + 0x20000));
    EXPECT_LE(device.ReadsOfSector(0x30000), ReadsAllowed(2));
    EXPECT_EQ(copied.map.current, (CopyPosition{copied.map.current.position, '+', 2}));
}

INSTANTIATE_TEST_SUITE_P(Styles, CopyOfFailingDevice,
                         ::testing::Values(FaultySource::Style::ShortRead, FaultySource::Style::WholeRequest),
                         [](const auto& style) {
                             return style.param == FaultySource::Style::ShortRead ? std::string("ShortRead")
                                                                                  : std::string("WholeRequest");
                         });

}  // namespace
}  // namespace verandol
