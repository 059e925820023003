#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "ntfs/attributes.h"
#include "ntfs/fixups.h"
#include "ntfs/layout.h"
#include "text/record_texts.h"

namespace verandol::cli_test {
namespace {

class CliRecover : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { fixture_ = LoadFixture(GetParam()); }

    std::vector<std::vector<std::string>> Recover(std::vector<std::string> extra, int expected_status) {
        std::vector<std::string> args{"recover", fixture_.image_path, out_.path()};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, expected_status) << run.err << run.out;
        std::vector<std::vector<std::string>> lines;
        for (const std::string& line : SplitLines(run.out)) lines.push_back(SplitTabs(line));
        return lines;
    }

    // A deleted file whose name has an extension and no path trouble.
    const DeletedFile& PlainTextFile() const {
        for (const DeletedFile& file : fixture_.deleted) {
            if (file.name.ends_with(".txt") && file.size > 0) return file;
        }
        throw std::runtime_error("fixture has no deleted .txt file");
    }

    Fixture fixture_;
    TempDir out_;
};

TEST_P(CliRecover, EveryDeletedFileIsWrittenUnderItsOwnNameIntact) {
    const auto lines = Recover({}, 0);
    ASSERT_EQ(lines.size(), fixture_.deleted.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const DeletedFile& file = fixture_.deleted[i];
        ASSERT_EQ(lines[i].size(), 3u);
        EXPECT_EQ(lines[i][0], "written");
        EXPECT_EQ(lines[i][1], file.position_text);
        EXPECT_EQ(lines[i][2], out_.path() + "/" + file.name);
        EXPECT_EQ(Sha256OfFile(lines[i][2]), file.sha256) << file.name;
    }
    // Nothing but the files: no temporary file is left behind.
    const auto entries = std::distance(std::filesystem::directory_iterator(out_.path()), {});
    EXPECT_EQ(static_cast<std::size_t>(entries), fixture_.deleted.size());
}

TEST_P(CliRecover, NameByIndexUsesTheRowIndexOfTheList) {
    const auto lines = Recover({"--name-by-index"}, 0);
    ASSERT_EQ(lines.size(), fixture_.deleted.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].size(), 3u);
        EXPECT_EQ(lines[i][2], out_.path() + "/File_" + std::to_string(i));
        EXPECT_EQ(Sha256OfFile(lines[i][2]), fixture_.deleted[i].sha256);
    }
}

// Positions match in any letter case, and a file asked for again gets a
// suffixed name instead of replacing the copy just written.
TEST_P(CliRecover, RepeatedNamesGetSuffixesBeforeTheExtension) {
    const DeletedFile& file = PlainTextFile();
    std::string lower = file.position_text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const auto lines = Recover({file.position_text, lower, file.position_text}, 0);
    const std::string stem = out_.path() + "/" + file.name.substr(0, file.name.size() - 4);
    const std::vector<std::string> expected = {stem + ".txt", stem + " (1).txt", stem + " (2).txt"};
    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i], (std::vector<std::string>{"written", file.position_text, expected[i]}));
        EXPECT_EQ(Sha256OfFile(expected[i]), file.sha256);
    }
}

TEST_P(CliRecover, PositionNotListedFailsAndTheRestIsStillWritten) {
    const DeletedFile& file = PlainTextFile();
    const auto lines = Recover({"0x1", file.position_text, "bogus"}, 1);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 3u);
    EXPECT_EQ(lines[0][0], "failed");
    EXPECT_EQ(lines[0][1], "0x1");
    EXPECT_FALSE(lines[0].back().empty());
    EXPECT_EQ(lines[1], (std::vector<std::string>{"written", file.position_text, out_.path() + "/" + file.name}));
    EXPECT_EQ(lines[2][0], "failed");
    EXPECT_EQ(lines[2][1], "bogus");
    const auto entries = std::distance(std::filesystem::directory_iterator(out_.path()), {});
    EXPECT_EQ(entries, 1);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CliRecover, ::testing::ValuesIn(FixtureNames()), FixtureTestName);

