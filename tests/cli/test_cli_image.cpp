// verandol-cli image, and the other commands reading an image with its
// copier's map, as a user rescuing a failing disk runs them: copy first,
// then scan and recover the copy. What the copy could not read must never
// come out of a recovery as the file's bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

#include "cli_runner.h"
#include "reading/rescue_map.h"
#include "reading/rescue_map_file.h"
#include "tests/failing_device.h"
#include "text/record_texts.h"

namespace verandol::cli_test {
namespace {

constexpr const char* kFixture = "sec512-clu4k";

// record position -> (status, SHA-256 of the file written)
using Results = std::map<std::string, std::pair<std::string, std::string>>;

Results Recover(const std::vector<std::string>& args, const TempDir& out, int expected_status) {
    std::vector<std::string> all{"recover"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back(out.path());
    const CliRun run = RunCli(all);
    EXPECT_EQ(run.status, expected_status) << run.err << run.out;
    Results results;
    for (const std::string& line : SplitLines(run.out)) {
        const std::vector<std::string> fields = SplitTabs(line);
        if (fields.size() >= 3) results[fields[1]] = {fields[0], Sha256OfFile(fields[2])};
    }
    return results;
}

std::string MapText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ImageCommand : public ::testing::Test {
protected:
    void SetUp() override {
        manifest_ = testing::LoadManifest(kFixture);
        source_ = testing::FixtureImagePath(kFixture);
        // A deleted file whose data lies in clusters: the map's hole goes
        // over its first one.
        for (const testing::ManifestFile& file : manifest_.Deleted())
            if (!file.resident && !file.runs.empty() && file.runs[0].first > 0 && !file.sha256.empty() &&
                file.size > manifest_.cluster_size) {
                victim_ = file;
                break;
            }
        ASSERT_FALSE(victim_.name.empty());
        hole_ = {victim_.runs[0].first * manifest_.cluster_size, manifest_.cluster_size};
    }

    // A copy of the fixture as another copier may leave it: the area it
    // could not read holds whatever the file held there before, and its map
    // marks that area bad.
    std::string CopyWithHole(const std::string& map_path) {
        const std::string image = dir_.path() + "/other.img";
        std::vector<std::uint8_t> bytes = testing::ReadWholeFile(source_);
        std::fill_n(bytes.begin() + hole_.position, hole_.length, 0xEE);
        testing::WriteWholeFile(image, bytes);
        RescueMap map(static_cast<std::int64_t>(bytes.size()));
        map.Set(0, map.Size(), AreaStatus::Finished);
        map.Set(hole_.position, hole_.length, AreaStatus::Bad);
        map.current = {map.Size(), '+', 1};
        EXPECT_EQ(SaveRescueMap(map_path, FormatRescueMap(map)), "");
        return image;
    }

    std::string Position(const testing::ManifestFile& file) const {
        return PositionCaption(manifest_.RecordPosition(file.mft_record));
    }

    testing::Manifest manifest_;
    std::string source_;
    testing::ManifestFile victim_;
    UnreadRange hole_;
    TempDir dir_;
};

TEST_F(ImageCommand, CopiesAHealthyVolumeWholeWithAFinishedMapAndTheCopyRecoversAsTheOriginal) {
    const std::string image = dir_.path() + "/copy.img";
    const CliRun run = RunCli({"image", source_, image});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(testing::ReadWholeFile(image) == testing::ReadWholeFile(source_));
    const std::string text = MapText(image + ".map");
    EXPECT_NE(text.find("# Mapfile. Created by Verandol"), std::string::npos) << text;
    EXPECT_NE(text.find("# Command line: verandol-cli image"), std::string::npos) << text;
    const Outcome<RescueMap> map = LoadRescueMap(image + ".map");
    ASSERT_TRUE(map) << map.reason();
    EXPECT_TRUE(map->Unfinished().empty());
    EXPECT_EQ(map->current.status, '+');

    // Run again with its finished map: nothing is left to read, and the
    // copy is left as it was.
    EXPECT_EQ(RunCli({"image", source_, image, "--map", image + ".map"}).status, 0);
    EXPECT_TRUE(testing::ReadWholeFile(image) == testing::ReadWholeFile(source_));

    TempDir out;
    const Results results = Recover({image, "--map", image + ".map"}, out, 0);
    for (const testing::ManifestFile& file : manifest_.Deleted())
        if (!file.sha256.empty()) {
            EXPECT_EQ(results.at(Position(file)), std::make_pair(std::string("written"), file.sha256)) << file.name;
        }
}

TEST_F(ImageCommand, RefusesToWriteTheCopyOrItsMapOverTheSourceOrUsageItCannotRead) {
    const std::string link = dir_.path() + "/link.img";
    ASSERT_EQ(::symlink(source_.c_str(), link.c_str()), 0);
    const std::vector<std::vector<std::string>> refused{
        {"image", source_, source_},
        {"image", source_, link},
        {"image", source_, dir_.path() + "/copy.img", "--map", link},
        {"image", source_, dir_.path() + "/copy.img", "--map", dir_.path() + "/copy.img"},
        {"image", source_},
        {"image", source_, dir_.path() + "/copy.img", "--sparse"},
        {"image", dir_.path() + "/missing.img", dir_.path() + "/copy.img"},
    };
    const auto before = testing::ReadWholeFile(source_);
    for (const auto& args : refused) {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 2) << args.back() << ": " << run.err;
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_TRUE(testing::ReadWholeFile(source_) == before);
    // A map that does not parse is not overwritten: it may be the only
    // record of a long copy.
    const std::string map = dir_.path() + "/torn.map";
    testing::WriteWholeFile(map, {'0', ' ', '+', '\n', 'x', '\n'});
    const CliRun torn = RunCli({"image", source_, dir_.path() + "/copy.img", "--map", map});
    EXPECT_EQ(torn.status, 2);
    EXPECT_NE(torn.err.find("line 2"), std::string::npos) << torn.err;
    EXPECT_EQ(MapText(map), "0 +\nx\n");
}

TEST_F(ImageCommand, AnImageReadWithItsMapGivesTheFilesOverUnreadAreasIncompleteNeverWritten) {
    const std::string map = dir_.path() + "/other.map";
    const std::string image = CopyWithHole(map);

    // Without its map the copier's leftovers pass for the file's bytes.
    TempDir plain;
    EXPECT_EQ(Recover({image}, plain, 0).at(Position(victim_)).first, "written");

    TempDir out;
    const Results results = Recover({image, "--map", map}, out, 3);
    for (const testing::ManifestFile& file : manifest_.Deleted()) {
        if (file.sha256.empty()) continue;
        const auto& [status, sha] = results.at(Position(file));
        if (file.mft_record == victim_.mft_record) {
            EXPECT_EQ(status, "incomplete");
            EXPECT_NE(sha, file.sha256);
        } else {
            EXPECT_EQ(std::make_pair(status, sha), std::make_pair(std::string("written"), file.sha256)) << file.name;
        }
    }
    // Not one byte the copy could not read is in the recovered file.
    for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
        const std::vector<std::uint8_t> bytes = testing::ReadWholeFile(entry.path().string());
        EXPECT_EQ(std::search_n(bytes.begin(), bytes.end(), 16, 0xEE), bytes.end()) << entry.path();
    }

    // The scan reads the map's hole over an MFT record as unread too.
    RescueMap over_record = *LoadRescueMap(map);
    over_record.Set(manifest_.RecordPosition(victim_.mft_record), manifest_.record_size, AreaStatus::NonTried);
    ASSERT_EQ(SaveRescueMap(map, FormatRescueMap(over_record)), "");
    const CliRun scan = RunCli({"scan", "--map", map, image});
    EXPECT_EQ(scan.status, 3) << scan.err;
    EXPECT_NE(scan.err.find("could not read"), std::string::npos) << scan.err;
    EXPECT_NE(scan.out.find("# Unreadable"), std::string::npos);

    // A map that cannot be read refuses the image, with the reason.
    testing::WriteWholeFile(map, {'0', ' ', '+', '\n', '9', ' ', '1', ' ', '+', '\n', '0', ' ', '1', ' ', '+', '\n'});
    const CliRun refused = RunCli({"scan", image, "--map", map});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("line 3"), std::string::npos) << refused.err;
}

// GNU ddrescue reads the maps we write and we read the ones it writes.
// Installed by scripts/install-deps.sh; a machine without it skips.
bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

TEST_F(ImageCommand, MapsPassBetweenThisToolAndGnuDdrescue) {
    if (!OnPath("ddrescue") || !OnPath("ddrescuelog"))
        GTEST_SKIP() << "ddrescue and ddrescuelog are not on PATH (Debian package gddrescue, scripts/install-deps.sh)";
    // Its copy and map of a healthy volume: our reader takes the map and the
    // image recovers with it.
    const std::string image = dir_.path() + "/theirs.img";
    const std::string their_map = dir_.path() + "/theirs.map";
    const CliRun copied = RunProgram({"/bin/sh", "-c", "ddrescue -q '" + source_ + "' '" + image + "' '" + their_map + "'"});
    ASSERT_EQ(copied.status, 0) << copied.err;
    const Outcome<RescueMap> theirs = LoadRescueMap(their_map);
    ASSERT_TRUE(theirs) << theirs.reason();
    EXPECT_TRUE(theirs->Unfinished().empty());
    TempDir out;
    const Results results = Recover({image, "--map", their_map}, out, 0);
    EXPECT_EQ(results.at(Position(victim_)), std::make_pair(std::string("written"), victim_.sha256));

    // Our map with a bad area: its figures as the other tool reads them.
    const std::string ours = dir_.path() + "/ours.map";
    CopyWithHole(ours);
    const CliRun status = RunProgram({"/bin/sh", "-c", "ddrescuelog -b 512 -l- '" + ours + "'"});
    ASSERT_EQ(status.status, 0) << status.err;
    std::vector<std::string> expected;
    for (std::int64_t at = hole_.position; at < hole_.End(); at += 512) expected.push_back(std::to_string(at / 512));
    EXPECT_EQ(SplitLines(status.out), expected) << status.out;
    const CliRun shown = RunProgram({"/bin/sh", "-c", "ddrescuelog -t '" + ours + "'"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("in      1 area(s)"), std::string::npos) << shown.out;
    EXPECT_NE(RunProgram({"/bin/sh", "-c", "ddrescuelog -D '" + ours + "'"}).status, 0) << "not done: a bad area is left";
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "ddrescuelog -D '" + their_map + "'"}).status, 0);
}

