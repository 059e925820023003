// The picture, sound, video, database and compound-document walkers on
// inputs built here: each finds the exact end of a whole file, follows no
// loop forever, calls nothing cut or inconsistent complete, and takes bytes
// that merely begin like a file for no file.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "carve/carve_formats.h"
#include "carve/formats/bmp.h"
#include "carve/formats/iso_bmff.h"
#include "carve/formats/ole2.h"
#include "carve/formats/riff.h"
#include "carve/formats/sqlite.h"
#include "carve/formats/tiff.h"

namespace verandol {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void Le(Bytes& out, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Be(Bytes& out, std::uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
Bytes Noise(std::size_t n, std::uint32_t seed) {
    std::mt19937 r(seed);
    Bytes b(n);
    for (std::uint8_t& c : b) c = static_cast<std::uint8_t>(r());
    return b;
}

WalkResult Walk(WalkResult (*walk)(CarveReader&), const Bytes& bytes, std::int64_t limit = INT64_MAX) {
    MemoryVolume volume(bytes);
    CarveReader reader(volume, 0, limit);
    return walk(reader);
}

// Whole at `length` bytes, with the same bytes followed by noise, and cut one byte short.
void ExpectEndsAt(WalkResult (*walk)(CarveReader&), Bytes file, CarveCheck check, const std::string& extension) {
    const auto length = static_cast<std::int64_t>(file.size());
    const Bytes after = Noise(3000, 5);
    file.insert(file.end(), after.begin(), after.end());
    const WalkResult walked = Walk(walk, file);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, length);
    EXPECT_EQ(walked->check, check);
    EXPECT_EQ(walked->extension, extension);
    const WalkResult cut = Walk(walk, file, length - 1);
    if (cut) {
        EXPECT_EQ(cut->check, CarveCheck::Incomplete);
        EXPECT_LE(cut->length, length - 1);
    }
}

// A TIFF of two strips, an EXIF directory and a second directory holding a
// JPEG preview, laid out as cameras do: directories first, pixels after.
struct TiffParts {
    std::string make = "Canon";
    bool big_endian = false;
    bool canon_raw = false;  // "CR" after the header, the first directory at 16
    bool dng = false;
};

Bytes Tiff(const TiffParts& p) {
    Bytes b;
    const auto u16 = [&](std::uint32_t v) { p.big_endian ? Be(b, v, 2) : Le(b, v, 2); };
    const auto u32 = [&](std::uint32_t v) { p.big_endian ? Be(b, v, 4) : Le(b, v, 4); };
    const auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        if (type == 3 && count == 1) {
            u16(value);
            u16(0);
        } else {
            u32(value);
        }
    };
    Append(b, p.big_endian ? std::string_view("MM\0*", 4) : std::string_view("II*\0", 4));
    const std::uint32_t ifd0 = p.canon_raw ? 16 : 8;
    u32(ifd0);
    if (p.canon_raw) {
        Append(b, "CR");
        b.insert(b.end(), {2, 0, 0, 0, 0, 0});
    }
    const std::uint32_t entries0 = p.dng ? 8 : 7;
    const std::uint32_t make_at = ifd0 + 2 + 12 * entries0 + 4;
    const auto make_length = static_cast<std::uint32_t>(p.make.size() + 1);
    const std::uint32_t strips_at = make_at + make_length + (make_length & 1);
    const std::uint32_t counts_at = strips_at + 8;
    const std::uint32_t exif_at = counts_at + 8;
    const std::uint32_t ifd1 = exif_at + 18;
    const std::uint32_t pixels = ifd1 + 2 + 12 * 3 + 4;
    u16(entries0);
    entry(256, 3, 1, 40);
    entry(257, 3, 1, 20);
    entry(271, 2, make_length, make_at);
    entry(273, 4, 2, strips_at);
    entry(277, 3, 1, 3);  // SamplesPerPixel
    entry(279, 4, 2, counts_at);
    entry(34665, 4, 1, exif_at);
    if (p.dng) entry(50706, 1, 4, 0x00000401);
    u32(ifd1);
    Append(b, p.make);
    b.resize(strips_at, 0);
    u32(pixels);
    u32(pixels + 1500);
    u32(1500);
    u32(900);
    u16(1);
    entry(36864, 7, 4, 0x30333230);  // ExifVersion, held in the entry
    u32(0);
    u16(3);
    entry(256, 3, 1, 20);
    entry(513, 4, 1, pixels + 2400);
    entry(514, 4, 1, 700);
    u32(0);
    const Bytes noise = Noise(3100, 9);
    b.insert(b.end(), noise.begin(), noise.end());
    return b;
}

TEST(CarveTiff, TheFurthestByteAnyDirectoryReachesEndsTheFileAndTellsItsKind) {
    ExpectEndsAt(WalkTiff, Tiff({}), CarveCheck::Complete, "");
    ExpectEndsAt(WalkTiff, Tiff({.big_endian = true}), CarveCheck::Complete, "");
    ExpectEndsAt(WalkTiff, Tiff({.make = "NIKON CORPORATION"}), CarveCheck::Complete, "nef");
    ExpectEndsAt(WalkTiff, Tiff({.make = "SONY"}), CarveCheck::Complete, "arw");
    ExpectEndsAt(WalkTiff, Tiff({.make = "NIKON CORPORATION", .dng = true}), CarveCheck::Complete, "dng");
    ExpectEndsAt(WalkTiff, Tiff({.canon_raw = true}), CarveCheck::Complete, "cr2");
}

TEST(CarveTiff, LoopsEndAndWhatPointsPastTheEndIsIncomplete) {
    const Bytes good = Tiff({});
    // Directory offsets: the first at 8, its next-pointer after its 7 entries.
    const std::size_t next0 = 8 + 2 + 12 * 7;
    const std::uint32_t ifd1 = good[next0] | good[next0 + 1] << 8 | good[next0 + 2] << 16 | good[next0 + 3] << 24;
    for (const std::uint32_t back : {8u, ifd1}) {
        // The second directory's next is the first again, or itself.
        Bytes loop = good;
        PutLe32(loop, ifd1 + 2 + 12 * 3, back);
        const WalkResult walked = Walk(WalkTiff, loop);
        ASSERT_TRUE(walked);
        EXPECT_EQ(walked->length, static_cast<std::int64_t>(good.size()));
    }
    Bytes far = good;
    PutLe32(far, ifd1 + 2 + 12 + 8, 0x7FFFFF00);  // the preview's offset
    WalkResult walked = Walk(WalkTiff, far);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    // A chain of more directories than any file holds: followed to a bound, not forever.
    Bytes chain(8);
    chain[0] = 'I', chain[1] = 'I', chain[2] = 42;
    PutLe32(chain, 4, 8);
    for (std::uint32_t i = 0; i < 2000; ++i) {
        Le(chain, 1, 2);
        Le(chain, 256, 2), Le(chain, 3, 2), Le(chain, 1, 4), Le(chain, 16, 4);
        Le(chain, static_cast<std::uint32_t>(chain.size()) + 4, 4);
    }
    walked = Walk(WalkTiff, chain);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes unsorted = good;
    std::swap_ranges(unsorted.begin() + 10, unsorted.begin() + 22, unsorted.begin() + 22);  // first two entries
    EXPECT_FALSE(Walk(WalkTiff, unsorted));
    Bytes no_width = good;
    no_width[10] = 0xFE;  // ImageWidth becomes NewSubfileType
    EXPECT_FALSE(Walk(WalkTiff, no_width));
}

// A 5 x 3 BMP of 24-bit pixels: rows of 15 bytes padded to 16.
Bytes Bmp() {
    Bytes b;
    Append(b, "BM");
    Le(b, 54 + 48, 4);
    Le(b, 0, 4);
    Le(b, 54, 4);
    Le(b, 40, 4);
    Le(b, 5, 4), Le(b, 3, 4), Le(b, 1, 2), Le(b, 24, 2), Le(b, 0, 4), Le(b, 48, 4);
    Le(b, 2835, 4), Le(b, 2835, 4), Le(b, 0, 4), Le(b, 0, 4);
    const Bytes pixels = Noise(48, 3);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

TEST(CarveBmp, CompleteOnlyWhenTheFileSizeAgreesWithThePixels) {
    ExpectEndsAt(WalkBmp, Bmp(), CarveCheck::Complete, "");
    Bytes larger = Bmp();
    PutLe32(larger, 2, 54 + 48 + 4096);  // a size the pixels do not fill
    larger.resize(8192, 0);
    WalkResult walked = Walk(WalkBmp, larger);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    EXPECT_EQ(walked->length, 54 + 48);
    Bytes depth = Bmp();
    depth[28] = 7;
    EXPECT_FALSE(Walk(WalkBmp, depth));
    Bytes overlapping = Bmp();
    PutLe32(overlapping, 10, 40);  // pixels inside the headers
    EXPECT_FALSE(Walk(WalkBmp, overlapping));
}

Bytes Riff(std::string_view form, const std::vector<std::pair<std::string, std::size_t>>& chunks) {
    Bytes b;
    Append(b, "RIFF");
    Le(b, 0, 4);
    Append(b, form);
    std::uint32_t seed = 1;
    for (const auto& [id, size] : chunks) {
        Append(b, id);
        Le(b, size, 4);
        const Bytes data = Noise(size + (size & 1), seed++);
        b.insert(b.end(), data.begin(), data.end());
    }
    PutLe32(b, 4, static_cast<std::uint32_t>(b.size() - 8));
    return b;
}

TEST(CarveRiff, CompleteWhenTheChunksTileTheDeclaredSize) {
    ExpectEndsAt(WalkRiff, Riff("WAVE", {{"fmt ", 16}, {"LIST", 27}, {"data", 1001}}), CarveCheck::Complete, "wav");
    ExpectEndsAt(WalkRiff, Riff("WEBP", {{"VP8 ", 700}}), CarveCheck::Complete, "webp");
    // An AVI past its first list goes on in "AVIX" lists.
    Bytes avi = Riff("AVI ", {{"LIST", 300}, {"idx1", 64}});
    const Bytes more = Riff("AVIX", {{"LIST", 500}});
    avi.insert(avi.end(), more.begin(), more.end());
    ExpectEndsAt(WalkRiff, avi, CarveCheck::Complete, "avi");

    Bytes longer = Riff("WAVE", {{"fmt ", 16}, {"data", 400}});
    PutLe32(longer, 4, 4 + 24 + 408 + 512);  // declares more than its chunks hold
    longer.resize(longer.size() + 4096, 0);
    WalkResult walked = Walk(WalkRiff, longer);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    Bytes overrun = Riff("WAVE", {{"fmt ", 16}, {"data", 400}});
    PutLe32(overrun, 40, 5000);  // data's size past the list's end
    walked = Walk(WalkRiff, overrun);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    Bytes garbage = Riff("WAVE", {{"fmt ", 16}});
    garbage[12] = 0x01;  // no chunk id
    EXPECT_FALSE(Walk(WalkRiff, garbage));
}

void Box(Bytes& b, std::string_view type, std::size_t payload, bool wide = false) {
    if (wide) {
        Be(b, 1, 4);
        Append(b, type);
        Be(b, 16 + payload, 8);
    } else {
        Be(b, 8 + payload, 4);
        Append(b, type);
    }
    const Bytes data = Noise(payload, static_cast<std::uint32_t>(b.size()));
    b.insert(b.end(), data.begin(), data.end());
}

Bytes Media(std::string_view major, std::string_view compatible, std::initializer_list<std::string_view> boxes) {
    Bytes b;
    Be(b, 16 + compatible.size(), 4);
    Append(b, "ftyp");
    Append(b, major);
    Be(b, 0x200, 4);
    Append(b, compatible);
    for (const std::string_view type : boxes) Box(b, type, type == "mdat" ? 2000 : 300, type == "mdat");
    return b;
}

TEST(CarveIsoBmff, CompleteWithMetadataAndMediaDataAndNamedByItsBrand) {
    ExpectEndsAt(WalkIsoBmff, Media("isom", "isomiso2mp41", {"free", "mdat", "moov"}), CarveCheck::Complete, "mp4");
    ExpectEndsAt(WalkIsoBmff, Media("qt  ", "qt  ", {"wide", "mdat", "moov"}), CarveCheck::Complete, "mov");
    ExpectEndsAt(WalkIsoBmff, Media("M4A ", "M4A mp42isom", {"moov", "mdat"}), CarveCheck::Complete, "m4a");
    ExpectEndsAt(WalkIsoBmff, Media("mif1", "mif1heic", {"meta", "mdat"}), CarveCheck::Complete, "heic");
    ExpectEndsAt(WalkIsoBmff, Media("isom", "isom", {"mdat"}), CarveCheck::Incomplete, "mp4");
    // A later file right after it is not part of it.
    Bytes two = Media("isom", "isom", {"moov", "mdat"});
    const auto length = static_cast<std::int64_t>(two.size());
    const Bytes next = Media("isom", "isom", {"moov", "mdat"});
    two.insert(two.end(), next.begin(), next.end());
    WalkResult walked = Walk(WalkIsoBmff, two);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, length);
    Bytes nothing = Media("isom", "isom", {});
    const Bytes noise = Noise(5000, 4);
    nothing.insert(nothing.end(), noise.begin(), noise.end());
    EXPECT_FALSE(Walk(WalkIsoBmff, nothing));
}

Bytes Sqlite(std::uint32_t counter, std::uint32_t valid_for) {
    Bytes b;
    Append(b, std::string_view("SQLite format 3\0", 16));
    Be(b, 4096, 2);
    b.insert(b.end(), {1, 1, 0, 64, 32, 32});
    Be(b, counter, 4), Be(b, 3, 4), Be(b, 0, 4), Be(b, 0, 4), Be(b, 1, 4), Be(b, 4, 4), Be(b, 0, 4);
    Be(b, 0, 4), Be(b, 1, 4), Be(b, 0, 4), Be(b, 0, 4), Be(b, 0, 4);
    b.resize(92, 0);
    Be(b, valid_for, 4);
    Be(b, 3045001, 4);
    b.push_back(0x0D);
    b.resize(3 * 4096, 0);
    return b;
}

TEST(CarveSqlite, ThePageCountMakesTheSizeOnlyWhenItIsCurrent) {
    ExpectEndsAt(WalkSqlite, Sqlite(7, 7), CarveCheck::Complete, "");
    const WalkResult stale = Walk(WalkSqlite, Sqlite(8, 7));
    ASSERT_TRUE(stale);
    EXPECT_EQ(stale->check, CarveCheck::Incomplete);
    EXPECT_EQ(stale->length, 4096);
    Bytes odd_page = Sqlite(7, 7);
    odd_page[16] = 0x03, odd_page[17] = 0xE8;  // 1000 is no power of two
    EXPECT_FALSE(Walk(WalkSqlite, odd_page));
    Bytes reserved = Sqlite(7, 7);
    reserved[80] = 1;  // the reserved expansion bytes are zero in every writer's files
    EXPECT_FALSE(Walk(WalkSqlite, reserved));
    Bytes no_btree = Sqlite(7, 7);
    no_btree[100] = 0x42;
    EXPECT_FALSE(Walk(WalkSqlite, no_btree));
}

constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD;

struct Stream {
    std::string name;
    std::uint8_t type = 2;  // stream; 1 a storage
    std::size_t size = 0;
    std::uint32_t left = kFree, right = kFree, child = kFree;
};

// A version 3 compound file: the table in sector 0, the directory in 1, the
// mini table in 2, the mini stream from 3, then each large stream's sectors.
// Streams are the root's entries 1..n; small ones go to the mini stream.
Bytes Compound(std::vector<Stream> streams) {
    constexpr std::size_t S = 512;
    std::vector<std::uint32_t> fat = {kFatSector, kEnd, kEnd}, minifat;
    std::size_t mini_bytes = 0;
    std::vector<std::uint32_t> starts;
    for (const Stream& s : streams) {
        if (s.type != 2 || s.size >= 4096) {
            starts.push_back(0);
            continue;
        }
        starts.push_back(static_cast<std::uint32_t>(minifat.size()));
        const std::size_t n = (s.size + 63) / 64;
        for (std::size_t i = 0; i < n; ++i)
            minifat.push_back(i + 1 < n ? static_cast<std::uint32_t>(minifat.size() + 1) : kEnd);
        mini_bytes += n * 64;
    }
    const std::size_t mini_sectors = (mini_bytes + S - 1) / S;
    const auto chain = [&](std::size_t n) {
        const auto first = static_cast<std::uint32_t>(fat.size());
        for (std::size_t i = 0; i < n; ++i) fat.push_back(i + 1 < n ? static_cast<std::uint32_t>(fat.size() + 1) : kEnd);
        return first;
    };
    const std::uint32_t mini_first = mini_sectors ? chain(mini_sectors) : kEnd;
    for (std::size_t i = 0; i < streams.size(); ++i)
        if (streams[i].type == 2 && streams[i].size >= 4096) starts[i] = chain((streams[i].size + S - 1) / S);
    const std::size_t sectors = fat.size();
    fat.resize(S / 4, kFree);
    minifat.resize(S / 4, kFree);

    Bytes b = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    b.resize(24, 0);
    Le(b, 0x3E, 2), Le(b, 3, 2), Le(b, 0xFFFE, 2), Le(b, 9, 2), Le(b, 6, 2);
    b.resize(0x28, 0);
    Le(b, 0, 4), Le(b, 1, 4), Le(b, 1, 4), Le(b, 0, 4), Le(b, 4096, 4), Le(b, 2, 4), Le(b, 1, 4), Le(b, kEnd, 4),
        Le(b, 0, 4);
    Le(b, 0, 4);
    while (b.size() < S) Le(b, kFree, 4);
    for (const std::uint32_t v : fat) Le(b, v, 4);
    const auto entry = [&](std::string_view name, std::uint8_t type, std::uint32_t left, std::uint32_t right,
                           std::uint32_t child, std::uint32_t start, std::uint64_t size) {
        const std::size_t at = b.size();
        for (const char c : name) Le(b, static_cast<std::uint8_t>(c), 2);
        if (!name.empty()) Le(b, 0, 2);
        const std::size_t name_bytes = b.size() - at;
        b.resize(at + 64, 0);
        Le(b, name_bytes, 2);
        b.push_back(type);
        b.push_back(1);
        Le(b, left, 4), Le(b, right, 4), Le(b, child, 4);
        b.resize(at + 116, 0);
        Le(b, start, 4);
        Le(b, size, 8);
    };
    entry("Root Entry", 5, kFree, kFree, streams.empty() ? kFree : 1, mini_first, mini_bytes);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const Stream& s = streams[i];
        entry(s.name, s.type, s.left, s.right, s.child, s.type == 2 ? starts[i] : 0, s.size);
    }
    b.resize(3 * S, 0);
    for (const std::uint32_t v : minifat) Le(b, v, 4);
    const Bytes content = Noise((sectors - 3) * S, 11);
    b.insert(b.end(), content.begin(), content.end());
    return b;
}