// The driver cannot encrypt; the flag is set on a copy of a deleted file's
// record. Its ciphertext must not be written under its name as a success.
// A recovered file gets back the modification and access times its
// record's standard information holds, to the tick; with --no-times it keeps
// the time it was written. Each file is looked at before anything reads it.
TEST_P(CliRecover, FilesGetTheTimesTheirRecordsHold) {
    const std::vector<std::uint8_t> image = testing::ReadWholeFile(fixture_.image_path);
    // A record straddling two MFT extents does not read as one stretch.
    const auto record_times = [&](const std::string& position_text) -> std::optional<std::pair<std::uint64_t, std::uint64_t>> {
        const auto position = static_cast<std::size_t>(*ParsePositionCaption(position_text));
        std::vector<std::uint8_t> record(image.begin() + static_cast<std::ptrdiff_t>(position),
                                         image.begin() + static_cast<std::ptrdiff_t>(position + fixture_.manifest.record_size));
        if (!ApplyFixups(record)) return std::nullopt;
        const ByteSpan info = FindAttribute(record, layout::attr::kStandardInformation, false);
        return std::pair(ReadStandardTimes(info).value().modified,
                         read_le64(info, layout::std_info::kAccessTime).value());
    };
    // NTFS ticks of 100 ns from 1601 as nanoseconds from 1970.
    const auto unix_ns = [](std::uint64_t ticks) {
        return (static_cast<std::int64_t>(ticks) - 116444736000000000) * 100;
    };
    const auto ns_of = [](const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; };

    std::size_t compared = 0;
    for (const auto& fields : Recover({}, 0)) {
        ASSERT_EQ(fields.size(), 3u);
        struct stat written {};
        ASSERT_EQ(stat(fields[2].c_str(), &written), 0) << fields[2];
        const auto times = record_times(fields[1]);
        if (!times) continue;
        EXPECT_EQ(ns_of(written.st_mtim), unix_ns(times->first)) << fields[2];
        EXPECT_EQ(ns_of(written.st_atim), unix_ns(times->second)) << fields[2];
        ++compared;
    }
    EXPECT_GT(compared, fixture_.deleted.size() / 2);

    const std::int64_t before = ns_of(timespec{std::time(nullptr) - 2, 0});
    TempDir plain;
    const CliRun run = RunCli({"recover", fixture_.image_path, plain.path(), "--no-times"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const std::string& line : SplitLines(run.out)) {
        struct stat written {};
        ASSERT_EQ(stat(SplitTabs(line).at(2).c_str(), &written), 0) << line;
        EXPECT_GE(ns_of(written.st_mtim), before) << line;
    }
}

// A record whose name is gone (its length zeroed) still lists its file;
// its first bytes tell its type, which the listing shows and the File_
// name it is recovered under ends with. Bytes that tell nothing give none.
TEST(CliRecoverNameless, AFileWithoutANameIsTypedByItsContent) {
    const Fixture fixture = LoadFixture("faults");
    std::vector<std::uint8_t> image = testing::ReadWholeFile(fixture.image_path);
    std::map<std::string, std::pair<std::string, std::string>> expected;  // position -> type, SHA-256
    for (const char* name : {"IMG_2041.JPG", "receipt-007.pdf"}) {
        const auto file = std::find_if(fixture.manifest.files.begin(), fixture.manifest.files.end(),
                                       [&](const testing::ManifestFile& f) { return f.name == name; });
        ASSERT_NE(file, fixture.manifest.files.end()) << name;
        const std::int64_t position = fixture.manifest.RecordPosition(file->mft_record);
        std::vector<std::uint8_t> record(image.begin() + position,
                                         image.begin() + position + fixture.manifest.record_size);
        ASSERT_TRUE(ApplyFixups(record));
        const ByteSpan file_name = FindAttribute(record, layout::attr::kFileName, true);
        const std::size_t length = static_cast<std::size_t>(file_name.data() - record.data()) + layout::file_name::kNameLength;
        ASSERT_LT(length % 512, 510u);
        image[static_cast<std::size_t>(position) + length] = 0;
        // The receipt's bytes are noise: no type is made up for it.
        expected[PositionCaption(position)] = {file->name.ends_with(".JPG") ? ".jpg" : "", file->sha256};
    }
    TempDir dir;
    const std::string patched = dir.path() + "/nameless.img";
    std::ofstream(patched, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));

    const CliRun scan = RunCli({"scan", "--json", patched});
    ASSERT_EQ(scan.status, 0) << scan.err;
    std::size_t listed = 0;
    for (const nlohmann::json& row : ParseJsonLines(scan.out).FileRows()) {
        const auto want = expected.find(row.at("position").get<std::string>());
        if (want == expected.end()) continue;
        ++listed;
        EXPECT_EQ(row.at("name"), "") << row;
        EXPECT_EQ(row.at("type"), want->second.first) << row;
    }
    EXPECT_EQ(listed, expected.size());

    std::filesystem::create_directory(dir.path() + "/out");
    const CliRun run = RunCli({"recover", patched, dir.path() + "/out"});
    for (const std::string& line : SplitLines(run.out)) {
        const std::vector<std::string> fields = SplitTabs(line);
        const auto want = expected.find(fields.at(1));
        if (want == expected.end()) continue;
        ASSERT_EQ(fields.at(0), "written") << line;
        const std::string file = std::filesystem::path(fields.at(2)).filename().string();
        EXPECT_TRUE(file.starts_with("File_")) << file;
        EXPECT_EQ(std::filesystem::path(file).extension().string(), want->second.first) << file;
        EXPECT_EQ(Sha256OfFile(fields.at(2)), want->second.second) << file;
        expected.erase(want);
    }
    EXPECT_TRUE(expected.empty()) << run.out;
}

