// The format walkers on inputs built here, whole and then damaged: each must
// find the exact end of a good file, and never call a damaged one verified
// or complete, nor a mere signature a file.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "carve/carve_formats.h"
#include "carve/carve_pass.h"
#include "carve/formats/gif.h"
#include "carve/formats/gzip.h"
#include "carve/formats/jpeg.h"
#include "carve/formats/pdf.h"
#include "carve/formats/png.h"
#include "carve/formats/zip.h"
#include "tests/faulty_source.h"
#include "reading/careful_source.h"

namespace verandol {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void Be32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
// Little-endian, `width` bytes; past the eighth they are zeros.
void Le(Bytes& out, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(i < 8 ? v >> (8 * i) : 0));
}
std::uint32_t Crc(const Bytes& b, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    to = std::min(to, b.size());
    return static_cast<std::uint32_t>(crc32(0, b.data() + from, static_cast<uInt>(to - from)));
}
Bytes Deflate(const Bytes& in, int window_bits) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, in.size()) + 32);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
Bytes Text(std::size_t n) {
    Bytes b;
    for (std::size_t i = 0; b.size() < n; ++i) Append(b, "line " + std::to_string(i * 7919 % 1000) + " of text\n");
    b.resize(n);
    return b;
}

WalkResult Walk(WalkResult (*walk)(CarveReader&), const Bytes& bytes, std::int64_t limit = INT64_MAX) {
    MemoryVolume volume(bytes);
    CarveReader reader(volume, 0, limit);
    return walk(reader);
}

Bytes Png() {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](std::string_view type, const Bytes& data) {
        Be32(png, static_cast<std::uint32_t>(data.size()));
        const std::size_t at = png.size();
        Append(png, type);
        png.insert(png.end(), data.begin(), data.end());
        Be32(png, Crc(png, at));
    };
    chunk("IHDR", {0, 0, 0, 64, 0, 0, 0, 64, 8, 0, 0, 0, 0});
    // Pixels that do not compress, so the file spans several sectors.
    Bytes pixels(4096);
    std::uint32_t seed = 12345;
    for (std::uint8_t& p : pixels) p = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
    chunk("IDAT", Deflate(pixels, 15));
    chunk("IEND", {});
    return png;
}

TEST(CarvePng, VerifiedToItsExactEndAndNothingPastADamagedChunk) {
    Bytes png = Png();
    const std::size_t length = png.size();
    png.resize(length + 100, 0xAB);  // what follows on the volume is not the file's
    WalkResult walked = Walk(WalkPng, png);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(length));
    EXPECT_EQ(walked->check, CarveCheck::Verified);

    Bytes flipped = png;
    flipped[60] ^= 1;  // inside IDAT
    walked = Walk(WalkPng, flipped);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    walked = Walk(WalkPng, png, static_cast<std::int64_t>(length) - 1);  // the format's bound cuts it
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes huge = png;
    huge[33] = huge[34] = huge[35] = huge[36] = 0xFF;  // IDAT's length: past any bound
    walked = Walk(WalkPng, huge);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes bad_header = png;
    bad_header[20] ^= 1;  // IHDR's CRC fails: only a signature, no file
    EXPECT_FALSE(Walk(WalkPng, bad_header));
}

Bytes Gzip(const Bytes& content) { return Deflate(content, 31); }

TEST(CarveGzip, VerifiedByCrcAndSizeAndRefusedWhenTheStreamIsNoDeflate) {
    const Bytes content = Text(50000);
    Bytes gz = Gzip(content);
    const std::size_t length = gz.size();
    gz.resize(length + 64, 0);
    WalkResult walked = Walk(WalkGzip, gz);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(length));
    EXPECT_EQ(walked->check, CarveCheck::Verified);

    Bytes wrong_size = gz;
    wrong_size[length - 1] ^= 1;  // ISIZE
    walked = Walk(WalkGzip, wrong_size);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    walked = Walk(WalkGzip, gz, static_cast<std::int64_t>(length / 2));
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes garbage(gz.begin(), gz.begin() + 10);
    garbage.resize(200, 0xFF);  // block type 3 does not exist
    EXPECT_FALSE(Walk(WalkGzip, garbage));

    Bytes endless_name(gz.begin(), gz.begin() + 10);
    endless_name[3] = 8;  // FNAME, never terminated
    endless_name.resize(100000, 'a');
    EXPECT_FALSE(Walk(WalkGzip, endless_name));
}

