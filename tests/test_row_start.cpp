// A listed file's first bytes read into memory as recovery reads them, on
// the driver-made volumes (resident, fragmented, sparse and compressed
// files), and those bytes told apart as text or shown in hexadecimal.
#include <gtest/gtest.h>

#include <map>

#include "disk/open_volume.h"
#include "recover/row_start.h"
#include "scan/scan_collector.h"
#include "scan/scan_volume.h"
#include "tests/fixture_support.h"
#include "text/content_text.h"

namespace verandol {
namespace {

using namespace testing;

class RowStartOnFixture : public ::testing::TestWithParam<std::string> {};

// Every deleted file whose data the volume still holds reads whole under a
// limit above its size, and as its first bytes under one below it.
TEST_P(RowStartOnFixture, EveryFileReadsWholeOrAsItsFirstBytes) {
    const Manifest manifest = LoadManifest(GetParam());
    ScanCollector scan;
    ScanVolumePath(GetParam(), FixtureImagePath(GetParam()), scan);
    ASSERT_TRUE(scan.published);
    std::map<std::int64_t, const DeletedFileRow*> rows;
    for (const DeletedFileRow& row : scan.rows) rows[row.position] = &row;
    Outcome<OpenedVolume> volume = OpenVolume(scan.published->path);
    ASSERT_TRUE(volume) << volume.reason();
    int checked = 0;
    for (const ManifestFile& file : manifest.Deleted()) {
        if (file.sha256.empty()) continue;
        const auto row = rows.find(manifest.RecordPosition(file.mft_record));
        ASSERT_NE(row, rows.end()) << file.path;
        RecoveryRequest request;
        request.position_text = row->second->position_text;
        const RowStart whole = ReadRowStart(*volume->source, *scan.published, request, 4 << 20);
        ASSERT_TRUE(whole.refusal.empty()) << file.path << ": " << whole.refusal;
        EXPECT_TRUE(whole.missing.empty()) << file.path << ": " << whole.missing;
        EXPECT_EQ(whole.size, file.size) << file.path;
        EXPECT_EQ(Sha256Hex(whole.bytes), file.sha256) << file.path;

        const std::size_t limit = 1000;
        const RowStart first = ReadRowStart(*volume->source, *scan.published, request, limit);
        const std::size_t expected = std::min<std::size_t>(limit, static_cast<std::size_t>(file.size));
        ASSERT_EQ(first.bytes.size(), expected) << file.path;
        EXPECT_TRUE(std::equal(first.bytes.begin(), first.bytes.end(), whole.bytes.begin())) << file.path;
        EXPECT_EQ(first.size, file.size) << file.path;
        ++checked;
    }
    EXPECT_GT(checked, 3);
}

INSTANTIATE_TEST_SUITE_P(Volumes, RowStartOnFixture, ::testing::Values("sec512-clu4k", "packed-clu4k", "frag-mft"),
                         FixtureTestName<::testing::TestParamInfo<std::string>>);

TEST(RowStart, APositionThatIsNoRecordOrAnExtentOffTheVolumeIsRefused) {
    ScanCollector scan;
    ScanVolumePath("sec512-clu4k", FixtureImagePath("sec512-clu4k"), scan);
    ASSERT_TRUE(scan.published);
    Outcome<OpenedVolume> volume = OpenVolume(scan.published->path);
    ASSERT_TRUE(volume);
    RecoveryRequest request;
    request.position_text = "0x200";  // inside the boot sector's copy area, no file record
    EXPECT_FALSE(ReadRowStart(*volume->source, *scan.published, request, 4096).refusal.empty());
    request.position_text = "nonsense";
    EXPECT_NE(ReadRowStart(*volume->source, *scan.published, request, 4096).refusal.find("not a record position"),
              std::string::npos);
    const CarvedExtent past_end{volume->source->Size() - 10, 100};
    request.carved = &past_end;
    EXPECT_FALSE(ReadRowStart(*volume->source, *scan.published, request, 4096).refusal.empty());
    const CarvedExtent boot{0, 512};
    request.carved = &boot;
    const RowStart start = ReadRowStart(*volume->source, *scan.published, request, 16);
    ASSERT_EQ(start.bytes.size(), 16u);
    EXPECT_EQ(std::string(start.bytes.begin() + 3, start.bytes.begin() + 7), "NTFS");
    EXPECT_EQ(start.size, 512);
}

std::optional<ContentText> Guess(std::string_view bytes, std::size_t lines = 100) {
    return GuessText(ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), lines);
}

TEST(ContentText, EachEncodingIsToldByItsMarkOrItsBytes) {
    auto utf8 = Guess("Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e\n");
    ASSERT_TRUE(utf8);
    EXPECT_EQ(utf8->encoding, TextEncoding::Utf8);
    EXPECT_EQ(utf8->utf8, "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e\n");
    // A sequence cut by the end of the bytes read is still UTF-8, and left out.
    auto cut = Guess("caf\xC3");
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->encoding, TextEncoding::Utf8);
    EXPECT_EQ(cut->utf8, "caf");
    EXPECT_TRUE(cut->cut);

    auto le = Guess(std::string_view("\xFF\xFEh\0i\0=\xD8\0\xDE\n\0", 12));
    ASSERT_TRUE(le);
    EXPECT_EQ(le->encoding, TextEncoding::Utf16Le);
    EXPECT_EQ(le->utf8, "hi\xF0\x9F\x98\x80\n");
    auto be = Guess(std::string_view("\xFE\xFF\0h\xDC\0", 6));
    ASSERT_TRUE(be);
    EXPECT_EQ(be->encoding, TextEncoding::Utf16Be);
    EXPECT_EQ(be->utf8, "h\xEF\xBF\xBD");  // a lone low surrogate

    auto latin = Guess("caf\xE9 na\xEFve\r\n");
    ASSERT_TRUE(latin);
    EXPECT_EQ(latin->encoding, TextEncoding::Latin1);
    EXPECT_EQ(latin->utf8, "caf\xC3\xA9 na\xC3\xAFve\r\n");

    // Zero bytes and other control characters are data, not text.
    EXPECT_FALSE(Guess(std::string_view("PK\x03\x04\0\0", 6)));
    EXPECT_FALSE(Guess("abc\x01"));

    auto lines = Guess("1\n2\n3\n4\n", 2);
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->utf8, "1\n2");
    EXPECT_TRUE(lines->cut);
}

TEST(ContentText, TheHexDumpShowsOffsetsBytesAndPrintableCharacters) {
    const std::uint8_t bytes[] = {'P', 'K', 3, 4, 0x14, 0, 0, 0, 8, 0, 'a', 'b', 'c', 0xFF, 0x7F, ' ', '!'};
    EXPECT_EQ(HexDump(bytes, 4096),
              "00000000  50 4b 03 04 14 00 00 00  08 00 61 62 63 ff 7f 20  |PK........abc.. |\n"
              "00000010  21                                                |!|\n");
    EXPECT_EQ(HexDump(bytes, 2), "00000000  50 4b                                             |PK|\n");
}

}  // namespace
}  // namespace verandol