// Workbook (large) at the root, beside a storage holding a Word stream of its own.
std::vector<Stream> Sheet() {
    return {{"Workbook", 2, 4600, kFree, 2}, {"ObjectPool", 1, 0, kFree, kFree, 3}, {"WordDocument", 2, 300}};
}

TEST(CarveOle2, SizedByItsHighestSectorAndNamedByTheRootsOwnStreams) {
    ExpectEndsAt(WalkOle2, Compound(Sheet()), CarveCheck::Complete, "xls");
    ExpectEndsAt(WalkOle2, Compound({{"WordDocument", 2, 5000, kFree, 2}, {"1Table", 2, 900}}), CarveCheck::Complete,
                 "doc");
    ExpectEndsAt(WalkOle2, Compound({{"PowerPoint Document", 2, 6000}}), CarveCheck::Complete, "ppt");
    ExpectEndsAt(WalkOle2, Compound({{"__substg1.0_0037001F", 2, 40, 2}, {"__properties_version1.0", 2, 96}}),
                 CarveCheck::Complete, "msg");
}

TEST(CarveOle2, ABrokenTableOrChainIsIncompleteAndABadHeaderNoFile) {
    const Bytes good = Compound(Sheet());
    const std::size_t fat = 512;
    // The workbook's chain (sectors 4..) turned back on itself.
    Bytes loop = good;
    PutLe32(loop, fat + 4 * 6, 4);
    WalkResult walked = Walk(WalkOle2, loop);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    // The workbook starting in the mini stream's sector: one sector in two chains.
    Bytes shared = good;
    PutLe32(shared, 1024 + 128 + 116, 3);
    walked = Walk(WalkOle2, shared);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    // The table no longer marks its own sector.
    Bytes unmarked = good;
    PutLe32(unmarked, fat, kEnd);
    walked = Walk(WalkOle2, unmarked);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    // A stream that says it is longer than its chain.
    Bytes longer = good;
    PutLe32(longer, 1024 + 128 + 120, 6000);
    walked = Walk(WalkOle2, longer);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    Bytes mini_shift = good;
    mini_shift[0x20] = 7;
    EXPECT_FALSE(Walk(WalkOle2, mini_shift));
}

