// The format walkers on inputs built here, whole and then damaged: each must
// find the exact end of a good file, and never call a damaged one verified
// or complete, nor a mere signature a file.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "carve/carve_formats.h"
#include "carve/carve_pass.h"
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
void Le(Bytes& out, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
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

// A small baseline JPEG's structure: the entropy-coded bytes are arbitrary
// but hold stuffed zeros and a restart marker, as real ones do.
Bytes Jpeg(const Bytes& app1 = {}) {
    Bytes j{0xFF, 0xD8};
    if (!app1.empty()) {
        j.insert(j.end(), {0xFF, 0xE1, static_cast<std::uint8_t>((app1.size() + 2) >> 8),
                           static_cast<std::uint8_t>(app1.size() + 2)});
        j.insert(j.end(), app1.begin(), app1.end());
    }
    j.insert(j.end(), {0xFF, 0xDB, 0, 67, 0});
    j.insert(j.end(), 64, 1);
    j.insert(j.end(), {0xFF, 0xC0, 0, 11, 8, 0, 16, 0, 16, 1, 1, 0x11, 0});
    j.insert(j.end(), {0xFF, 0xC4, 0, 20, 0x00, 1});
    j.insert(j.end(), 15, 0);
    j.push_back(0);
    j.insert(j.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0});
    for (int i = 0; i < 3000; ++i) j.push_back(static_cast<std::uint8_t>(i * 37 % 255));
    j.insert(j.end(), {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56, 0xFF, 0xFF, 0xD9});
    return j;
}

TEST(CarveJpeg, CompleteAtEoiWithItsThumbnailInside) {
    const Bytes thumbnail = Jpeg();
    Bytes exif{'E', 'x', 'i', 'f', 0, 0};
    exif.insert(exif.end(), thumbnail.begin(), thumbnail.end());
    Bytes photo = Jpeg(exif);
    const std::size_t length = photo.size();
    photo.insert(photo.end(), {0xFF, 0xD9, 0xFF, 0xD9});  // a later EOI is not its end
    const WalkResult walked = Walk(WalkJpeg, photo);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->length, static_cast<std::int64_t>(length));
    EXPECT_EQ(walked->check, CarveCheck::Complete);
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

}  // namespace
}  // namespace verandol
