// The readers carved files take their names from, on built and damaged
// inputs: change journal records, EXIF blocks, PDF titles, Office
// properties, and the figures a folder index entry keeps.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <string>

#include "deep/index_names.h"
#include "naming/carved_names.h"
#include "naming/content_name.h"
#include "naming/exif_name.h"
#include "naming/office_title.h"
#include "naming/pdf_title.h"
#include "naming/remembered_files.h"
#include "naming/stale_file_names.h"
#include "naming/usn_records.h"
#include "tests/record_builder.h"

namespace verandol {
namespace {

using testing::Bytes;
using testing::PutLe;

ByteSpan Span(const std::string& text) {
    return ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// A journal record of version 2 or 3, its name at its usual place.
Bytes UsnRecordBytes(int version, std::uint64_t file, std::uint64_t parent, std::int64_t usn, std::uint32_t reason,
                     const std::u16string& name) {
    const std::size_t header = version == 2 ? 60 : 76;
    Bytes r((header + 2 * name.size() + 7) / 8 * 8);
    PutLe(r, 0, r.size(), 4);
    PutLe(r, 4, static_cast<std::uint64_t>(version), 2);
    const std::size_t wide = version == 2 ? 8 : 16;
    PutLe(r, 8, file, 8);
    PutLe(r, 8 + wide, parent, 8);
    const std::size_t after = 8 + 2 * wide;  // usn, time, reason ...
    PutLe(r, after, static_cast<std::uint64_t>(usn), 8);
    PutLe(r, after + 8, 0x01DA9B5A00000000ull + static_cast<std::uint64_t>(usn), 8);
    PutLe(r, after + 16, reason, 4);
    PutLe(r, header - 4, 2 * name.size(), 2);
    PutLe(r, header - 2, header, 2);
    for (std::size_t i = 0; i < name.size(); ++i) PutLe(r, header + 2 * i, name[i], 2);
    return r;
}

TEST(UsnRecords, ReadsBothVersionsSkipsPaddingAndDamageAndKeepsEachFilesNewestName) {
    Bytes page;
    const auto append = [&](const Bytes& b) { page.insert(page.end(), b.begin(), b.end()); };
    append(UsnRecordBytes(2, 40 | (3ull << 48), 5, 100, usn_reason::kFileCreate, u"draft.txt"));
    append(UsnRecordBytes(2, 40 | (3ull << 48), 5, 120, usn_reason::kRenameOldName, u"draft.txt"));
    append(UsnRecordBytes(3, 40 | (3ull << 48), 7, 140, usn_reason::kRenameNewName, u"final.txt"));
    page.resize(page.size() + 64);  // zeros between pages
    Bytes torn = UsnRecordBytes(2, 41, 5, 150, usn_reason::kFileCreate, u"torn.jpg");
    PutLe(torn, 58, 400, 2);  // its name said to lie past its end
    append(torn);
    Bytes wide = UsnRecordBytes(3, 42, 5, 160, usn_reason::kFileCreate, u"refs.bin");
    PutLe(wide, 16, 1, 8);  // a reference wider than any NTFS record's
    append(wide);
    append(UsnRecordBytes(2, 43, 5, 170, usn_reason::kFileDelete | usn_reason::kClose, u"gone.jpg"));
    const Bytes cut = UsnRecordBytes(2, 44, 5, 180, usn_reason::kFileCreate, u"cut short.png");
    const std::size_t cut_at = page.size();
    page.insert(page.end(), cut.begin(), cut.begin() + 30);

    std::vector<UsnRecord> seen;
    EXPECT_EQ(ForEachUsnRecord(page, [&](const UsnRecord& r) { seen.push_back(r); }), cut_at);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[2].name, u"final.txt");
    EXPECT_EQ(seen[2].parent_reference, 7u);
    EXPECT_EQ(seen[3].reason, usn_reason::kFileDelete | usn_reason::kClose);

    JournalNames names;
    for (const UsnRecord& r : seen) names.Add(r);
    const std::vector<JournalName> kept = names.Take();
    ASSERT_EQ(kept.size(), 2u);  // by reference: record 43 first
    EXPECT_EQ(kept[0].name, u"gone.jpg");
    EXPECT_EQ(kept[1].name, u"final.txt");  // the rename's old name is not the file's last
    EXPECT_EQ(kept[1].parent_reference, 7u);
    EXPECT_EQ(kept[1].reasons & usn_reason::kFileCreate, usn_reason::kFileCreate);
}

// A JPEG whose APP1 segment holds a TIFF block in the given byte order.
std::string ExifJpeg(bool big, const std::string& taken, const std::string& model) {
    std::string tiff;
    const auto u16 = [&](std::size_t v) {
        if (big) tiff += {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
        else tiff += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    };
    const auto u32 = [&](std::size_t v) {
        if (big) { u16(v >> 16); u16(v & 0xFFFF); }
        else { u16(v & 0xFFFF); u16(v >> 16); }
    };
    tiff += big ? "MM" : "II";
    u16(42);
    u32(8);
    // IFD0 at 8: Model and the EXIF IFD pointer; the strings after the IFDs.
    const std::size_t ifd0 = 8, exif_ifd = ifd0 + 2 + 2 * 12 + 4, strings = exif_ifd + 2 + 12 + 4;
    u16(2);
    // A model of up to three characters lies in the entry itself.
    const bool inline_model = model.size() < 4;
    u16(0x0110); u16(2); u32(model.size() + 1);
    if (inline_model) tiff += model + std::string(4 - model.size(), '\0');
    else u32(strings);
    u16(0x8769); u16(4); u32(1); u32(exif_ifd);
    u32(0);
    u16(1);
    u16(0x9003); u16(2); u32(taken.size() + 1); u32(strings + (inline_model ? 0 : model.size() + 1));
    u32(0);
    if (!inline_model) tiff += model + '\0';
    tiff += taken + '\0';
    const std::string app1 = std::string("Exif\0\0", 6) + tiff;
    std::string jpeg = "\xFF\xD8\xFF\xE0";
    jpeg += std::string("\x00\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 16);
    jpeg += "\xFF\xE1";
    jpeg += {static_cast<char>((app1.size() + 2) >> 8), static_cast<char>((app1.size() + 2) & 0xFF)};
    jpeg += app1 + "\xFF\xDA\x00\x02\xFF\xD9";
    return jpeg;
}

TEST(ExifNames, ReadBothByteOrdersAndRefuseWhatDoesNotHoldTogether) {
    for (const bool big : {false, true}) {
        const std::string jpeg = ExifJpeg(big, "2024:05:01 14:03:22", "Canon EOS 80D  ");
        EXPECT_EQ(ContentNameOf(Span(jpeg), "jpg"), "2024-05-01 14.03.22 Canon EOS 80D.jpg") << big;
    }
    EXPECT_EQ(ContentNameOf(Span(ExifJpeg(false, "2024:05:01 14:03:22", "")), "jpg"), "2024-05-01 14.03.22.jpg");
    EXPECT_EQ(ContentNameOf(Span(ExifJpeg(true, "2024:05:01 14:03:22", "X1")), "jpg"), "2024-05-01 14.03.22 X1.jpg");
    // A date that is not one, a model with a path in it, and every cut of a good block.
    EXPECT_FALSE(ReadExifFacts(Span(ExifJpeg(false, "yesterday at noon!!", "X"))));
    EXPECT_EQ(ContentNameOf(Span(ExifJpeg(true, "2023:01:02 03:04:05", "../../etc/passwd")), "jpg"),
              "2023-01-02 03.04.05 .._.._etc_passwd.jpg");
    const std::string good = ExifJpeg(true, "2024:05:01 14:03:22", "Canon");
    for (std::size_t n = 0; n + 4 < good.size(); ++n) EXPECT_FALSE(ReadExifFacts(Span(good.substr(0, n)))) << n;
    std::string huge = good;
    huge[30 + 8] = '\x7F';  // IFD0 (big-endian, 8 bytes into the TIFF block at 30) claims thousands of entries
    EXPECT_FALSE(ReadExifFacts(Span(huge)));
}

TEST(PdfTitles, LiteralAndHexadecimalStringsTheLastWinsAndDamageGivesNone) {
    EXPECT_EQ(ReadPdfTitle(Span("1 0 obj << /Title (Minutes \\(May\\) \\101\\n) >>")), "Minutes (May) A\n");
    EXPECT_EQ(ReadPdfTitle(Span("<< /Title (a (nested) one) >>")), "a (nested) one");
    // UTF-16 behind its byte order mark, and Latin-1 bytes.
    EXPECT_EQ(ReadPdfTitle(Span("<< /Title <FEFF00C9007400E9> >>")), "\xC3\x89t\xC3\xA9");
    EXPECT_EQ(ReadPdfTitle(Span("<< /Title (caf\xE9) >>")), "caf\xC3\xA9");
    EXPECT_EQ(ReadPdfTitle(Span("/Title (first) ... /Title (second) /Title (unclosed")), "second");
    EXPECT_FALSE(ReadPdfTitle(Span("<< /Title () /Title <zz> /Title")));
    EXPECT_FALSE(ReadPdfTitle(Span(std::string(5000, '(') + "/Title (" + std::string(5000, 'x'))));
    // A title of slashes and controls still makes a file name, or none.
    EXPECT_EQ(ContentNameOf(Span("<< /Title (a/b\\\\c\\t) >>"), "pdf"), "a_b_c.pdf");
    EXPECT_FALSE(ContentNameOf(Span("<< /Title ( . / ) >>"), "pdf"));
}

// A ZIP of one member as its local header and data alone, as a carved head holds it.
std::string ZipMember(const std::string& name, const std::string& content, bool deflated) {
    std::string data = content;
    if (deflated) {
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        data.resize(content.size() + 64);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
        z.avail_in = static_cast<uInt>(content.size());
        z.next_out = reinterpret_cast<Bytef*>(data.data());
        z.avail_out = static_cast<uInt>(data.size());
        deflate(&z, Z_FINISH);
        data.resize(z.total_out);
        deflateEnd(&z);
    }
    Bytes h(30);
    PutLe(h, 0, 0x04034b50, 4);
    PutLe(h, 8, deflated ? 8 : 0, 2);
    PutLe(h, 18, data.size(), 4);
    PutLe(h, 22, content.size(), 4);
    PutLe(h, 26, name.size(), 2);
    return std::string(h.begin(), h.end()) + name + data;
}

TEST(OfficeTitles, FromStoredOrDeflatedCorePropertiesAndNothingFromDamage) {
    const std::string core = "<cp:coreProperties><dc:title>Budget 2025 &amp; beyond</dc:title></cp:coreProperties>";
    const std::string before = ZipMember("word/document.xml", std::string(3000, 'w'), true);
    for (const bool deflated : {false, true}) {
        const std::string zip = before + ZipMember("docProps/core.xml", core, deflated);
        EXPECT_EQ(ReadOfficeTitle(Span(zip)), "Budget 2025 & beyond") << deflated;
        EXPECT_EQ(ContentNameOf(Span(zip), "docx"), "Budget 2025 & beyond.docx");
        // Cut anywhere, it gives the title or nothing, never a part of it.
        for (std::size_t n = 0; n < zip.size(); n += 7) {
            const auto title = ReadOfficeTitle(Span(zip.substr(0, n)));
            EXPECT_TRUE(!title || *title == "Budget 2025 & beyond") << n;
        }
    }
    std::string broken = ZipMember("docProps/core.xml", core, true);
    broken[40 + 17] ^= 0x55;  // inside the deflate stream
    const auto title = ReadOfficeTitle(Span(broken));
    EXPECT_TRUE(!title || title->find('\0') == std::string::npos);
    EXPECT_FALSE(ReadOfficeTitle(Span(ZipMember("docProps/core.xml", "<dc:title></dc:title>", false))));
    EXPECT_FALSE(CoreXmlTitle("<dc:title>never closed"));
}

TEST(FileNamesFromText, CutLongTextsAtACharacterAndNeverLeaveAPath) {
    std::string long_text;
    for (int i = 0; i < 150; ++i) long_text += "\xC3\xA9";  // 300 bytes
    const std::string cut = FileNameFromText(long_text);
    EXPECT_LE(cut.size(), 200u);
    EXPECT_EQ(cut.size() % 2, 0u);
    EXPECT_EQ(FileNameFromText(" ..\x01/x\\y\x7F. "), "x_y");
    EXPECT_EQ(FileNameFromText("..."), "");
}

// An index entry whose $FILE_NAME copy holds sizes and times.
Bytes FiguredEntry(std::uint64_t file, std::uint64_t parent, const std::u16string& name, std::int64_t size) {
    const std::size_t key = 66 + 2 * name.size();
    Bytes e((16 + key + 7) / 8 * 8);
    PutLe(e, 0, file, 8);
    PutLe(e, 8, e.size(), 2);
    PutLe(e, 10, key, 2);
    PutLe(e, 16, parent, 8);
    PutLe(e, 16 + 8, 0x01DA9B5A11111111ull, 8);
    PutLe(e, 16 + 16, 0x01DA9B5A22222222ull, 8);
    PutLe(e, 16 + 40, static_cast<std::uint64_t>((size + 4095) / 4096 * 4096), 8);
    PutLe(e, 16 + 48, static_cast<std::uint64_t>(size), 8);
    e[16 + 64] = static_cast<std::uint8_t>(name.size());
    e[16 + 65] = 1;
    for (std::size_t i = 0; i < name.size(); ++i) PutLe(e, 16 + 66 + 2 * i, name[i], 2);
    return e;
}

// A 4 KiB index block: `live` in use, `left` in the slack just after.
Bytes Block(const std::vector<Bytes>& live, const std::vector<Bytes>& left) {
    Bytes b(4096);
    std::memcpy(b.data(), "INDX", 4);
    PutLe(b, 4, 40, 2);
    PutLe(b, 6, 9, 2);
    PutLe(b, 24, 40, 4);
    std::size_t at = 64;
    for (const Bytes& e : live) {
        std::memcpy(&b[at], e.data(), e.size());
        at += e.size();
    }
    PutLe(b, at + 8, 16, 2);
    PutLe(b, at + 12, 2, 2);  // the end entry
    at += 16;
    PutLe(b, 28, at - 24, 4);
    PutLe(b, 32, 4096 - 24, 4);
    for (const Bytes& e : left) {
        std::memcpy(&b[at], e.data(), e.size());
        at += e.size();
    }
    for (std::size_t i = 1; i <= 8; ++i) {
        b[40 + 2 * i] = b[512 * i - 2];
        b[41 + 2 * i] = b[512 * i - 1];
        PutLe(b, 512 * i - 2, 1, 2);
    }
    PutLe(b, 40, 1, 2);
    return b;
}

TEST(RememberedFiles, KeepEachEntrysFiguresAndSayWhetherItWasLiveOrSlack) {
    const Bytes block = Block({FiguredEntry(30 | (2ull << 48), 5, u"kept.txt", 120)},
                              {FiguredEntry(31 | (4ull << 48), 40, u"zz harbour.jpg", 61234),
                               FiguredEntry(32 | (1ull << 48), 40, u"empty.txt", 0)});
    RememberedFiles files;
    EXPECT_EQ(files.AddIndexBlock(block, NamedFrom::Index), 2u);  // the empty file names no data
    ASSERT_EQ(files.All().size(), 2u);
    const RememberedFile& slack = files.All()[1];
    EXPECT_EQ(slack.name, u"zz harbour.jpg");
    EXPECT_EQ(slack.from, NamedFrom::IndexSlack);
    EXPECT_EQ(slack.figures.data_size, 61234);
    EXPECT_EQ(slack.figures.allocated_size, 61440);
    EXPECT_EQ(slack.figures.modified_time, 0x01DA9B5A22222222ull);
    EXPECT_EQ(files.All()[0].from, NamedFrom::Index);
    // A block found in free clusters says so of all its names.
    RememberedFiles free;
    free.AddIndexBlock(block, NamedFrom::FreeIndexBlock);
    EXPECT_EQ(free.All()[1].from, NamedFrom::FreeIndexBlock);

    EXPECT_TRUE(ExtensionFits("zz harbour.JPEG", "jpg"));
    EXPECT_TRUE(ExtensionFits("budget.xlsx", "zip"));
    EXPECT_FALSE(ExtensionFits("notes.txt", "gz"));
    EXPECT_FALSE(ExtensionFits("noextension", "jpg"));
}

// Slack as later writes leave it: copies of $FILE_NAME whose entry headers
// were zeroed, one whose head the live bytes took, and copies no volume
// writes, each on an 8-byte boundary.
TEST(StaleFileNames, FindCopiesByTheirOwnFieldsAndBelieveOnlyWhatLiesInTheSlack) {
    Bytes slack(1024);
    const auto put = [&](std::size_t at, const Bytes& entry) {
        std::memcpy(&slack[at], entry.data(), std::min(entry.size(), slack.size() - at));
    };
    // The live bytes end at 64: a copy beginning at 48 lost its parent and creation time to them.
    put(32, FiguredEntry(0, 0x3300490024ull, u"IMG_1046.jpg", 2609293));
    Bytes headless = FiguredEntry(77 | (1ull << 48), 76 | (1ull << 48), u"DSC 20.jpg", 90968);
    std::fill(headless.begin(), headless.begin() + 16, std::uint8_t{0});  // its entry header zeroed
    put(160, headless);
    put(264, FiguredEntry(88 | (3ull << 48), 76 | (1ull << 48), u"whole.png", 4100));  // header intact
    put(368, FiguredEntry(9 | (9ull << 48), 5, u"$Secure.txt", 100));                   // the system's own
    Bytes nul = FiguredEntry(0, 76, u"a?b.jpg", 10);
    PutLe(nul, 16 + 66 + 2, 0, 2);
    put(464, nul);
    Bytes lone = FiguredEntry(0, 76, u"c?d.jpg", 10);
    PutLe(lone, 16 + 66 + 2, 0xDC00, 2);
    put(560, lone);
    Bytes folder = FiguredEntry(0, 76, u"album.jpg", 10);
    PutLe(folder, 16 + 56, 0x10000000, 4);
    put(656, folder);
    Bytes undated = FiguredEntry(0, 76, u"undated.jpg", 10);
    for (std::size_t t = 8; t < 40; t += 8) PutLe(undated, 16 + t, 0, 8);
    put(752, undated);
    Bytes dos = FiguredEntry(0, 76, u"DOS~1.JPG", 10);
    dos[16 + 65] = 2;
    put(856, dos);
    put(1024 - 96, FiguredEntry(0, 76, u"cut-off-name.jpg", 10));  // its name runs past the slack's end

    std::u16string units;
    std::vector<IndexedName> found;
    ForEachStaleFileName(slack, 64, slack.size(), units, [&](const IndexedNameView& n) {
        found.push_back({n.file_reference, n.parent_reference, std::u16string(n.name), n.from_slack, n.figures});
    });
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].name, u"IMG_1046.jpg");
    EXPECT_EQ(found[0].parent_reference, 0u) << "its parent lay in the live bytes";
    EXPECT_EQ(found[0].figures.created_time, 0u);
    EXPECT_EQ(found[0].figures.modified_time, 0x01DA9B5A22222222ull);
    EXPECT_EQ(found[0].figures.data_size, 2609293);
    EXPECT_EQ(found[1].name, u"DSC 20.jpg");
    EXPECT_EQ(found[1].file_reference, 0u) << "no header, no reference";
    EXPECT_EQ(found[1].parent_reference, 76 | (1ull << 48));
    EXPECT_EQ(found[2].name, u"whole.png");
    EXPECT_EQ(found[2].file_reference, 88 | (3ull << 48));
    EXPECT_EQ(found[2].figures.allocated_size, 8192);
    for (const IndexedName& n : found) EXPECT_TRUE(n.from_slack);
}

}  // namespace
}  // namespace verandol

