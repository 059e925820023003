// scan --carve and recover --carve on a volume of deleted pictures, sound,
// video, a database and a compound document whose records are gone: each
// must be found byte-exact with its check and extension, and the two whose
// ends were overwritten never as whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace verandol::cli_test {
namespace {

struct MediaTruth {
    std::string name;
    std::string check;      // complete, or damaged (incomplete or not found)
    std::string extension;  // the one content tells
    std::string sha256;
    std::int64_t size = 0;
    std::int64_t first_cluster = 0;
};

constexpr std::int64_t kCluster = 4096;

std::vector<MediaTruth> LoadMediaTruth() {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/carve-media.carve.json");
    const nlohmann::json j = nlohmann::json::parse(in);
    EXPECT_EQ(j.at("cluster_size").get<std::int64_t>(), kCluster);
    std::vector<MediaTruth> files;
    for (const auto& f : j.at("files"))
        files.push_back({f.at("name"), f.at("check"), f.at("extension"), f.at("sha256"), f.at("size"),
                         f.at("first_cluster")});
    return files;
}

std::string PositionOf(const MediaTruth& file) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(file.first_cluster * kCluster));
    return text;
}

class CliCarveMedia : public ::testing::Test {
protected:
    std::string image_ = testing::FixtureImagePath("carve-media");
    std::vector<MediaTruth> truth_ = LoadMediaTruth();
    TempDir out_;
};

TEST_F(CliCarveMedia, ListsEachFormatAtItsStartWithItsSizeCheckAndExtension) {
    const CliRun plain = RunCli({"scan", "--json", image_});
    ASSERT_EQ(plain.status, 0) << plain.err;
    for (const MediaTruth& file : truth_) EXPECT_EQ(plain.out.find(file.name), std::string::npos) << file.name;

    const CliRun run = RunCli({"scan", "--carve", "--json", image_});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, nlohmann::json> rows;  // by position
    for (const nlohmann::json& row : ParseJsonLines(run.out).FileRows()) rows[row.at("position")] = row;
    // Nothing else in the free space passes for a file.
    for (const auto& [position, row] : rows)
        EXPECT_TRUE(std::any_of(truth_.begin(), truth_.end(), [&](const MediaTruth& f) { return PositionOf(f) == position; }))
            << row.dump();
    for (const MediaTruth& file : truth_) {
        const auto row = rows.find(PositionOf(file));
        if (file.check == "damaged") {
            if (row != rows.end()) {
                EXPECT_EQ(row->second.at("check"), "incomplete") << file.name;
            }
            continue;
        }
        ASSERT_NE(row, rows.end()) << file.name;
        EXPECT_EQ(row->second.at("check"), file.check) << file.name;
        EXPECT_EQ(row->second.at("size"), file.size) << file.name;
        // Named after its cluster, unless the volume still remembers its name.
        const std::string cluster_name = "f" + std::to_string(file.first_cluster) + "." + file.extension;
        EXPECT_EQ(row->second.at("name"), row->second.at("named_from") == "cluster" ? cluster_name : file.name)
            << file.name << " " << row->second.dump();
    }
}

TEST_F(CliCarveMedia, RecoversEveryWholeFileByteExactAndNoCutOneAsWhole) {
    const CliRun run = RunCli({"recover", "--carve", image_, out_.path()});
    // The cut ones are incomplete: status 1.
    EXPECT_EQ(run.status, 1) << run.err << run.out;
    std::map<std::string, std::vector<std::string>> lines;  // by position
    for (const std::string& line : SplitLines(run.out))
        if (!line.empty()) lines[SplitTabs(line).at(1)] = SplitTabs(line);
    for (const MediaTruth& file : truth_) {
        const auto line = lines.find(PositionOf(file));
        if (file.check == "damaged") {
            if (line != lines.end()) {
                EXPECT_EQ(line->second.at(0), "incomplete") << file.name;
            }
            continue;
        }
        ASSERT_NE(line, lines.end()) << file.name;
        ASSERT_EQ(line->second.size(), 3u);
        EXPECT_EQ(line->second[0], file.check) << file.name;
        EXPECT_TRUE(line->second[2].ends_with("." + file.extension)) << line->second[2];
        EXPECT_EQ(Sha256OfFile(line->second[2]), file.sha256) << file.name;
    }
}

}  // namespace
}  // namespace verandol::cli_test