struct ZipMember {
    std::string name;
    Bytes content;
    bool deflate = true;
};

// A ZIP as python's zipfile writes it; `descriptor` puts the CRC and sizes after the data.
Bytes Zip(const std::vector<ZipMember>& members, bool descriptor = false) {
    Bytes zip, central;
    for (const ZipMember& m : members) {
        const Bytes data = m.deflate ? Deflate(m.content, -15) : m.content;
        const auto local = static_cast<std::uint32_t>(zip.size());
        const auto header = [&](Bytes& out, bool in_central) {
            Le(out, in_central ? 0x02014B50 : 0x04034B50, 4);
            if (in_central) Le(out, 20, 2);
            Le(out, 20, 2);
            Le(out, descriptor ? 8 : 0, 2);
            Le(out, m.deflate ? 8 : 0, 2);
            Le(out, 0, 4);
            const bool blank = descriptor && !in_central;
            Le(out, blank ? 0 : Crc(m.content), 4);
            Le(out, blank ? 0 : data.size(), 4);
            Le(out, blank ? 0 : m.content.size(), 4);
            Le(out, m.name.size(), 2);
            Le(out, 0, 2);
            if (in_central) {
                Le(out, 0, 2 + 2 + 2 + 4);
                Le(out, local, 4);
            }
            Append(out, m.name);
        };
        header(zip, false);
        zip.insert(zip.end(), data.begin(), data.end());
        if (descriptor) {
            Le(zip, 0x08074B50, 4);
            Le(zip, Crc(m.content), 4);
            Le(zip, data.size(), 4);
            Le(zip, m.content.size(), 4);
        }
        header(central, true);
    }
    const auto central_at = zip.size();
    zip.insert(zip.end(), central.begin(), central.end());
    Le(zip, 0x06054B50, 4);
    Le(zip, 0, 4);
    Le(zip, members.size(), 2);
    Le(zip, members.size(), 2);
    Le(zip, central.size(), 4);
    Le(zip, central_at, 4);
    Le(zip, 0, 2);
    return zip;
}

TEST(CarveZip, EveryMemberCheckedAndTheKindToldFromItsNames) {
    const std::vector<ZipMember> docx = {
        {"[Content_Types].xml", Text(300)}, {"word/document.xml", Text(20000)}, {"media/raw.bin", Text(999), false}};
    for (const bool descriptor : {false, true}) {
        // A stored member's end cannot be found without its size before it:
        // writers that defer sizes deflate.
        Bytes zip = descriptor ? Zip({docx[0], docx[1]}, true) : Zip(docx);
        const std::size_t length = zip.size();
        zip.resize(length + 50, 'P');
        WalkResult walked = Walk(WalkZip, zip);
        ASSERT_TRUE(walked);
        EXPECT_EQ(walked->length, static_cast<std::int64_t>(length));
        EXPECT_EQ(walked->check, CarveCheck::Verified);
        EXPECT_EQ(walked->extension, "docx");
    }
    const std::string type = "application/vnd.oasis.opendocument.text";
    // A mimetype member with its content, stored first as ODF requires.
    const Bytes odt = Zip({{"mimetype", Bytes(type.begin(), type.end()), false}, {"content.xml", Text(100)}});
    ASSERT_TRUE(Walk(WalkZip, odt));
    EXPECT_EQ(Walk(WalkZip, odt)->extension, "odt");
}