// A failing device served through FUSE (tests/failing_device.h), with a
// bad area over two MFT records of deleted files and one over a file's
// data: the copy maps exactly the bad areas, reads each bad sector at most
// twice (once in the large read that met it, once alone), holds every other
// byte; read with its map, the copy lists every file but the two, writes
// every file outside the bad areas byte-exact and the one under them
// incomplete with its unread range named; GNU ddrescue's own tool accepts
// the map. Run again with a retry, each bad sector is tried once more.
TEST_F(ImageCommand, ImagesAFailingDeviceServedThroughTheFilesystem) {
    const std::int64_t lost = testing::FirstDeletedRecordRun(manifest_, 2);
    ASSERT_GE(lost, 16);
    ASSERT_TRUE(victim_.mft_record < lost || victim_.mft_record > lost + 1);
    const UnreadRange records{manifest_.RecordPosition(lost), 2 * manifest_.record_size};
    std::vector<UnreadRange> bad{records, hole_};
    std::sort(bad.begin(), bad.end(), [](const UnreadRange& a, const UnreadRange& b) { return a.position < b.position; });
    testing::FailingDeviceOptions options;
    for (const UnreadRange& r : bad)
        options.bad.emplace_back(static_cast<std::uint64_t>(r.position), static_cast<std::uint64_t>(r.length));
    std::string skip;
    auto device = testing::FailingDevice::Serve(source_, options, &skip);
    if (!device) GTEST_SKIP() << skip;

    const std::string image = dir_.path() + "/rescued.img";
    const CliRun run = RunCli({"image", device->path(), image});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("the map " + image + ".map names them"), std::string::npos) << run.err;
    const Outcome<RescueMap> map = LoadRescueMap(image + ".map");
    ASSERT_TRUE(map) << map.reason();
    EXPECT_EQ(map->Unfinished(), bad);
    const auto reads_of_bad = [&] {
        std::uint64_t most = 0;
        for (const UnreadRange& r : bad)
            for (std::int64_t at = r.position; at < r.End(); at += 512)
                most = std::max(most, device->ReadsOfSector(static_cast<std::uint64_t>(at / 512)));
        return most;
    };
    EXPECT_LE(reads_of_bad(), 2u);
    std::vector<std::uint8_t> expected = testing::ReadWholeFile(source_);
    for (const UnreadRange& r : bad) std::fill_n(expected.begin() + r.position, r.length, 0);
    EXPECT_TRUE(testing::ReadWholeFile(image) == expected);

    TempDir out;
    const CliRun recovered = RunCli({"recover", image, "--map", image + ".map", out.path()});
    EXPECT_EQ(recovered.status, 3) << recovered.err;
    std::map<std::string, std::vector<std::string>> lines;
    for (const std::string& line : SplitLines(recovered.out)) {
        std::vector<std::string> fields = SplitTabs(line);
        if (fields.size() >= 3) lines[fields[1]] = std::move(fields);
    }
    for (const testing::ManifestFile& file : manifest_.Deleted()) {
        const auto line = lines.find(Position(file));
        if (file.mft_record == lost || file.mft_record == lost + 1) {
            EXPECT_EQ(line, lines.end()) << file.name << " was listed from an unread record";
            continue;
        }
        ASSERT_NE(line, lines.end()) << file.name;
        if (file.mft_record == victim_.mft_record) {
            ASSERT_EQ(line->second.size(), 4u);
            EXPECT_EQ(line->second[0], "incomplete");
            EXPECT_NE(line->second[3].find("bytes 0-" + std::to_string(manifest_.cluster_size - 1) + ")"),
                      std::string::npos)
                << line->second[3];
        } else if (!file.sha256.empty()) {
            EXPECT_EQ(line->second[0], "written") << file.name;
            EXPECT_EQ(Sha256OfFile(line->second[2]), file.sha256) << file.name;
        }
    }
    if (std::system("command -v ddrescuelog >/dev/null 2>&1") == 0) {
        const CliRun shown = RunProgram({"/bin/sh", "-c", "ddrescuelog -t '" + image + ".map'"});
        EXPECT_EQ(shown.status, 0) << shown.err;
        EXPECT_NE(shown.out.find("in      2 area(s)"), std::string::npos) << shown.out;
    }

    const std::uint64_t before = reads_of_bad();
    EXPECT_EQ(RunCli({"image", device->path(), image, "--retries", "1"}).status, 3);
    EXPECT_LE(reads_of_bad(), before + 1);
    EXPECT_EQ(LoadRescueMap(image + ".map")->Unfinished(), bad);
}

}  // namespace
}  // namespace verandol::cli_test
