// Scans and recoveries of the fixture volumes after damage a failing disk or a
// bad copy does: cut images, broken metadata records, flipped bytes, runs
// that point nowhere. Whatever the damage, the scan ends, and no file is
// reported recovered unless it is exactly the file that was deleted.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "ntfs/layout.h"
#include "tests/reliability_support.h"

namespace verandol {
namespace {

using namespace testing;

struct Damaged : FixtureCopy {
    using FixtureCopy::FixtureCopy;

    std::int64_t RecordPosition(std::int64_t index) const { return manifest.RecordPosition(index); }
    const ManifestFile& File(const std::string& name) const { return DeletedFile(name); }
    std::size_t DataOffset(const ManifestFile& f) const {
        return AttributeOffset(image, RecordPosition(f.mft_record), manifest.record_size, layout::attr::kData);
    }
};

struct Outcome {
    ScanCollector scan;
    std::vector<Recovery> recoveries;
    std::map<std::string, const Recovery*> by_name;
};

// Scans and recovers everything into `out`, checking what must always hold.
std::unique_ptr<Outcome> ScanAndRecover(MemoryVolume& volume, const TempDir& out) {
    auto run = std::make_unique<Outcome>();
    ScanVolume(volume, "damaged", "", run->scan);
    run->recoveries = RecoverAll(volume, run->scan, out.path(), false, 64 << 20);
    ExpectHonestOutcome(run->scan, run->recoveries, out.path());
    for (const Recovery& r : run->recoveries) run->by_name[r.row.name] = &r;
    return run;
}

std::unique_ptr<Outcome> ScanAndRecover(Bytes image, const TempDir& out) {
    MemoryVolume volume(std::move(image));
    return ScanAndRecover(volume, out);
}

// Damage that leaves a file's record and data alone cannot change its bytes:
// a file reported written must be the one that was deleted.
void ExpectWrittenFilesIntact(const Outcome& run, const Manifest& m) {
    for (const ManifestFile& f : m.Deleted()) {
        auto it = run.by_name.find(f.name);
        if (it == run.by_name.end() || it->second->result.status != RecoverStatus::Written) continue;
        EXPECT_EQ(Sha256Hex(ReadWholeFile(it->second->path)), f.sha256) << f.path << " was reported written";
    }
}

class DamagedFixture : public ::testing::TestWithParam<std::string> {};
// The fixtures holding the common set of deleted files: the geometry images
// (sec<sector>-clu<cluster>); the others hold files of their own.
class DamagedFileFixture : public DamagedFixture {};

std::vector<std::string> CommonFileSetFixtures() {
    std::vector<std::string> names;
    for (const std::string& name : FixtureNames())
        if (name.starts_with("sec")) names.push_back(name);
    return names;
}

TEST_P(DamagedFixture, ImageCutInsideTheMftListsTheRecordsBeforeTheCut) {
    Damaged d(GetParam());
    const std::int64_t cut = d.RecordPosition(75) + d.manifest.record_size / 2;
    d.image.resize(static_cast<std::size_t>(cut));
    TempDir out;
    auto run = ScanAndRecover(d.image, out);
    EXPECT_EQ(run->scan.end, ScanEnd::Completed) << run->scan.reason;
    for (const Recovery& r : run->recoveries) EXPECT_LT(r.row.position, cut) << r.row.name;
    // Every non-resident file's clusters lie past the cut.
    for (const ManifestFile& f : d.manifest.Deleted()) {
        if (!f.resident && run->by_name.count(f.name) && f.size > 0) {
            EXPECT_EQ(run->by_name[f.name]->result.status, RecoverStatus::Incomplete) << f.path;
        }
    }
    ExpectWrittenFilesIntact(*run, d.manifest);
}

TEST_P(DamagedFileFixture, ImageCutInsideAFilesClustersMakesThatFileIncomplete) {
    Damaged d(GetParam());
    const ManifestFile& archive = d.File("archive-200k.zip");
    Bytes record(d.image.begin() + d.RecordPosition(archive.mft_record),
                 d.image.begin() + d.RecordPosition(archive.mft_record) + d.manifest.record_size);
    // The run list is not in the manifest struct; the file is one run long on
    // every fixture, so its middle is its first cluster plus half its length.
    const std::size_t data = d.DataOffset(archive);
    const std::size_t runs = data + *read_le16(record, data + layout::attr::kRunListOffset);
    const std::uint8_t header = record[runs];
    const std::size_t length_bytes = header & 0x0F, offset_bytes = header >> 4;
    const std::int64_t lcn = static_cast<std::int64_t>(*read_le(record, runs + 1 + length_bytes, offset_bytes));
    const std::int64_t cut = lcn * d.manifest.cluster_size + archive.size / 2;
    d.image.resize(static_cast<std::size_t>(cut));

    TempDir out;
    auto run = ScanAndRecover(d.image, out);
    ASSERT_EQ(run->scan.end, ScanEnd::Completed) << run->scan.reason;
    ASSERT_TRUE(run->by_name.count(archive.name));
    const Recovery& r = *run->by_name[archive.name];
    EXPECT_EQ(r.result.status, RecoverStatus::Incomplete);
    EXPECT_NE(r.result.reason.find("past the end"), std::string::npos) << r.result.reason;
    EXPECT_EQ(ReadWholeFile(r.path).size(), static_cast<std::size_t>(archive.size))
        << "the missing part reads as zeros";
    ExpectWrittenFilesIntact(*run, d.manifest);
    EXPECT_EQ(run->by_name.at("shopping.txt")->result.status, RecoverStatus::Written);
}

TEST_P(DamagedFixture, BrokenRecordZeroIsReadFromTheMirrorAndRefusedWhenBothAreBroken) {
    Damaged d(GetParam());
    const std::int64_t mirror =
        static_cast<std::int64_t>(*read_le64(d.image, layout::boot::kMftMirrorCluster)) * d.manifest.cluster_size;
    const std::size_t first = AttributeOffset(d.image, d.manifest.mft_offset, d.manifest.record_size,
                                              layout::attr::kStandardInformation);
    // Each damage to record 0 at `at`: zeroed, torn (a write that reached
    // only the first sector leaves the old number at the stride's end), and
    // an attribute of length 0.
    const auto damage = [&](Bytes& image, int kind, std::int64_t at) {
        if (kind == 0) std::fill_n(image.begin() + at, d.manifest.record_size, 0);
        if (kind == 1) image[static_cast<std::size_t>(at) + 510] ^= 0xFF;
        if (kind == 2) PatchRecord(image, at, first + layout::attr::kLength, Bytes(4, 0));
    };
    const char* const reasons[] = {"update sequence", "update sequence", "no data attribute"};
    TempDir intact_out;
    const std::size_t intact_rows = ScanAndRecover(d.image, intact_out)->scan.rows.size();
    for (int kind = 0; kind < 3; ++kind) {
        Bytes image = d.image;
        damage(image, kind, d.manifest.mft_offset);
        TempDir out;
        auto rescued = ScanAndRecover(image, out);
        EXPECT_EQ(rescued->scan.end, ScanEnd::Completed) << reasons[kind];
        EXPECT_EQ(rescued->scan.rows.size(), intact_rows) << kind;
        ExpectWrittenFilesIntact(*rescued, d.manifest);

        damage(image, kind, mirror);
        TempDir none;
        auto run = ScanAndRecover(image, none);
        EXPECT_EQ(run->scan.end, ScanEnd::Failed) << kind;
        EXPECT_NE(run->scan.reason.find(reasons[kind]), std::string::npos) << kind << ": " << run->scan.reason;
        EXPECT_TRUE(run->scan.rows.empty()) << kind;
    }
}

TEST_P(DamagedFileFixture, RunsOutsideTheVolumeGiveAnIncompleteFileOfTheRightLength) {
    Damaged d(GetParam());
    const ManifestFile& f = d.File("frag-a.bin");
    const std::int64_t clusters = (f.size + d.manifest.cluster_size - 1) / d.manifest.cluster_size;
    const std::int64_t volume_clusters = d.manifest.volume_size / d.manifest.cluster_size;
    const Bytes original = d.image;
    Bytes record(d.image.begin() + d.RecordPosition(f.mft_record),
                 d.image.begin() + d.RecordPosition(f.mft_record) + d.manifest.record_size);
    const std::size_t data = d.DataOffset(f);
    const std::size_t runs = data + *read_le16(record, data + layout::attr::kRunListOffset);

    const std::vector<std::pair<const char*, Bytes>> lists = {
        {"past the end", RunListEntry(static_cast<std::uint64_t>(clusters), volume_clusters + 1000)},
        {"negative", [&] {
             Bytes b = RunListEntry(1, 100);
             Bytes back = RunListEntry(static_cast<std::uint64_t>(clusters - 1), -100000);
             b.insert(b.end(), back.begin(), back.end());
             return b;
         }()},
    };
    for (const auto& [what, list] : lists) {
        Bytes image = original;
        Bytes terminated = list;
        terminated.push_back(0);
        PatchRecord(image, d.RecordPosition(f.mft_record), runs, terminated);
        TempDir out;
        auto run = ScanAndRecover(image, out);
        ASSERT_TRUE(run->by_name.count(f.name)) << what;
        const Recovery& r = *run->by_name[f.name];
        EXPECT_EQ(r.result.status, RecoverStatus::Incomplete) << what;
        EXPECT_EQ(ReadWholeFile(r.path).size(), static_cast<std::size_t>(f.size)) << what;
        ExpectWrittenFilesIntact(*run, d.manifest);
    }
}

TEST_P(DamagedFileFixture, BrokenAttributeHeadersOnlyCostTheirOwnFile) {
    Damaged d(GetParam());
    const ManifestFile& lost = d.File("shopping.txt");
    const ManifestFile& long_name = d.File("small-300.bin");
    const std::size_t info = AttributeOffset(d.image, d.RecordPosition(lost.mft_record), d.manifest.record_size,
                                             layout::attr::kStandardInformation);
    PatchRecord(d.image, d.RecordPosition(lost.mft_record), info + layout::attr::kLength, Bytes(4, 0));
    // A name length of 255 runs past the attribute and the record: the name
    // is cut where its attribute ends.
    const std::size_t name = AttributeOffset(d.image, d.RecordPosition(long_name.mft_record), d.manifest.record_size,
                                             layout::attr::kFileName);
    PatchRecord(d.image, d.RecordPosition(long_name.mft_record), name + layout::file_name::kNameLength, {255});

    TempDir out;
    auto run = ScanAndRecover(d.image, out);
    EXPECT_EQ(run->scan.end, ScanEnd::Completed);
    EXPECT_FALSE(run->by_name.count(lost.name));
    const Recovery* renamed = nullptr;
    for (const Recovery& r : run->recoveries)
        if (r.row.name.starts_with(long_name.name) && r.row.name != long_name.name) renamed = &r;
    ASSERT_NE(renamed, nullptr) << "the row with the overlong name is still listed";
    EXPECT_EQ(renamed->result.status, RecoverStatus::Written);
    EXPECT_EQ(Sha256Hex(ReadWholeFile(renamed->path)), long_name.sha256);
    EXPECT_EQ(run->scan.rows.size() + 1, d.manifest.Deleted().size());
    ExpectWrittenFilesIntact(*run, d.manifest);
}

INSTANTIATE_TEST_SUITE_P(AllFixtures, DamagedFixture, ::testing::ValuesIn(FixtureNames()),
                         FixtureTestName<::testing::TestParamInfo<std::string>>);
INSTANTIATE_TEST_SUITE_P(CommonFileSet, DamagedFileFixture, ::testing::ValuesIn(CommonFileSetFixtures()),
                         FixtureTestName<::testing::TestParamInfo<std::string>>);

// Flipped bytes anywhere in the MFT, many patterns: the promises must hold
// whatever the records now say.
TEST(DamagedMft, RandomByteFlipsNeverBreakTheScanOrTheRecovery) {
    const Manifest m = LoadManifest("sec512-clu4k");
    const std::int64_t mft_bytes = 128 * m.record_size;
    const auto mft = static_cast<std::ptrdiff_t>(m.mft_offset);
    const Bytes original(ReadWholeFile(FixtureImagePath("sec512-clu4k")));
    MemoryVolume volume{Bytes(original)};
    TempDir out;
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        Bytes& image = volume.Bytes();
        std::copy(original.begin() + mft, original.begin() + mft + mft_bytes, image.begin() + mft);
        std::uniform_int_distribution<std::int64_t> where(m.mft_offset, m.mft_offset + mft_bytes - 1);
        const int flips = 1 + static_cast<int>(random() % 64);
        for (int i = 0; i < flips; ++i)
            image[static_cast<std::size_t>(where(random))] ^= static_cast<std::uint8_t>(1 + random() % 255);
        ScanAndRecover(volume, out);
        for (const std::string& entry : out.Entries()) std::filesystem::remove(out.path() + "/" + entry);
        if (::testing::Test::HasFailure()) break;
    }
}

}  // namespace
}  // namespace verandol