TEST(CarveZip, ADamagedOrCutArchiveIsNeverVerified) {
    const Bytes zip = Zip({{"a.txt", Text(5000)}, {"b.bin", Text(3000), false}, {"c.txt", Text(7000)}});
    for (std::size_t cut : {zip.size() - 10, zip.size() - 60, zip.size() / 2}) {
        const WalkResult walked = Walk(WalkZip, zip, static_cast<std::int64_t>(cut));
        ASSERT_TRUE(walked) << cut;
        EXPECT_EQ(walked->check, CarveCheck::Incomplete) << cut;
        EXPECT_LE(walked->length, static_cast<std::int64_t>(cut));
    }
    Bytes stored_flip = zip;
    // Inside b.bin's stored bytes: its CRC no longer matches, though the structure closes.
    const std::size_t b_data = std::search(zip.begin(), zip.end(), std::begin("b.bin"), std::end("b.bin") - 1) -
                               zip.begin() + 5;
    stored_flip[b_data + 100] ^= 0x20;
    WalkResult walked = Walk(WalkZip, stored_flip);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(zip.size()));
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes only_header(zip.begin(), zip.begin() + 40);
    only_header.resize(4000, 0xEE);  // a local header over garbage: no file
    EXPECT_FALSE(Walk(WalkZip, only_header));
}

