// Files as long use leaves them, on volumes the driver made: compressed,
// written only in part, kept in extension records, on an MFT whose records
// straddle its extents. What the driver cannot make (an encrypted file, a
// damaged piece, a name lost with its record) is patched into copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "deep/deep_scan.h"
#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "text/record_texts.h"
#include "tests/reliability_support.h"

namespace verandol {
namespace {

using namespace testing;

struct Volume : FixtureCopy {
    using FixtureCopy::FixtureCopy;

    const ManifestFile& File(const std::string& name) const { return DeletedFile(name); }
    std::int64_t Position(const ManifestFile& f) const { return manifest.RecordPosition(f.mft_record); }
    Bytes Record(std::int64_t index) const {
        const auto at = image.begin() + manifest.RecordPosition(index);
        Bytes record(at, at + manifest.record_size);
        EXPECT_TRUE(ApplyFixups(record)) << "record " << index;
        return record;
    }
    // Sets bytes of a deleted file's $DATA header.
    void PatchData(const ManifestFile& f, std::size_t field, const Bytes& bytes) {
        const std::size_t data = AttributeOffset(image, Position(f), manifest.record_size, layout::attr::kData);
        PatchRecord(image, Position(f), data + field, bytes);
    }
};

struct Scanned {
    ScanCollector scan;
    std::vector<Recovery> recoveries;
    std::map<std::string, const Recovery*> by_name;
};

std::unique_ptr<Scanned> ScanAndRecover(const Bytes& image, const TempDir& out) {
    auto run = std::make_unique<Scanned>();
    MemoryVolume volume{Bytes(image)};
    ScanVolume(volume, "realworld", "", run->scan);
    run->recoveries = RecoverAll(volume, run->scan, out.path(), false);
    ExpectHonestOutcome(run->scan, run->recoveries, out.path());
    for (const Recovery& r : run->recoveries) run->by_name[r.row.name] = &r;
    return run;
}

// The file as recovered from the unpatched image, checked against the manifest.
Bytes Truth(const Volume& v, const ManifestFile& f) {
    TempDir out;
    auto run = ScanAndRecover(v.image, out);
    EXPECT_TRUE(run->by_name.count(f.name)) << f.path;
    if (!run->by_name.count(f.name)) return {};
    EXPECT_EQ(run->by_name[f.name]->result.status, RecoverStatus::Written) << f.path;
    Bytes bytes = ReadWholeFile(run->by_name[f.name]->path);
    EXPECT_EQ(Sha256Hex(bytes), f.sha256) << f.path;
    return bytes;
}

Bytes Le(std::uint64_t value, std::size_t width) {
    Bytes b(width);
    PutLe(b, 0, value, width);
    return b;
}

TEST(RealWorldVolumes, TheDriverMadeCompressedPartlyWrittenAndListedFiles) {
    const Manifest packed = LoadManifest("packed-clu4k");
    int compressed = 0;
    for (const ManifestFile& f : packed.Deleted()) compressed += f.compressed;
    EXPECT_GE(compressed, 4);
    EXPECT_GT(Volume("packed-clu4k").File("big-log.txt").size, 4 * 16 * 4096) << "several compression units";
    const ManifestFile grown = Volume("packed-clu4k").File("grown.bin");
    EXPECT_LT(grown.initialized_size, grown.size);
    EXPECT_GE(Volume("straddle-clu512").File("disk-a.img").extension_records, 2);
}

// A record that begins in one MFT extent and ends in the next is read whole
// through the MFT's map; read as one stretch it would be foreign bytes.
TEST(RealWorldVolumes, RecordsStraddlingTwoMftExtentsAreRecoveredThroughTheMap) {
    const Volume v("straddle-clu512");
    const Manifest& m = v.manifest;
    ScanCollector scan;
    ScanVolumePath("straddle", FixtureImagePath("straddle-clu512"), scan);
    ASSERT_TRUE(scan.published && !scan.published->mft_runs.empty());
    TempDir out;
    int straddling = 0;
    for (const ManifestFile& f : m.Deleted()) {
        const std::int64_t offset = f.mft_record * m.record_size;
        std::int64_t vcn = 0;
        bool straddles = false;
        for (auto [lcn, clusters] : m.mft_extents) {
            const std::int64_t end = (vcn + clusters) * m.cluster_size;
            straddles |= offset < end && offset + m.record_size > end;
            vcn += clusters;
        }
        if (!straddles) continue;
        ++straddling;
        const std::string caption = PositionCaption(m.RecordPosition(f.mft_record));
        const std::string path = out.path() + "/" + f.name;
        const RecoverResult mapped = RecoverFile(FixtureImagePath("straddle-clu512"), caption, scan.published->geometry,
                                                 scan.published->mft_runs, path);
        ASSERT_EQ(mapped.status, RecoverStatus::Written) << f.path << ": " << mapped.reason;
        EXPECT_EQ(Sha256Hex(ReadWholeFile(path)), f.sha256) << f.path;
        const RecoverResult stretch =
            RecoverFile(FixtureImagePath("straddle-clu512"), caption, scan.published->geometry, {}, path + ".old");
        EXPECT_EQ(stretch.status, RecoverStatus::NotWritten) << f.path;
    }
    EXPECT_GE(straddling, 1) << "the fixture holds no deleted record across two extents";
}

// The pieces of a listed file: one that is gone leaves zeros in exactly its
// clusters; a name lost with its record leaves the row nameless but whole.
TEST(RealWorldVolumes, ListedFilesLoseOnlyWhatTheirMissingRecordsHeld) {
    Volume v("straddle-clu512");
    const ManifestFile& disk = v.File("disk-a.img");
    const Bytes truth = Truth(v, disk);
    ASSERT_EQ(Sha256Hex(truth), disk.sha256);

    // The extension records follow the base: the name's, then the pieces'.
    std::int64_t name_record = -1, piece_record = -1, piece_first = 0, piece_last = 0;
    for (std::int64_t i = disk.mft_record + 1; i < disk.mft_record + 12; ++i) {
        const Bytes r = v.Record(i);
        if ((*read_le64(r, layout::record::kBaseRecord) & layout::kReferenceRecordMask) !=
            static_cast<std::uint64_t>(disk.mft_record))
            continue;
        if (!FindAttribute(r, layout::attr::kFileName, false).empty()) name_record = i;
        const ByteSpan data = FindAttribute(r, layout::attr::kData, false);
        if (!data.empty() && piece_record < 0 && *read_sle64(data, layout::attr::kFirstVcn) > 0) {
            piece_record = i;
            piece_first = *read_sle64(data, layout::attr::kFirstVcn);
            piece_last = *read_sle64(data, layout::attr::kLastVcn);
        }
    }
    ASSERT_GE(name_record, 0);
    ASSERT_GE(piece_record, 0);

    Bytes nameless = v.image;
    const Bytes name_rec = v.Record(name_record);
    PatchRecord(nameless, v.manifest.RecordPosition(name_record), *read_le16(name_rec, layout::record::kFirstAttribute),
                Le(layout::attr::kEnd, 4));
    // The piece's record now names another base: it was reused.
    PatchRecord(nameless, v.manifest.RecordPosition(piece_record), layout::record::kBaseRecord,
                Le(static_cast<std::uint64_t>(disk.mft_record + 1000), 6));
    TempDir out;
    auto run = ScanAndRecover(nameless, out);
    ASSERT_TRUE(run->by_name.count("")) << "listed without a name";
    const Recovery& r = *run->by_name[""];
    EXPECT_EQ(r.row.size, disk.size);
    EXPECT_NE(r.path.find("File_"), std::string::npos) << r.path;
    EXPECT_EQ(r.result.status, RecoverStatus::Incomplete);
    EXPECT_NE(r.result.reason.find("from cluster " + std::to_string(piece_first)), std::string::npos)
        << r.result.reason;
    const Bytes got = ReadWholeFile(r.path);
    ASSERT_EQ(got.size(), truth.size());
    const std::size_t from = static_cast<std::size_t>(piece_first * v.manifest.cluster_size);
    const std::size_t to = std::min(truth.size(), static_cast<std::size_t>((piece_last + 1) * v.manifest.cluster_size));
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + from, truth.begin()));
    EXPECT_TRUE(std::all_of(got.begin() + from, got.begin() + to, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(got.begin() + to, got.end(), truth.begin() + to));
    EXPECT_EQ(run->scan.rows.size(), v.manifest.Deleted().size()) << "extension records are never rows";
}

// An extension record that names the base's number but another sequence
// number belonged to another file in the base's place: its piece is not
// this file's, on the walk and on the deep scan alike.
TEST(RealWorldVolumes, APieceOfAnotherFileThatHadTheBaseRecordIsNotLent) {
    Volume v("straddle-clu512");
    const ManifestFile& disk = v.File("disk-a.img");
    const std::uint16_t base_sequence = *read_le16(v.Record(disk.mft_record), layout::record::kSequenceNumber);
    std::int64_t piece_record = -1, piece_first = 0;
    for (std::int64_t i = disk.mft_record + 1; i < disk.mft_record + 12 && piece_record < 0; ++i) {
        const Bytes r = v.Record(i);
        const ByteSpan data = FindAttribute(r, layout::attr::kData, false);
        if ((*read_le64(r, layout::record::kBaseRecord) & layout::kReferenceRecordMask) ==
                static_cast<std::uint64_t>(disk.mft_record) &&
            !data.empty() && *read_sle64(data, layout::attr::kFirstVcn) > 0) {
            piece_record = i;
            piece_first = *read_sle64(data, layout::attr::kFirstVcn);
        }
    }
    ASSERT_GE(piece_record, 0);
    Bytes patched = v.image;
    const std::uint64_t earlier = std::uint64_t{static_cast<std::uint16_t>(base_sequence - 3)} << 48;
    PatchRecord(patched, v.manifest.RecordPosition(piece_record), layout::record::kBaseRecord,
                Le(earlier | static_cast<std::uint64_t>(disk.mft_record), 8));
    TempDir out;
    auto run = ScanAndRecover(patched, out);
    ASSERT_TRUE(run->by_name.count(disk.name));
    const Recovery& r = *run->by_name[disk.name];
    EXPECT_EQ(r.result.status, RecoverStatus::Incomplete);
    EXPECT_NE(r.result.reason.find("from cluster " + std::to_string(piece_first)), std::string::npos)
        << r.result.reason;

    MemoryVolume volume{Bytes(patched)};
    ScanCollector deep;
    DeepScanVolume(volume, "realworld", "", deep);
    const auto row = std::find_if(deep.rows.begin(), deep.rows.end(),
                                  [&](const DeletedFileRow& listed) { return listed.name == disk.name; });
    ASSERT_NE(row, deep.rows.end());
    const RecoverResult found = RecoverFoundFile(volume, row->position_text, row->found, out.path() + "/deep", nullptr);
    EXPECT_EQ(found.status, RecoverStatus::Incomplete) << found.reason;
}

TEST(RealWorldVolumes, EncryptedFilesAreNotWrittenAndSayWhy) {
    Volume v("packed-clu4k");
    for (const char* name : {"plain-48k.bin", "notes.txt"})
        v.PatchData(v.File(name), layout::attr::kFlags,
                    Le(layout::attr::kFlagEncrypted | (std::string(name) == "notes.txt" ? 1 : 0), 2));
    TempDir out;
    auto run = ScanAndRecover(v.image, out);
    for (const char* name : {"plain-48k.bin", "notes.txt"}) {
        ASSERT_TRUE(run->by_name.count(name)) << name;
        const Recovery& r = *run->by_name[name];
        EXPECT_EQ(r.result.status, RecoverStatus::NotWritten) << name;
        EXPECT_NE(r.result.reason.find("encrypted"), std::string::npos) << r.result.reason;
    }
    EXPECT_EQ(run->by_name["noise.bin"]->result.status, RecoverStatus::Written);
}

// The clusters past the initialized size hold whatever was there before;
// every reader of the file sees zeros.
TEST(RealWorldVolumes, BytesPastTheInitializedSizeAreZerosWhateverTheClustersHold) {
    Volume v("packed-clu4k");
    const ManifestFile& f = v.File("plain-48k.bin");
    const Bytes truth = Truth(v, f);
    ASSERT_EQ(Sha256Hex(truth), f.sha256);
    v.PatchData(f, layout::attr::kInitializedSize, Le(10000, 8));
    TempDir out;
    auto run = ScanAndRecover(v.image, out);
    const Recovery& r = *run->by_name.at(f.name);
    EXPECT_EQ(r.result.status, RecoverStatus::Written) << r.result.reason;
    Bytes want(truth.begin(), truth.begin() + 10000);
    want.resize(truth.size(), 0);
    EXPECT_EQ(ReadWholeFile(r.path), want);
}

// A unit whose LZNT1 data is damaged costs that unit only.
TEST(RealWorldVolumes, AUnitThatCannotBeDecompressedIsZerosAndTheRestIsIntact) {
    Volume v("packed-clu4k");
    const ManifestFile& f = v.File("big-log.txt");
    const Bytes truth = Truth(v, f);
    ASSERT_EQ(Sha256Hex(truth), f.sha256);
    ASSERT_GE(f.runs.size(), 2u);
    ASSERT_GE(f.runs[0].first, 0);
    // The first chunk of unit 0 now begins with a back-reference.
    const std::size_t at = static_cast<std::size_t>(f.runs[0].first * v.manifest.cluster_size);
    const Bytes bad{0x02, 0xB0, 0x01, 0x00, 0x00};
    std::copy(bad.begin(), bad.end(), v.image.begin() + static_cast<std::ptrdiff_t>(at));
    TempDir out;
    auto run = ScanAndRecover(v.image, out);
    const Recovery& r = *run->by_name.at(f.name);
    EXPECT_EQ(r.result.status, RecoverStatus::Incomplete);
    EXPECT_NE(r.result.reason.find("compression unit 0"), std::string::npos) << r.result.reason;
    const Bytes got = ReadWholeFile(r.path);
    ASSERT_EQ(got.size(), truth.size());
    const std::size_t unit = 16 * v.manifest.cluster_size;
    EXPECT_TRUE(std::all_of(got.begin(), got.begin() + unit, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(got.begin() + unit, got.end(), truth.begin() + unit));
}

}  // namespace
}  // namespace verandol
