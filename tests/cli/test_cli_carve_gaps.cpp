// Carving files that lie in two pieces with another file's clusters
// between them: a photo and a picture come back byte-exact, while a photo
// whose second piece is damaged and a ZIP cut short are never called whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace verandol::cli_test {
namespace {

struct GapTruth {
    std::string name;
    std::string check;  // verified, complete, or damaged (never either)
    std::string sha256;
    std::int64_t size = 0;
    std::int64_t first_cluster = 0;
};

constexpr std::int64_t kCluster = 4096;

std::vector<GapTruth> LoadTruth() {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/carve-gaps.carve.json");
    const nlohmann::json j = nlohmann::json::parse(in);
    EXPECT_EQ(j.at("cluster_size").get<std::int64_t>(), kCluster);
    std::vector<GapTruth> files;
    for (const auto& f : j.at("files"))
        files.push_back({f.at("name"), f.at("check"), f.at("sha256"), f.at("size"), f.at("first_cluster")});
    return files;
}

std::string PositionOf(const GapTruth& file) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(file.first_cluster * kCluster));
    return text;
}

TEST(CliCarveGaps, FilesInTwoPiecesComeBackExactAndDamageIsNeverCalledWhole) {
    const std::string image = testing::FixtureImagePath("carve-gaps");
    const std::vector<GapTruth> truth = LoadTruth();
    ASSERT_EQ(truth.size(), 4u);

    const CliRun scan = RunCli({"scan", "--carve", "--json", image});
    ASSERT_EQ(scan.status, 0) << scan.err;
    std::map<std::string, nlohmann::json> rows;  // by position
    for (const nlohmann::json& row : ParseJsonLines(scan.out).FileRows()) rows[row.at("position")] = row;

    TempDir out;
    const CliRun run = RunCli({"recover", "--carve", image, out.path()});
    // The damaged ones are incomplete: status 1.
    EXPECT_EQ(run.status, 1) << run.err << run.out;
    std::map<std::string, std::vector<std::string>> lines;  // by position
    for (const std::string& line : SplitLines(run.out))
        if (!line.empty()) lines[SplitTabs(line).at(1)] = SplitTabs(line);

    for (const GapTruth& file : truth) {
        const auto row = rows.find(PositionOf(file));
        const auto line = lines.find(PositionOf(file));
        ASSERT_NE(row, rows.end()) << file.name << " is not listed";
        ASSERT_NE(line, lines.end()) << file.name << " is not recovered";
        if (file.check == "damaged") {
            EXPECT_EQ(row->second.at("check"), "incomplete") << file.name;
            EXPECT_EQ(line->second.at(0), "incomplete") << file.name;
            continue;
        }
        EXPECT_EQ(row->second.at("check"), file.check) << file.name;
        EXPECT_EQ(row->second.at("size"), file.size) << file.name;
        ASSERT_EQ(line->second.size(), 3u) << file.name;
        EXPECT_EQ(line->second[0], file.check) << file.name;
        EXPECT_EQ(Sha256OfFile(line->second[2]), file.sha256) << file.name << ": its two pieces, joined";
    }
    // The clusters between the pieces hold what is left of the deleted
    // spacer texts, carved as text and never vouched for; the second pieces
    // are passed over: nothing else is carved.
    std::size_t others = 0;
    for (const auto& [position, row] : rows) {
        if (row.at("type") != ".txt") ++others;
        else EXPECT_EQ(row.at("check"), "incomplete") << row.dump();
    }
    EXPECT_EQ(others, truth.size()) << scan.out;
}

}  // namespace
}  // namespace verandol::cli_test