// A photo of 48 x 32 pixels as cjpeg wrote it (-quality 75 -optimize
// -restart 1 -sample 2x2): two MCU rows with a restart marker between them.
const Bytes kPhoto = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00,
    0xFF, 0xDB, 0x00, 0x43, 0x00, 0x08, 0x06, 0x06, 0x07, 0x06, 0x05, 0x08, 0x07, 0x07, 0x07, 0x09, 0x09, 0x08, 0x0A, 0x0C,
    0x14, 0x0D, 0x0C, 0x0B, 0x0B, 0x0C, 0x19, 0x12, 0x13, 0x0F, 0x14, 0x1D, 0x1A, 0x1F, 0x1E, 0x1D, 0x1A, 0x1C, 0x1C, 0x20,
    0x24, 0x2E, 0x27, 0x20, 0x22, 0x2C, 0x23, 0x1C, 0x1C, 0x28, 0x37, 0x29, 0x2C, 0x30, 0x31, 0x34, 0x34, 0x34, 0x1F, 0x27,
    0x39, 0x3D, 0x38, 0x32, 0x3C, 0x2E, 0x33, 0x34, 0x32, 0xFF, 0xDB, 0x00, 0x43, 0x01, 0x09, 0x09, 0x09, 0x0C, 0x0B, 0x0C,
    0x18, 0x0D, 0x0D, 0x18, 0x32, 0x21, 0x1C, 0x21, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32,
    0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32,
    0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0xFF, 0xC0,
    0x00, 0x11, 0x08, 0x00, 0x20, 0x00, 0x30, 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xFF, 0xC4, 0x00,
    0x18, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x03,
    0x05, 0x00, 0x02, 0xFF, 0xC4, 0x00, 0x2C, 0x10, 0x00, 0x02, 0x02, 0x01, 0x03, 0x03, 0x03, 0x04, 0x01, 0x05, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x12, 0x21, 0x00, 0x06, 0x31, 0x07, 0x22, 0x41, 0x13, 0x14,
    0x32, 0x61, 0x81, 0x24, 0x33, 0x51, 0x71, 0xA1, 0xB1, 0xFF, 0xC4, 0x00, 0x16, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0xFF, 0xC4, 0x00, 0x27, 0x11, 0x00, 0x01,
    0x02, 0x04, 0x04, 0x06, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x11, 0x00, 0x21, 0x31,
    0x41, 0x12, 0x51, 0x61, 0xF0, 0x71, 0x91, 0xA1, 0xC1, 0xE1, 0xF1, 0x03, 0x81, 0xD1, 0xFF, 0xDD, 0x00, 0x04, 0x00, 0x03,
    0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00, 0xB7, 0xA6, 0xD8, 0xF1, 0xE2, 0x63,
    0x09, 0xF2, 0x36, 0xC7, 0x0C, 0x6B, 0xBD, 0xD8, 0xF8, 0x0A, 0x05, 0x96, 0x3F, 0xE8, 0x75, 0x95, 0xD9, 0x38, 0x8B, 0x36,
    0xBD, 0x97, 0x3A, 0xE5, 0x1C, 0xD5, 0x7C, 0xB9, 0x08, 0xCA, 0x75, 0xA6, 0x9C, 0x6E, 0x3E, 0xF3, 0xFB, 0x3E, 0x7A, 0xDF,
    0xD2, 0x66, 0x8F, 0x48, 0xEC, 0x2D, 0x5B, 0x30, 0x85, 0x05, 0x70, 0xDD, 0x03, 0x48, 0x69, 0x6D, 0x97, 0x68, 0x07, 0x91,
    0xC5, 0x91, 0xE0, 0xD9, 0xF0, 0x2C, 0x90, 0x09, 0xFD, 0x30, 0xC1, 0x64, 0x81, 0x1D, 0x11, 0x0B, 0x85, 0xB0, 0x18, 0xED,
    0x04, 0xD1, 0xA0, 0x48, 0xB2, 0x05, 0xFE, 0x8D, 0x75, 0x58, 0x99, 0x45, 0xCC, 0x80, 0x9E, 0x5B, 0x1D, 0xE1, 0x31, 0xC3,
    0x2B, 0x9D, 0xEF, 0x63, 0x2B, 0x50, 0x94, 0x6A, 0x7E, 0xA8, 0xEA, 0x8C, 0xA9, 0x10, 0xFA, 0x12, 0x2E, 0x38, 0x2B, 0xB8,
    0xEE, 0xD8, 0xA0, 0x12, 0x77, 0x01, 0xCD, 0xDF, 0x81, 0x5C, 0x71, 0x63, 0x92, 0xAE, 0xFE, 0x44, 0x93, 0xBB, 0x34, 0x6C,
    0x58, 0xE5, 0x93, 0x74, 0x18, 0xB6, 0xF0, 0x5B, 0xED, 0x4B, 0x6E, 0x1D, 0x41, 0x1B, 0x4D, 0xD9, 0x1B, 0x81, 0x3F, 0x8D,
    0x1A, 0xAA, 0xE8, 0x5D, 0x89, 0x0C, 0x79, 0x7A, 0xBC, 0xF9, 0x58, 0xE8, 0xAB, 0x03, 0xCE, 0xF2, 0x2E, 0xDB, 0x00, 0x29,
    0x36, 0x07, 0xB8, 0x93, 0xE0, 0xFC, 0x93, 0xFC, 0xF5, 0x4C, 0xE9, 0x8E, 0xAD, 0xEA, 0x66, 0x79, 0x2B, 0x27, 0xF4, 0xD2,
    0x8C, 0x40, 0xAE, 0xB5, 0xFD, 0xB3, 0x5C, 0x70, 0x38, 0xE2, 0xF9, 0xFF, 0x00, 0x27, 0xE0, 0x75, 0x09, 0x43, 0x04, 0x24,
    0x5B, 0xF2, 0x29, 0x44, 0x92, 0xA5, 0x26, 0x94, 0xAD, 0xAD, 0xD2, 0x5A, 0x08, 0x7F, 0xA8, 0x08, 0xF0, 0xF6, 0x7E, 0x89,
    0x85, 0x1B, 0xC6, 0xB1, 0xCF, 0x9B, 0xBA, 0x45, 0xDC, 0x77, 0x36, 0xD4, 0x35, 0xFA, 0x2B, 0xCF, 0x3F, 0xBD, 0xBD, 0x38,
    0xBC, 0x7A, 0x6F, 0xA6, 0x3A, 0xA4, 0xCF, 0x24, 0xF1, 0x6E, 0x80, 0xC2, 0x8F, 0x8F, 0xC3, 0x6F, 0x7A, 0x51, 0x64, 0xF8,
    0x04, 0x9E, 0x7C, 0x1A, 0x24, 0x0E, 0x48, 0xEB, 0x1B, 0xBE, 0x67, 0x39, 0x1D, 0xDF, 0xA5, 0xE9, 0x48, 0x1B, 0x66, 0x36,
    0x2A, 0xC8, 0xD7, 0x28, 0x60, 0x4B, 0x13, 0xF0, 0x09, 0xDB, 0xC0, 0xF9, 0xA2, 0x78, 0xE2, 0x80, 0x25, 0x9D, 0xFC, 0xBF,
    0x47, 0xB3, 0xF4, 0x7C, 0x0D, 0xB0, 0x11, 0x91, 0x98, 0x18, 0x86, 0x03, 0x70, 0xD8, 0x0F, 0xB9, 0x7D, 0xD7, 0xC6, 0xEA,
    0xFC, 0x48, 0xA6, 0x16, 0x47, 0x16, 0x15, 0x28, 0xA0, 0xE2, 0xCD, 0xB3, 0x93, 0xB7, 0x98, 0x2E, 0x97, 0xB7, 0x0E, 0x39,
    0xDF, 0x62, 0x3F, 0xFF, 0xD0, 0xEE, 0xF8, 0x8E, 0x2C, 0x4F, 0x4F, 0x70, 0x31, 0xCA, 0xC4, 0xD2, 0xE4, 0xEA, 0x11, 0xA8,
    0x0E, 0x4E, 0xE0, 0xAA, 0xAE, 0xC5, 0x97, 0x9F, 0x37, 0x43, 0x9B, 0x1E, 0xEF, 0x17, 0x47, 0xA4, 0xC0, 0xD2, 0x69, 0x1E,
    0x9D, 0x6A, 0xD9, 0x71, 0xC2, 0xB2, 0x11, 0x8A, 0x63, 0xD8, 0x49, 0xAA, 0x73, 0xB0, 0x9F, 0x69, 0x07, 0xC3, 0x1E, 0x41,
    0xBE, 0x3A, 0x8F, 0xA8, 0x4C, 0x49, 0xED, 0xBD, 0x31, 0x67, 0x0D, 0x7B, 0xF2, 0x0E, 0x3A, 0x9A, 0x23, 0xC2, 0x87, 0x65,
    0xE6, 0xEF, 0xDC, 0x14, 0xFC, 0x53, 0xF9, 0xF8, 0xBF, 0x75, 0xB2, 0x61, 0xFA, 0x69, 0xF4, 0x36, 0x33, 0x7D, 0xDE, 0x44,
    0x30, 0xD6, 0xD2, 0x76, 0xD3, 0x07, 0xF3, 0xF1, 0xF8, 0xF9, 0xFE, 0x3E, 0x7A, 0x47, 0xE5, 0x08, 0x05, 0x44, 0x38, 0x70,
    0x39, 0x90, 0x20, 0x06, 0x69, 0xA9, 0x6F, 0x72, 0xDD, 0x5E, 0x23, 0xE9, 0xD4, 0x03, 0x17, 0x13, 0xEE, 0x3E, 0x93, 0xC9,
    0xF4, 0xE3, 0x2F, 0xF4, 0xD1, 0x6D, 0x8E, 0xD1, 0x74, 0xA3, 0xFF, 0x00, 0x07, 0x40, 0xEC, 0xDC, 0x9C, 0x8D, 0x7B, 0xB8,
    0x32, 0x35, 0x5C, 0xC6, 0x0D, 0x36, 0x4C, 0xE6, 0x47, 0x21, 0x98, 0x81, 0xCF, 0x00, 0x16, 0x37, 0x40, 0x70, 0x01, 0xF1,
    0x40, 0x50, 0xEB, 0x57, 0x0E, 0x45, 0xD2, 0x3D, 0x3E, 0xD5, 0x32, 0x5A, 0x6C, 0x78, 0xA4, 0x38, 0x8E, 0x91, 0x0C, 0x86,
    0xDA, 0x24, 0x62, 0xBF, 0x80, 0xE4, 0x59, 0x23, 0xC0, 0xF2, 0x4F, 0xC1, 0xF1, 0xD4, 0xBD, 0x39, 0x88, 0x62, 0x60, 0xFD,
    0xCC, 0x8B, 0x69, 0x14, 0x66, 0x46, 0xA6, 0x55, 0xFC, 0x45, 0xF9, 0x24, 0x01, 0xE3, 0xE4, 0x81, 0xFB, 0x1D, 0x5A, 0xA4,
    0xAC, 0x46, 0xC3, 0xDF, 0x66, 0xFB, 0x81, 0xDD, 0x01, 0x02, 0xA4, 0xFA, 0x9F, 0x37, 0xEB, 0x68, 0x0E, 0xAE, 0x17, 0x37,
    0xD5, 0xBD, 0x54, 0xA9, 0x1B, 0x62, 0x31, 0x45, 0x61, 0x94, 0x80, 0x56, 0x25, 0x06, 0xAA, 0xFE, 0x78, 0x3F, 0x37, 0x77,
    0x5E, 0x07, 0x77, 0xCC, 0xE3, 0x33, 0xBB, 0xB4, 0xAD, 0x29, 0x97, 0xDB, 0x81, 0x8C, 0x1C, 0xF2, 0x0F, 0xBA, 0x43, 0x66,
    0xC8, 0x27, 0xE1, 0x57, 0x82, 0x07, 0xFD, 0xEA, 0x1D, 0x8F, 0x1C, 0xBA, 0xA6, 0xBD, 0x95, 0x98, 0xE5, 0x26, 0x93, 0x27,
    0x21, 0xE5, 0x79, 0x51, 0x36, 0x07, 0x2C, 0xD7, 0xBA, 0xAA, 0xC5, 0xDD, 0xF5, 0xEB, 0x35, 0x46, 0x6F, 0xAA, 0x9A, 0xA3,
    0xA3, 0xC3, 0x2A, 0x23, 0xA4, 0x37, 0x02, 0xD0, 0xF6, 0x28, 0x5A, 0x27, 0x92, 0x48, 0xA2, 0x09, 0x3F, 0x22, 0x87, 0x00,
    0x74, 0x83, 0x0C, 0x29, 0xBD, 0x7C, 0xD3, 0x5D, 0x0F, 0x58, 0x4B, 0x20, 0x93, 0x37, 0xE3, 0x90, 0xDF, 0x7B, 0x47, 0xFF,
    0xD9,
};