TEST(CarveStarts, BytesThatOnlyBeginLikeAFileAreNeverCalledWhole) {
    // Each format's signature, with the fixed fields a start test looks at, over noise.
    const Bytes compound = Compound(Sheet());
    const Bytes sqlite = Sqlite(1, 1);
    const std::vector<Bytes> heads = {
        {'B', 'M'},
        {'I', 'I', 42, 0, 8, 0, 0, 0},
        {'M', 'M', 0, 42, 0, 0, 0, 8},
        {'R', 'I', 'F', 'F', 0, 0, 1, 0, 'W', 'A', 'V', 'E'},
        {'R', 'I', 'F', 'F', 0, 0, 1, 0, 'A', 'V', 'I', ' '},
        {0, 0, 0, 20, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 2, 0, 'm', 'p', '4', '1'},
        Bytes(sqlite.begin(), sqlite.begin() + 24),
        Bytes(compound.begin(), compound.begin() + 0x4C),
    };
    int started = 0;
    for (std::size_t h = 0; h < heads.size(); ++h)
        for (std::uint32_t seed = 0; seed < 300; ++seed) {
            Bytes bytes = Noise(16384, seed * 31 + static_cast<std::uint32_t>(h));
            const Bytes& head = heads[h];
            std::copy(head.begin(), head.end(), bytes.begin());
            const CarveFormat* format = FormatStartingAt(ByteSpan(bytes.data(), kCarveHeadBytes));
            if (!format) continue;
            ++started;
            const WalkResult walked = Walk(format->walk, bytes);
            if (walked) {
                EXPECT_EQ(walked->check, CarveCheck::Incomplete) << format->name << " seed " << seed;
            }
        }
    EXPECT_GT(started, 1000);  // the start tests let most through: the walkers are what refuse
}

}  // namespace
}  // namespace verandol
