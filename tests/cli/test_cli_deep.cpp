// The deep scan end to end, as a script runs it, on volumes quick-formatted
// over used ones: every file of the earlier volume whose record and data
// survived comes back listed under its path and recovered to its hash, none
// with wrong bytes, and the files written after the format stay out.
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <set>

#include "tests/cli/cli_runner.h"
#include "tests/cli/deep_run.h"
#include "text/record_texts.h"

namespace verandol::cli_test {
namespace {

namespace fs = std::filesystem;

struct Formatted {
    std::string image;
    nlohmann::json manifest;
};

Formatted LoadFormatted(const std::string& name) {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/" + name + ".formatted.json");
    return {testing::FixtureImagePath(name), nlohmann::json::parse(in)};
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

class DeepScanOfFormattedVolume : public ::testing::TestWithParam<std::string> {};

TEST_P(DeepScanOfFormattedVolume, ListsEverySurvivingRecordOnceWithItsPathAndNothingWrittenAfter) {
    const Formatted f = LoadFormatted(GetParam());
    const CliRun run = RunCli({"scan", "--deep", "--json", f.image});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, nlohmann::json> rows;
    for (const nlohmann::json& row : ParseJsonLines(run.out).FileRows()) {
        EXPECT_EQ(row.at("found"), "deep");
        EXPECT_TRUE(rows.emplace(row.at("position").get<std::string>(), row).second) << "listed twice: " << row;
    }
    std::size_t surviving = 0;
    for (const auto& file : f.manifest.at("files")) {
        if (!file.at("record_survives").get<bool>()) continue;
        ++surviving;
        const std::string position = PositionCaption(file.at("record_offset").get<std::int64_t>());
        const std::string path = file.at("path");
        ASSERT_TRUE(rows.count(position)) << path << " at " << position << " is not listed";
        const nlohmann::json& row = rows.at(position);
        EXPECT_EQ(row.at("name"), file.at("name")) << path;
        EXPECT_EQ(row.at("path"), FolderOf(path)) << path;
        EXPECT_EQ(row.at("size"), file.at("size")) << path;
    }
    // The earlier volume's surviving records are all there is to find: the
    // files written after the format are in use, and nothing else is listed.
    EXPECT_EQ(rows.size(), surviving);
    for (const auto& later : f.manifest.at("written_after_format"))
        for (const auto& [position, row] : rows) {
            EXPECT_NE(row.at("name"), later.at("name")) << position;
        }
}

TEST_P(DeepScanOfFormattedVolume, RecoversSurvivingFilesToTheirHashAndNeverWritesWrongBytes) {
    const Formatted f = LoadFormatted(GetParam());
    TempDir out;
    const CliRun run = RunCli({"recover", "--deep", "--keep-folders", f.image, out.path()});
    // Some files lost clusters to the later files.
    ASSERT_EQ(run.status, 1) << run.err;
    std::map<std::string, std::vector<std::string>> results;
    for (const std::string& line : SplitLines(run.out))
        if (!line.empty()) results[SplitTabs(line).at(1)] = SplitTabs(line);
    std::set<std::string> seen;
    for (const auto& file : f.manifest.at("files")) {
        if (!file.at("record_survives").get<bool>()) continue;
        const std::string path = file.at("path");
        const auto& result = results[PositionCaption(file.at("record_offset").get<std::int64_t>())];
        ASSERT_GE(result.size(), 3u) << path;
        EXPECT_EQ(result[2], out.path() + path);
        if (file.at("data_survives").get<bool>()) {
            EXPECT_EQ(result[0], "written") << path;
            EXPECT_EQ(Sha256OfFile(result[2]), file.at("sha256")) << path;
        } else {
            // Its clusters hold a later file's bytes now: never reported whole.
            EXPECT_EQ(result[0], "incomplete") << path;
        }
        seen.insert(result[2]);
    }
    // Nothing lands outside the files asked for, let alone outside OUTDIR.
    for (const auto& entry : fs::recursive_directory_iterator(out.path())) {
        if (entry.is_regular_file()) {
            EXPECT_TRUE(seen.count(entry.path().string())) << entry.path();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(QuickFormats, DeepScanOfFormattedVolume,
                         ::testing::Values("formatted-same", "formatted-other"), FixtureTestName);

// The fixture's record of `name`, patched copies of which the test lays
// into free clusters.
struct Copies {
    testing::Manifest manifest;
    std::vector<std::uint8_t> image;

    const testing::ManifestFile& File(const std::string& name) const {
        for (const testing::ManifestFile& file : manifest.files)
            if (file.name == name) return file;
        throw std::runtime_error("no file " + name);
    }
    std::vector<std::uint8_t> Record(const std::string& name) const {
        const auto at = image.begin() + manifest.RecordPosition(File(name).mft_record);
        return {at, at + manifest.record_size};
    }
    // The next all-zero cluster past `after` that no file of the manifest
    // maps: free space nothing will read as a file's data.
    std::int64_t FreeCluster(std::int64_t after) const {
        const std::int64_t cluster = manifest.cluster_size;
        for (std::int64_t at = (after / cluster + 1) * cluster; at + cluster <= manifest.volume_size / 2; at += cluster) {
            const bool zero = std::all_of(image.begin() + at, image.begin() + at + cluster, [](auto b) { return b == 0; });
            const bool mapped = std::any_of(manifest.files.begin(), manifest.files.end(), [&](const auto& file) {
                return std::any_of(file.runs.begin(), file.runs.end(), [&](const auto& run) {
                    return run.first >= 0 && at / cluster >= run.first && at / cluster < run.first + run.second;
                });
            });
            if (zero && !mapped) return at;
        }
        throw std::runtime_error("no free cluster");
    }
    void Put(std::int64_t at, const std::vector<std::uint8_t>& record) {
        std::copy(record.begin(), record.end(), image.begin() + at);
    }
};

void PutLe16(std::vector<std::uint8_t>& b, std::size_t at, unsigned value) {
    b[at] = static_cast<std::uint8_t>(value);
    b[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
unsigned Le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8; }

TEST(DeepScanCopies, TheNewestCopyOfARecordIsTheOneRowAndADifferentFileInTheSameSlotStaysListed) {
    Copies copies{testing::LoadManifest("sec512-clu4k"), testing::ReadWholeFile(testing::FixtureImagePath("sec512-clu4k"))};
    const testing::ManifestFile& deleted = copies.File("shopping.txt");
    const std::int64_t original = copies.manifest.RecordPosition(deleted.mft_record);
    const std::vector<std::uint8_t> record = copies.Record("shopping.txt");
    const unsigned sequence = Le16(record, 16);
    ASSERT_GT(sequence, 1u);
    // A newer copy past the original (streamed after it, so the original's
    // row is withdrawn), an older one past that, and a record of another
    // file in the same slot: the same number, another creation time.
    std::vector<std::uint8_t> newer = record, older = record, other = record;
    PutLe16(newer, 16, sequence + 1);
    PutLe16(older, 16, sequence - 1);
    const std::size_t times = Le16(record, 20) + Le16(record, Le16(record, 20) + 20);  // $STANDARD_INFORMATION's value
    other[times] ^= 0x01;
    const std::int64_t newer_at = copies.FreeCluster(std::int64_t{1} << 20);
    const std::int64_t older_at = copies.FreeCluster(newer_at);
    const std::int64_t other_at = copies.FreeCluster(older_at);
    copies.Put(newer_at, newer);
    copies.Put(older_at, older);
    copies.Put(other_at, other);
    // An old copy, freed, of a file the present MFT has in use: the record
    // in use is newer, so nothing of it is listed.
    std::vector<std::uint8_t> stale = copies.Record("hello.txt");
    PutLe16(stale, 16, Le16(stale, 16) - 1);
    PutLe16(stale, 22, 0);
    const std::int64_t stale_at = copies.FreeCluster(other_at);
    copies.Put(stale_at, stale);
    TempDir dir;
    const std::string image = dir.path() + "/copies.img";
    testing::WriteWholeFile(image, copies.image);

    const CliRun run = RunCli({"scan", "--deep", "--json", image});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, nlohmann::json> rows;
    long long deleted_rows = 0;
    for (const nlohmann::json& row : ParseJsonLines(run.out).FileRows()) {
        deleted_rows += row.at("deleted").get<bool>();
        EXPECT_TRUE(rows.emplace(row.at("position").get<std::string>(), row).second) << row;
    }
    EXPECT_TRUE(rows.count(PositionCaption(newer_at)));
    EXPECT_TRUE(rows.count(PositionCaption(other_at)));
    EXPECT_FALSE(rows.count(PositionCaption(original)));
    EXPECT_FALSE(rows.count(PositionCaption(older_at)));
    EXPECT_FALSE(rows.count(PositionCaption(stale_at)));
    EXPECT_EQ(rows.at(PositionCaption(newer_at)).at("path"), "/");
    // Every other deleted file is there once, and the counts leave the
    // withdrawn row out.
    EXPECT_EQ(rows.size(), copies.manifest.Deleted().size() + 1);
    EXPECT_EQ(ParseJsonLines(run.out).Object("totals").at("Deleted Files"), deleted_rows) << run.out;

    TempDir out;
    const CliRun recovered = RunCli({"recover", "--deep", image, out.path()});
    std::map<std::string, std::vector<std::string>> results;
    for (const std::string& line : SplitLines(recovered.out))
        if (!line.empty()) results[SplitTabs(line).at(1)] = SplitTabs(line);
    EXPECT_EQ(results.size(), rows.size()) << recovered.out;
    EXPECT_FALSE(results.count(PositionCaption(original)));
    ASSERT_EQ(results[PositionCaption(newer_at)].at(0), "written");
    EXPECT_EQ(Sha256OfFile(results[PositionCaption(newer_at)].at(2)), deleted.sha256);
}

// A disk whose partition tables are gone: the pass meets each volume's boot
// sector before its MFT and reads that volume's records with its geometry
// and its bitmap, so both volumes' deleted files come back whole, under
// their folders, with their share of free clusters known.
TEST(DeepScanOfADisk, ReadsTheVolumesOfAWipedGptDiskByTheBootSectorsItMeets) {
    const testing::DiskManifest disk = testing::LoadDiskManifest("gpt-disk");
    TempDir dir;
    const std::string image = dir.path() + "/wiped.dd";
    testing::WriteZeroedCopy(testing::DiskImagePath("gpt-disk"), image, {{0, 34 * 512}, {disk.size - 33 * 512, 33 * 512}});

    const DeepRun deep = ScanAndRecoverDeep(image);
    ASSERT_EQ(deep.scan_status, 0) << deep.scan_err;
    std::map<std::string, nlohmann::json> rows = deep.rows;
    std::map<std::string, std::vector<std::string>> results = deep.results;

    std::size_t checked = 0;
    for (const testing::DiskPartition& partition : disk.Ntfs()) {
        for (const testing::ManifestFile& file : partition.volume->Deleted()) {
            const std::string position =
                PositionCaption(partition.start + partition.volume->RecordPosition(file.mft_record));
            ASSERT_TRUE(rows.count(position)) << file.path;
            EXPECT_EQ(rows[position].at("name"), file.name);
            EXPECT_EQ(rows[position].at("path"), FolderOf(file.path)) << file.path;
            if (file.sha256.empty()) continue;
            EXPECT_EQ(rows[position].at("recoverable"), 100) << file.path;
            ASSERT_EQ(results[position].at(0), "written") << file.path;
            EXPECT_EQ(Sha256OfFile(results[position].at(2)), file.sha256) << file.path;
            ++checked;
        }
    }
    EXPECT_GE(checked, 4u);
}

// A volume whose boot sector and its backup are gone, with an MFT the
// driver grew in many pieces: nothing maps the MFT but its own record 0,
// whose run list joins the pieces, so the files of the later pieces still
// show the folder whose record lies in the first. Alone on the image, and
// behind another volume on the same disk (a partition removed, its first
// sectors wiped, another one in front), whose MFT must not claim them.
class DeepScanOfAnUnmappedMft : public ::testing::TestWithParam<std::string> {};

TEST_P(DeepScanOfAnUnmappedMft, JoinsThePiecesRecordZeroPlacesSoPathsResolveAcrossThem) {
    const Fixture fixture = LoadFixture("frag-mft");
    const testing::Manifest& manifest = fixture.manifest;
    ASSERT_GT(manifest.mft_extents.size(), 3u);
    std::vector<std::uint8_t> bytes;
    if (GetParam() != "alone") bytes = testing::ReadWholeFile(testing::FixtureImagePath(GetParam()));
    const std::int64_t lead = static_cast<std::int64_t>(bytes.size());
    std::vector<std::uint8_t> lost = testing::ReadWholeFile(fixture.image_path);
    std::fill_n(lost.begin(), 512, 0);
    std::fill_n(lost.begin() + manifest.total_sectors * manifest.bytes_per_sector, 512, 0);
    bytes.insert(bytes.end(), lost.begin(), lost.end());
    TempDir dir;
    const std::string image = dir.path() + "/unmapped.img";
    testing::WriteWholeFile(image, bytes);
    if (lead == 0) {
        ASSERT_EQ(RunCli({"scan", image}).status, 2);
    }

    const DeepRun deep = ScanAndRecoverDeep(image);
    ASSERT_EQ(deep.scan_status, 0) << deep.scan_err;
    std::map<std::string, nlohmann::json> rows = deep.rows;
    std::map<std::string, std::vector<std::string>> results = deep.results;

    const std::int64_t first_piece_records =
        manifest.mft_extents.front().second * manifest.cluster_size / manifest.record_size;
    std::size_t in_later_pieces = 0;
    for (const testing::ManifestFile& file : manifest.Deleted()) {
        const std::string position = PositionCaption(lead + manifest.RecordPosition(file.mft_record));
        const std::string parent = file.path.substr(0, file.path.rfind('/'));
        ASSERT_TRUE(rows.count(position)) << file.path;
        EXPECT_EQ(rows[position].at("path"), file.folder.value_or(parent.empty() ? "/" : parent)) << file.path;
        ASSERT_EQ(results[position].at(0), "written") << file.path;
        EXPECT_EQ(Sha256OfFile(results[position].at(2)), file.sha256) << file.path;
        in_later_pieces += file.path.starts_with("/many/") && file.mft_record >= first_piece_records;
    }
    EXPECT_GE(in_later_pieces, 5u);
}

INSTANTIATE_TEST_SUITE_P(Layouts, DeepScanOfAnUnmappedMft, ::testing::Values("alone", "sec512-clu4k"),
                         FixtureTestName);

TEST(DeepScanRefusals, BadInputGetsAClearErrorAndWritesNothing) {
    const Formatted f = LoadFormatted("formatted-other");
    TempDir out;
    CliRun run = RunCli({"recover", "--deep", f.image, out.path(), "0x12345"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("failed\t0x12345\tnot a deleted file listed by the scan"), std::string::npos) << run.out;
    run = RunCli({"scan", "--deep", out.path() + "/no-such-volume"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot scan"), std::string::npos) << run.err;
    EXPECT_TRUE(out.Entries().empty());
}

}  // namespace
}  // namespace verandol::cli_test