// A progressive JPEG's structure, whose scans are followed by their markers
// alone: the entropy-coded bytes are arbitrary but hold stuffed zeros and a
// restart marker, as real ones do.
Bytes Jpeg(const Bytes& app1 = {}) {
    Bytes j{0xFF, 0xD8};
    if (!app1.empty()) {
        j.insert(j.end(), {0xFF, 0xE1, static_cast<std::uint8_t>((app1.size() + 2) >> 8),
                           static_cast<std::uint8_t>(app1.size() + 2)});
        j.insert(j.end(), app1.begin(), app1.end());
    }
    j.insert(j.end(), {0xFF, 0xDB, 0, 67, 0});
    j.insert(j.end(), 64, 1);
    j.insert(j.end(), {0xFF, 0xC2, 0, 11, 8, 0, 16, 0, 16, 1, 1, 0x11, 0});
    j.insert(j.end(), {0xFF, 0xC4, 0, 20, 0x00, 1});
    j.insert(j.end(), 15, 0);
    j.push_back(0);
    j.insert(j.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0});
    for (int i = 0; i < 3000; ++i) j.push_back(static_cast<std::uint8_t>(i * 37 % 255));
    j.insert(j.end(), {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56, 0xFF, 0xFF, 0xD9});
    return j;
}

