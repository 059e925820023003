#include <gtest/gtest.h>

#include <algorithm>
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
    std::vector<std::string> figures;
    std::size_t row = 0;
    for (const std::string& line : SplitLines(run.out)) {
        if (line.starts_with("# ")) {
            figures.push_back(line);
            continue;
        }
        ASSERT_LT(row, fixture_.deleted.size()) << line;
        const DeletedFile& file = fixture_.deleted[row++];
        const nlohmann::json object = nlohmann::json::parse(line);
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
    EXPECT_EQ(figures, tsv_figures);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CliScan, ::testing::ValuesIn(FixtureNames()), FixtureTestName);

}  // namespace
}  // namespace verandol::cli_test