namespace verandol {
namespace {

using testing::Bytes;

DeletedFileRow CarvedRowOf(std::int64_t position, std::int64_t size, const std::string& extension) {
    DeletedFileRow row;
    row.carved = true;
    row.position = position;
    row.size = size;
    row.type = "." + extension;
    row.name = "f" + std::to_string(position / 4096) + row.type;
    row.named_from = "cluster";
    row.carved_extent = {position, size, CarveCheck::Complete};
    return row;
}

RememberedFile Remembered(std::uint64_t reference, const std::u16string& name, std::int64_t size, NamedFrom from) {
    RememberedFile file;
    file.file_reference = reference;
    file.parent_reference = 5;
    file.name = name;
    file.figures.data_size = size;
    file.figures.modified_time = 0x01DA9B5A22222222ull;
    file.from = from;
    return file;
}

// Without a readable MFT no record holds any file: every remembered one is gone.
TEST(CarvedNames, ANameIsTakenOnlyWhenOneFileFitsAndTheBestPlaceSaysWhere) {
    MemoryVolume volume(Bytes(64 * 1024));
    VolumeMemory memory(volume, PublishedGeometry{});
    RememberedFiles& remembered = memory.Remembered();
    // One photo met in a folder's slack and again in a free index block.
    remembered.Add(Remembered(40, u"harbour.jpg", 5000, NamedFrom::FreeIndexBlock));
    remembered.Add(Remembered(40, u"harbour.jpg", 5000, NamedFrom::IndexSlack));
    // Two archives of one length: neither name can be told to be the carved one's.
    remembered.Add(Remembered(41, u"a.zip", 7000, NamedFrom::IndexSlack));
    remembered.Add(Remembered(42, u"b.zip", 7000, NamedFrom::IndexSlack));
    remembered.Add(Remembered(43, u"notes.txt", 6000, NamedFrom::IndexSlack));

    std::vector<JournalName> journal = {{44, 5, u"scan.png", 0x01DA9B5A33333333ull, usn_reason::kFileDelete},
                                        {45, 5, u"one.pdf", 0, usn_reason::kFileDelete},
                                        {46, 5, u"two.pdf", 0, usn_reason::kFileDelete}};
    std::vector<DeletedFileRow> rows = {CarvedRowOf(0, 5000, "jpg"), CarvedRowOf(8192, 7000, "zip"),
                                        CarvedRowOf(16384, 6000, "gz"), CarvedRowOf(24576, 3000, "png"),
                                        CarvedRowOf(32768, 3000, "pdf")};
    NameCarvedRows(rows, memory, journal, volume);
    EXPECT_EQ(rows[0].name, "harbour.jpg");
    EXPECT_EQ(rows[0].named_from, "index slack");
    EXPECT_EQ(rows[0].modified_time, 0x01DA9B5A22222222ull);
    EXPECT_FALSE(rows[0].modified_text.empty());
    EXPECT_EQ(rows[1].named_from, "cluster");
    EXPECT_EQ(rows[1].name, "f2.zip");
    EXPECT_EQ(rows[2].named_from, "cluster") << "a remembered file of another type is not it";
    EXPECT_EQ(rows[3].name, "scan.png");
    EXPECT_EQ(rows[3].named_from, "journal");
    EXPECT_EQ(rows[3].modified_time, 0x01DA9B5A33333333ull);
    EXPECT_EQ(rows[4].named_from, "cluster") << "two PDFs in the journal: neither name is given";
}

}  // namespace
}  // namespace verandol