TEST(CarveJpeg, CompleteAtEoiWithItsThumbnailInside) {
    Bytes exif{'E', 'x', 'i', 'f', 0, 0};
    exif.insert(exif.end(), kPhoto.begin(), kPhoto.end());
    Bytes photo = Jpeg(exif);
    const std::size_t length = photo.size();
    photo.insert(photo.end(), {0xFF, 0xD9, 0xFF, 0xD9});  // a later EOI is not its end
    const WalkResult walked = Walk(WalkJpeg, photo);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(length));
    EXPECT_EQ(walked->check, CarveCheck::Complete);
}

TEST(CarveJpeg, ADecodedScanTellsAnotherFilesBytesFromItsOwn) {
    WalkResult walked = Walk(WalkJpeg, kPhoto);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(kPhoto.size()));
    EXPECT_EQ(walked->check, CarveCheck::Complete);
    // Text where the scan's middle was: no marker in it, yet it does not decode.
    // The photo is still followed to its EOI, so all of it is written.
    Bytes texted = kPhoto;
    const std::string text = "a later file's text, free of markers\n";
    std::copy(text.begin(), text.end(), texted.end() - 300);
    walked = Walk(WalkJpeg, texted);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(kPhoto.size()));
    // The restart marker renumbered: the interval puts RST0 there.
    Bytes renumbered = kPhoto;
    const Bytes restart{0xFF, 0xD0};
    const auto rst = std::search(renumbered.begin(), renumbered.end(), restart.begin(), restart.end());
    ASSERT_NE(rst, renumbered.end());
    rst[1] = 0xD3;
    walked = Walk(WalkJpeg, renumbered);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
}

