// The command line on a failing device served through FUSE: a bad spot in
// the MFT costs only the records in it, in the scan and in the deep scan,
// for a few failing reads; a bad block in a photo costs that block alone.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "cli_runner.h"
#include "text/record_texts.h"
#include "tests/failing_device.h"

namespace verandol::cli_test {
namespace {

using testing::FailingDevice;
using testing::FailingDeviceOptions;

struct Listing {
    std::map<std::string, std::vector<std::string>> rows;  // by position text
    std::vector<std::string> notes;                         // "verandol-cli: note: ..." lines of stderr
};

Listing ParseListing(const CliRun& run) {
    Listing listing;
    for (const std::string& line : SplitLines(run.out)) {
        if (line.empty() || line.starts_with("#") || line.starts_with("Record Positon")) continue;
        std::vector<std::string> fields = SplitTabs(line);
        listing.rows[fields[0]] = std::move(fields);
    }
    for (const std::string& line : SplitLines(run.err))
        if (line.starts_with("verandol-cli: note:")) listing.notes.push_back(line);
    return listing;
}

TEST(CliFailingDevice, ABadSpotInTheMftCostsItsRecordsAndAFewFailingReads) {
    const Fixture fixture = LoadFixture("faults");
    const std::int64_t first = testing::FirstDeletedRecordRun(fixture.manifest, 10);
    ASSERT_GE(first, 16);
    const auto spot_start = static_cast<std::uint64_t>(fixture.manifest.RecordPosition(first));
    std::string skip;
    auto device = FailingDevice::Serve(fixture.image_path, FailingDeviceOptions{{{spot_start, 10 * 1024}}, 0, 0},
                                       &skip);
    if (!device) GTEST_SKIP() << skip;

    std::set<std::string> spot_positions;
    for (std::int64_t r = first; r < first + 10; ++r)
        spot_positions.insert(PositionCaption(fixture.manifest.RecordPosition(r)));
    const std::string records = std::to_string(first) + "-" + std::to_string(first + 9);

    for (const bool deep : {false, true}) {
        SCOPED_TRACE(deep ? "deep scan" : "scan");
        const std::uint64_t failing_before = device->FailingReads();
        const CliRun run = deep ? RunCli({"scan", "--deep", device->path()}) : RunCli({"scan", device->path()});
        EXPECT_EQ(run.status, 3) << run.err;
        const Listing listing = ParseListing(run);
        ASSERT_EQ(listing.notes.size(), 1u) << run.err;
        EXPECT_NE(listing.notes[0].find("10 MFT records are unreadable (" + records + ")"), std::string::npos)
            << listing.notes[0];
        EXPECT_NE(run.out.find("# Unreadable Records: " + records), std::string::npos);
        std::size_t listed = 0;
        for (const DeletedFile& file : fixture.deleted) {
            const auto row = listing.rows.find(file.position_text);
            if (spot_positions.count(file.position_text)) {
                EXPECT_EQ(row, listing.rows.end()) << file.name << " was listed from an unreadable record";
                continue;
            }
            ASSERT_NE(row, listing.rows.end()) << file.name << " was lost with the spot";
            ++listed;
            ASSERT_GE(row->second.size(), 8u);
            EXPECT_EQ(row->second[1], file.name);
            EXPECT_EQ(row->second[6], file.folder) << file.name;
            EXPECT_EQ(row->second[7], std::to_string(file.recoverable)) << file.name;
        }
        EXPECT_EQ(listed, fixture.deleted.size() - 10);
        // Twenty bad sectors: each run (a process of its own) pays about one
        // failing read for each, not one per request that crosses them.
        EXPECT_LE(device->FailingReads() - failing_before, 30u);
    }
}

TEST(CliFailingDevice, ABadBlockInAPhotoCostsThatBlockAlone) {
    const Fixture fixture = LoadFixture("faults");
    const std::vector<testing::ManifestFile> deleted = fixture.manifest.Deleted();
    const testing::ManifestFile* photo = nullptr;
    for (const testing::ManifestFile& f : deleted)
        if (f.name.ends_with(".JPG") && f.runs.size() == 1 && f.size >= 300 * 1024) photo = &f;
    ASSERT_NE(photo, nullptr) << "the fixture holds an unfragmented photo of 300 KiB or more";
    const std::int64_t cluster = fixture.manifest.cluster_size;
    const std::int64_t bad_offset = 8 * cluster;  // within the photo, from its start
    const auto bad = static_cast<std::uint64_t>(photo->runs.front().first * cluster + bad_offset);
    std::string skip;
    auto device = FailingDevice::Serve(fixture.image_path, FailingDeviceOptions{{{bad, 4096}}, 0, 0}, &skip);
    if (!device) GTEST_SKIP() << skip;

    TempDir healthy_out, failing_out;
    const std::string position = PositionCaption(fixture.manifest.RecordPosition(photo->mft_record));
    const CliRun healthy = RunCli({"recover", fixture.image_path, healthy_out.path(), position});
    ASSERT_EQ(healthy.status, 0) << healthy.err;
    const CliRun run = RunCli({"recover", device->path(), failing_out.path(), position});
    EXPECT_EQ(run.status, 3) << run.err;
    const std::vector<std::string> fields = SplitTabs(SplitLines(run.out).at(0));
    ASSERT_EQ(fields.size(), 4u) << run.out;
    EXPECT_EQ(fields[0], "incomplete");
    EXPECT_NE(fields[3].find("4096 bytes could not be read from the device and are zeros (bytes " +
                             std::to_string(bad_offset) + "-" + std::to_string(bad_offset + 4095) + ")"),
              std::string::npos)
        << fields[3];

    std::vector<std::uint8_t> expected = testing::ReadWholeFile(healthy_out.path() + "/" + photo->name);
    ASSERT_EQ(testing::Sha256Hex(expected), photo->sha256);
    std::fill_n(expected.begin() + bad_offset, 4096, 0);
    EXPECT_EQ(testing::ReadWholeFile(fields[2]), expected) << "only the bad block's bytes are zeros";
}

}  // namespace
}  // namespace verandol::cli_test
