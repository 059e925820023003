// The deep scan end to end, as a script runs it, on volumes quick-formatted
// over used ones: every file of the earlier volume whose record and data
// survived comes back listed under its path and recovered to its hash, none
// with wrong bytes, and the files written after the format stay out.
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "tests/cli/cli_runner.h"
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
    for (const std::string& line : SplitLines(run.out)) {
        if (line.empty() || line[0] == '#') continue;
        const nlohmann::json row = nlohmann::json::parse(line);
        EXPECT_EQ(row.at("found"), "deep");
        EXPECT_TRUE(rows.emplace(row.at("position").get<std::string>(), row).second) << "listed twice: " << line;
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