TEST(CarveJpeg, BrokenStructureIsIncompleteOrNoFile) {
    const Bytes good = Jpeg();
    // Cut before EOI.
    WalkResult walked = Walk(WalkJpeg, good, static_cast<std::int64_t>(good.size()) - 2);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    // A marker in the entropy data that cannot stand there (SOI).
    Bytes torn = good;
    torn[torn.size() - 200] = 0xFF;
    torn[torn.size() - 199] = 0xD8;
    walked = Walk(WalkJpeg, torn);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    // A Huffman table whose counts claim more codes than it holds.
    Bytes table = good;
    table[2 + 69 + 13 + 6] = 200;
    walked = Walk(WalkJpeg, table);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    // A scan with no frame before it never closes a picture.
    Bytes frameless = good;
    frameless[2 + 69 + 1] = 0xFE;  // SOF0 turned into a comment
    walked = Walk(WalkJpeg, frameless);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    // SOI followed by a segment whose length runs past everything: no file.
    EXPECT_FALSE(Walk(WalkJpeg, Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF, 0, 0}));
}

Bytes Pdf(bool update) {
    Bytes pdf;
    Append(pdf, "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n");
    const std::size_t xref = pdf.size();
    Append(pdf, "xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \ntrailer\n<< /Size 2 /Root 1 0 R >>\n");
    Append(pdf, "startxref\n" + std::to_string(xref) + "\n%%EOF\n");
    if (update) {
        const std::size_t obj = pdf.size();
        Append(pdf, "2 0 obj\n<< /Type /XRef /Prev " + std::to_string(xref) + " >>\nstream\nxx\nendstream\nendobj\n");
        Append(pdf, "startxref\n" + std::to_string(obj) + "\n%%EOF\r\n");
    }
    return pdf;
}

TEST(CarvePdf, EndsAtTheLastEofItsStartxrefReaches) {
    for (const bool update : {false, true}) {
        Bytes pdf = Pdf(update);
        const std::size_t length = pdf.size();
        // A %%EOF after it whose startxref leads nowhere is another file's.
        Append(pdf, "junk junk\nstartxref\n3\n%%EOF\n");
        const WalkResult walked = Walk(WalkPdf, pdf);
        ASSERT_TRUE(walked);
        EXPECT_EQ(walked->length, static_cast<std::int64_t>(length)) << update;
        EXPECT_EQ(walked->check, CarveCheck::Complete);
    }
    Bytes cut = Pdf(false);
    cut.resize(cut.size() - 8);
    const WalkResult walked = Walk(WalkPdf, cut);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);
    Bytes nothing;
    Append(nothing, "%PDF-1.7\n and then no object at all");
    EXPECT_FALSE(Walk(WalkPdf, nothing));
}