TEST(CliRecoverEncrypted, AnEncryptedFileFailsSayingSoAndNothingIsWritten) {
    const Fixture fixture = LoadFixture("packed-clu4k");
    std::vector<std::uint8_t> image = testing::ReadWholeFile(fixture.image_path);
    const auto file = std::find_if(fixture.manifest.files.begin(), fixture.manifest.files.end(),
                                   [](const testing::ManifestFile& f) { return f.name == "plain-48k.bin"; });
    ASSERT_NE(file, fixture.manifest.files.end());
    const std::int64_t position = fixture.manifest.RecordPosition(file->mft_record);
    std::vector<std::uint8_t> record(image.begin() + position,
                                     image.begin() + position + fixture.manifest.record_size);
    ASSERT_TRUE(ApplyFixups(record));
    const ByteSpan data = FindAttribute(record, layout::attr::kData, false);
    const std::size_t flags = static_cast<std::size_t>(data.data() - record.data()) + layout::attr::kFlags;
    ASSERT_LT(flags % 512, 510u);
    image[static_cast<std::size_t>(position) + flags + 1] |= layout::attr::kFlagEncrypted >> 8;

    TempDir dir;
    const std::string patched = dir.path() + "/encrypted.img";
    std::filesystem::create_directory(dir.path() + "/out");
    {
        std::ofstream(patched, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    const CliRun run = RunCli({"recover", patched, dir.path() + "/out", PositionCaption(position)});
    EXPECT_EQ(run.status, 1) << run.err;
    const auto lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 1u) << run.out;
    const auto fields = SplitTabs(lines[0]);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0], "failed");
    EXPECT_NE(fields[2].find("encrypted"), std::string::npos) << fields[2];
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() + "/out"));
}

// Record 6 is gone, so the volume's cluster bitmap is unknown: the listing
// claims no share, and the recovery of a file kept in clusters, whose bytes
// nothing could check, is not reported written; a file inside its record is.
TEST(CliRecoverWithoutBitmap, FilesInClustersAreUncheckedAndFilesInRecordsWritten) {
    const Fixture fixture = LoadFixture("sec512-clu4k");
    TempDir dir;
    const std::string image = dir.path() + "/no-bitmap.img";
    testing::WriteZeroedCopy(fixture.image_path, image, {{fixture.manifest.RecordPosition(6), 4}});
    std::filesystem::create_directory(dir.path() + "/out");
    const CliRun scan = RunCli({"scan", "--json", image});
    ASSERT_EQ(scan.status, 0) << scan.err;
    const CliRun run = RunCli({"recover", image, dir.path() + "/out"});
    EXPECT_EQ(run.status, 1) << run.err;
    std::map<std::string, std::vector<std::string>> results;
    for (const std::string& line : SplitLines(run.out))
        if (!line.empty()) results[SplitTabs(line).at(1)] = SplitTabs(line);
    int unchecked = 0;
    for (const testing::ManifestFile& file : fixture.manifest.Deleted()) {
        const std::string position = PositionCaption(fixture.manifest.RecordPosition(file.mft_record));
        ASSERT_TRUE(results.count(position)) << file.path;
        const std::vector<std::string>& result = results.at(position);
        EXPECT_EQ(result.at(0), file.resident ? "written" : "unchecked") << file.path;
        unchecked += !file.resident;
        if (!file.sha256.empty()) {
            EXPECT_EQ(Sha256OfFile(result.at(2)), file.sha256) << file.path;
        }
    }
    EXPECT_GT(unchecked, 0);
    // Without a bitmap no share is known, also of the files inside their records.
    const nlohmann::json totals = ParseJsonLines(scan.out).Object("totals");
    EXPECT_EQ(totals.at("Recoverable Files"), 0) << scan.out;
    EXPECT_EQ(totals.at("Unchecked Files"), fixture.manifest.Deleted().size()) << scan.out;
}

}  // namespace
}  // namespace verandol::cli_test
