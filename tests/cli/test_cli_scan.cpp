#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace verandol::cli_test {
namespace {

class CliScan : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { fixture_ = LoadFixture(GetParam()); }
    Fixture fixture_;
};

std::string TypeOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : name.substr(dot);
}

// The figure lines, the header and the count are where the window puts its
// labels and columns; the rows are exactly the manifest's deleted files.
TEST_P(CliScan, TsvListsFiguresHeaderAndEveryDeletedFile) {
    const CliRun run = RunCli({"scan", fixture_.image_path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 6 + 1 + fixture_.deleted.size() + 2) << run.out;

    const char* figures[] = {"# Disk Name: ",    "# Disk Serial: ", "# Drive Size: ",
                             "# MFT Location: 0x", "# MFT Size: ",    "# All Files: "};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(lines[i].rfind(figures[i], 0), 0u) << lines[i];
    EXPECT_NE(lines[0].find(fixture_.manifest.label), std::string::npos) << lines[0];
    EXPECT_TRUE(lines[2].ends_with(" KB")) << lines[2];
    EXPECT_EQ(lines[6],
              "Record Positon\tFile Name\tFile Type\tFile Size\tCreate Date\tLast Modify Date\tFolder\tRecoverable");

    for (std::size_t i = 0; i < fixture_.deleted.size(); ++i) {
        const DeletedFile& file = fixture_.deleted[i];
        const std::vector<std::string> fields = SplitTabs(lines[7 + i]);
        ASSERT_EQ(fields.size(), 8u) << lines[7 + i];
        EXPECT_EQ(fields[0], file.position_text);
        EXPECT_EQ(fields[1], file.name);
        EXPECT_EQ(fields[2], TypeOf(file.name));
        EXPECT_EQ(fields[3], std::to_string(file.size));
        EXPECT_EQ(fields[6], file.folder);
        EXPECT_EQ(fields[7], "100");
    }
    EXPECT_EQ(lines[lines.size() - 2], "# Deleted Files: " + std::to_string(fixture_.deleted.size()));
    EXPECT_EQ(lines.back(), "# Recoverable Files: " + std::to_string(fixture_.deleted.size()));
}

TEST_P(CliScan, JsonLinesParseWithNamesSizesAndUtcTimes) {
    const CliRun run = RunCli({"scan", "--json", fixture_.image_path});
    ASSERT_EQ(run.status, 0) << run.err;
    const CliRun tsv = RunCli({"scan", fixture_.image_path});
    std::vector<std::string> tsv_figures;
    for (const std::string& line : SplitLines(tsv.out)) {
        if (line.starts_with("# ")) tsv_figures.push_back(line);
    }

    // ISO 8601 UTC to the second: "2021-05-04T13:07:09Z", 9 standing for any digit.
    const auto is_iso = [](const std::string& text) {
        const std::string shape = "9999-99-99T99:99:99Z";
        return text.size() == shape.size() && std::equal(shape.begin(), shape.end(), text.begin(), [](char s, char c) {
                   return s == '9' ? c >= '0' && c <= '9' : s == c;
               });
    };
    // JSON Lines throughout: the figures and the counts are objects of their
    // own, first and last, holding what the TSV's "# " lines hold.
    const JsonListing listing = ParseJsonLines(run.out);
    ASSERT_GE(listing.objects.size(), 2u) << run.out;
    ASSERT_TRUE(listing.objects.front().contains("volume")) << run.out;
    ASSERT_TRUE(listing.objects.back().contains("totals")) << run.out;
    std::vector<std::string> figures;
    for (const auto& [caption, text] : listing.objects.front().at("volume").items())
        figures.push_back("# " + caption + ": " + text.get<std::string>());
    for (const auto& [caption, count] : listing.objects.back().at("totals").items())
        figures.push_back("# " + caption + ": " + std::to_string(count.get<long long>()));
    std::size_t row = 0;
    for (const nlohmann::json& object : listing.FileRows()) {
        const std::string line = object.dump();
        ASSERT_LT(row, fixture_.deleted.size()) << line;
        const DeletedFile& file = fixture_.deleted[row++];
        EXPECT_EQ(object.size(), 10u) << line;
        EXPECT_EQ(object["path"], file.folder);
        EXPECT_EQ(object["recoverable"], 100);
        EXPECT_EQ(object["position"], file.position_text);
        EXPECT_EQ(object["name"], file.name);
        EXPECT_EQ(object["type"], TypeOf(file.name));
        ASSERT_TRUE(object["size"].is_number_integer()) << line;
        EXPECT_EQ(object["size"].get<std::int64_t>(), file.size);
        EXPECT_TRUE(object["created"].is_string() && object["modified"].is_string()) << line;
        for (const char* key : {"created_utc", "modified_utc"}) {
            const auto& utc = object[key];
            EXPECT_TRUE(utc.is_null() || is_iso(utc.get<std::string>())) << line;
        }
        // Every file on the fixtures was written through ntfs-3g, which stamps it.
        EXPECT_FALSE(object["modified_utc"].is_null()) << line;
    }
    EXPECT_EQ(row, fixture_.deleted.size());
    // A parsed object keeps its keys sorted, not in the order written.
    std::sort(figures.begin(), figures.end());
    std::sort(tsv_figures.begin(), tsv_figures.end());
    EXPECT_EQ(figures, tsv_figures);
}

// What the device could not deliver is an object of its own too: a copy
// read with a map that marks one MFT record unread still lists as JSON
// Lines, every line an object.
TEST(CliScanJson, UnreadableAreasAreAnObjectAmongTheLines) {
    const Fixture fixture = LoadFixture("sec512-clu4k");
    const testing::Manifest& m = fixture.manifest;
    const auto size = static_cast<long long>(std::filesystem::file_size(fixture.image_path));
    const long long lost = m.mft_offset + 20LL * m.record_size;
    TempDir dir;
    const std::string map = dir.path() + "/image.map";
    std::ofstream(map) << "# Mapfile\n0x0 +\n"
                       << "0x0 0x" << std::hex << lost << " +\n"
                       << "0x" << lost << " 0x" << m.record_size << " -\n"
                       << "0x" << lost + m.record_size << " 0x" << size - lost - m.record_size << " +\n";
    const CliRun run = RunCli({"scan", "--json", "--map", map, fixture.image_path});
    EXPECT_EQ(run.status, 3) << run.err;
    const JsonListing listing = ParseJsonLines(run.out);
    EXPECT_EQ(listing.objects.size(), SplitLines(run.out).size());
    const nlohmann::json unreadable = listing.Object("unreadable");
    ASSERT_TRUE(unreadable.is_object()) << run.out;
    EXPECT_EQ(unreadable.at("records"), nlohmann::json::array({20}));
    EXPECT_TRUE(listing.Object("volume").is_object());
    EXPECT_TRUE(listing.Object("totals").is_object());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CliScan, ::testing::ValuesIn(FixtureNames()), FixtureTestName);

}  // namespace
}  // namespace verandol::cli_test