// A 2 x 2 GIF89a: a global table of two colours, a graphic control
// extension, one image of two data sub-blocks, the trailer.
Bytes Gif() {
    Bytes gif;
    Append(gif, "GIF89a");
    gif.insert(gif.end(), {2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    gif.insert(gif.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 3, 0x84, 0x1D, 0x05, 1, 0x0A, 0, 0x3B});
    return gif;
}

TEST(CarveGif, CompleteAtItsTrailerAndNothingWithoutAnImage) {
    Bytes gif = Gif();
    const std::size_t length = gif.size();
    gif.insert(gif.end(), {0x3B, 0x3B});
    WalkResult walked = Walk(WalkGif, gif);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(length));
    EXPECT_EQ(walked->check, CarveCheck::Complete);

    walked = Walk(WalkGif, gif, static_cast<std::int64_t>(length) - 1);  // the trailer cut off
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes unknown_block = Gif();
    unknown_block[length - 1] = 0x99;  // neither image, extension nor trailer
    walked = Walk(WalkGif, unknown_block);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->check, CarveCheck::Incomplete);

    Bytes bad_code_size = Gif();
    bad_code_size[13 + 6 + 8 + 10] = 12;  // LZW codes start at 2 to 8 bits
    EXPECT_FALSE(Walk(WalkGif, bad_code_size));

    const Bytes whole = Gif();
    Bytes no_image(whole.begin(), whole.begin() + 13 + 6 + 8);
    no_image.push_back(0x3B);
    EXPECT_FALSE(Walk(WalkGif, no_image));
}

// A collecting sink for the pass.
struct Collected final : CarveEvents {
    std::vector<CarvedFile> files;
    void Found(CarvedFile file) override { files.push_back(std::move(file)); }
};

TEST(CarvePass, AFileThatClosedIsNotSearchedAgainAndUnreadBytesAreNeverVouchedFor) {
    // A verified gzip whose stored content holds a PNG at a cluster boundary,
    // then a PNG of its own two clusters later.
    constexpr std::size_t kUnit = 4096;
    Bytes inner(3 * kUnit, 'x');
    const Bytes png = Png();
    std::copy(png.begin(), png.end(), inner.begin() + static_cast<std::ptrdiff_t>(kUnit - 10));
    Bytes volume(kUnit);
    const Bytes gz = Deflate(inner, 31);
    volume.insert(volume.end(), gz.begin(), gz.end());
    volume.resize((volume.size() / kUnit + 2) * kUnit, 0);
    const std::size_t png_at = volume.size();
    volume.insert(volume.end(), png.begin(), png.end());
    volume.resize(volume.size() + kUnit, 0);

    MemoryVolume memory(volume);
    Collected found;
    CarveSetup setup;
    setup.unit = kUnit;
    CarvePass(memory, setup, found);
    ASSERT_EQ(found.files.size(), 2u);
    EXPECT_EQ(found.files[0].extent.position, static_cast<std::int64_t>(kUnit));
    EXPECT_EQ(found.files[0].extent.check, CarveCheck::Verified);
    EXPECT_EQ(found.files[1].extent.position, static_cast<std::int64_t>(png_at));
    EXPECT_EQ(found.files[1].first_unit, static_cast<std::int64_t>(png_at / kUnit));

    // A bad sector inside the PNG: its bytes are zeros, never verified.
    ASSERT_GT(png.size(), 1024u);
    testing::FaultySource faulty(memory, {{static_cast<std::int64_t>(png_at + 512), 512}});
    CarefulSource careful(std::shared_ptr<ByteSource>(&faulty, [](ByteSource*) {}), std::make_shared<BadSectorMap>());
    Collected through_faults;
    CarvePass(careful, setup, through_faults);
    ASSERT_EQ(through_faults.files.size(), 2u);
    EXPECT_EQ(through_faults.files[1].extent.check, CarveCheck::Incomplete);
}

TEST(CarvePass, AStopEndsAWalkThroughALargeFileAndReportsNothingOfIt) {
    // 6 MiB that do not compress: the walk takes several fetches.
    Bytes content(6 << 20);
    std::uint32_t seed = 99;
    for (std::uint8_t& b : content) b = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
    Bytes volume = Gzip(content);
    volume.resize(volume.size() + 4096, 0);
    MemoryVolume memory(volume);
    struct StopLater final : CarveEvents {
        int polls = 0;
        int found = 0;
        void Found(CarvedFile) override { ++found; }
        bool StopRequested() override { return ++polls >= 3; }
    } events;
    EXPECT_EQ(CarvePass(memory, CarveSetup{}, events), CarveEnd::Stopped);
    EXPECT_EQ(events.found, 0);
    EXPECT_LT(events.polls, 6);
}

}  // namespace
}  // namespace verandol
