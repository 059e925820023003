// Files in two pieces: the reader that joins them, on gaps a hostile volume
// can make up, and the pass that finds where the second piece lies.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "carve/carve_pass.h"
#include "carve/carve_reader.h"

namespace verandol {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return b;
}

TEST(CarveGapReader, JoinsTwoPiecesAndKeepsAGapItCannotHoldWithinTheVolume) {
    const Bytes bytes = Counting(20000);
    MemoryVolume volume(bytes);
    CarveReader reader(volume, 100, INT64_MAX);
    reader.SkipAt(1000, 3000);
    EXPECT_EQ(reader.Size(), 20000 - 100 - 3000);
    // A window across the join holds the first piece's end, then the second's start.
    const ByteSpan across = reader.Window(990, 20);
    ASSERT_EQ(across.size(), 20u);
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(across[i], bytes[100 + 990 + i]);
    for (std::size_t i = 10; i < 20; ++i) EXPECT_EQ(across[i], bytes[100 + 3000 + 990 + i]);
    EXPECT_EQ(reader.VolumePosition(999), 100 + 999);
    EXPECT_EQ(reader.VolumePosition(1000), 100 + 1000 + 3000);
    Bytes last(4);
    EXPECT_TRUE(reader.Read(reader.Size() - 4, last));
    EXPECT_EQ(last, Bytes(bytes.end() - 4, bytes.end()));
    EXPECT_FALSE(reader.Read(reader.Size() - 3, last));

    // A gap running past the volume's end, a negative one, one past the
    // start's end: nothing is read from after the gap, nor outside the volume.
    for (const auto& [at, gap] : std::vector<std::pair<std::int64_t, std::int64_t>>{
             {1000, 1 << 30}, {1000, -4096}, {-1, 4096}, {INT64_MAX, INT64_MAX}, {19900, 1}}) {
        CarveReader hostile(volume, 100, INT64_MAX);
        hostile.SkipAt(at, gap);
        EXPECT_GE(hostile.Size(), 0) << at << " " << gap;
        EXPECT_LE(hostile.Size(), 19900) << at << " " << gap;
        Bytes all(static_cast<std::size_t>(hostile.Size()));
        EXPECT_TRUE(hostile.Read(0, all)) << at << " " << gap;
        EXPECT_TRUE(hostile.Window(hostile.Size(), 1).empty());
        EXPECT_TRUE(hostile.Unread().empty());
    }
}

// A PNG of several chunks whose pixels do not compress.
Bytes Png(std::size_t chunks) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](std::string_view type, const Bytes& data) {
        for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<std::uint8_t>(data.size() >> s));
        const std::size_t at = png.size();
        png.insert(png.end(), type.begin(), type.end());
        png.insert(png.end(), data.begin(), data.end());
        const auto crc = static_cast<std::uint32_t>(crc32(0, png.data() + at, static_cast<uInt>(png.size() - at)));
        for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<std::uint8_t>(crc >> s));
    };
    chunk("IHDR", {0, 0, 1, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0});
    std::uint32_t seed = 4711;
    for (std::size_t i = 0; i < chunks; ++i) {
        Bytes data(6000);
        for (std::uint8_t& b : data) b = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
        chunk("IDAT", data);
    }
    chunk("IEND", {});
    return png;
}

struct Collected final : CarveEvents {
    std::vector<CarvedFile> files;
    void Found(CarvedFile file) override { files.push_back(std::move(file)); }
};

TEST(CarveGapPass, APngInTwoPiecesIsVerifiedWithItsGapAndADamagedOneIsNot) {
    constexpr std::int64_t kUnit = 4096;
    const Bytes png = Png(6);
    const std::int64_t split = 3 * kUnit, gap = 4 * kUnit;
    Bytes volume(kUnit, 0);
    volume.insert(volume.end(), png.begin(), png.begin() + split);
    for (std::int64_t i = 0; i < gap; ++i) volume.push_back(static_cast<std::uint8_t>("later text\n"[i % 11]));
    volume.insert(volume.end(), png.begin() + split, png.end());
    volume.resize((volume.size() / kUnit + 2) * kUnit, 0);

    MemoryVolume memory(volume);
    CarveSetup setup;
    setup.unit = kUnit;
    Collected found;
    ASSERT_EQ(CarvePass(memory, setup, found), CarveEnd::Completed);
    ASSERT_EQ(found.files.size(), 1u) << "the second piece is not carved again";
    const CarvedExtent& e = found.files[0].extent;
    EXPECT_EQ(e.check, CarveCheck::Verified);
    EXPECT_EQ(e.position, kUnit);
    EXPECT_EQ(e.length, static_cast<std::int64_t>(png.size()));
    EXPECT_EQ(e.gap_at, split);
    EXPECT_EQ(e.gap_bytes, gap);
    const CarvedPieces pieces = PiecesOf(e);
    EXPECT_EQ(pieces.second.position, kUnit + split + gap);
    EXPECT_EQ(pieces.second.length, static_cast<std::int64_t>(png.size()) - split);

    // One byte of the second piece changed: no gap makes it whole.
    volume[static_cast<std::size_t>(kUnit + split + gap + 5000)] ^= 0x40;
    MemoryVolume damaged(volume);
    Collected broken;
    CarvePass(damaged, setup, broken);
    ASSERT_FALSE(broken.files.empty());
    EXPECT_EQ(broken.files[0].extent.check, CarveCheck::Incomplete);
    EXPECT_EQ(broken.files[0].extent.gap_bytes, 0);
}

}  // namespace
}  // namespace verandol
