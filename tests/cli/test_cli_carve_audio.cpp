// scan --carve and recover --carve on the volume of audio, video, archives
// and text, deleted and their records given to later files: each whole file
// is found at its first cluster, with its format's extension and the check
// its structure earns, and recovered byte-exact; each torn or cut one is
// found but never called whole.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace verandol::cli_test {
namespace {

struct MediaTruth {
    std::string name;
    std::string check;  // verified, complete, incomplete (a text), or damaged (never verified or complete)
    std::string sha256;
    std::int64_t size = 0;
    std::int64_t first_cluster = 0;
};

constexpr std::int64_t kCluster = 4096;

std::vector<MediaTruth> LoadTruth() {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/carve-audio.carve.json");
    const nlohmann::json j = nlohmann::json::parse(in);
    EXPECT_EQ(j.at("cluster_size").get<std::int64_t>(), kCluster);
    std::vector<MediaTruth> files;
    for (const auto& f : j.at("files"))
        files.push_back({f.at("name"), f.at("check"), f.at("sha256"), f.at("size"), f.at("first_cluster")});
    return files;
}

std::string PositionOf(const MediaTruth& file) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(file.first_cluster * kCluster));
    return text;
}

class CliCarveAudio : public ::testing::Test {
protected:
    std::string image_ = testing::FixtureImagePath("carve-audio");
    std::vector<MediaTruth> truth_ = LoadTruth();
    TempDir out_;
};

TEST_F(CliCarveAudio, ScanFindsEachFileWithItsExtensionAndAnHonestCheck) {
    const CliRun run = RunCli({"scan", "--carve", "--json", image_});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, nlohmann::json> rows;  // by position
    for (const nlohmann::json& row : ParseJsonLines(run.out).FileRows()) rows[row.at("position")] = row;
    for (const MediaTruth& file : truth_) {
        const auto row = rows.find(PositionOf(file));
        ASSERT_NE(row, rows.end()) << file.name;
        if (file.check == "damaged") {
            EXPECT_EQ(row->second.at("check"), "incomplete") << file.name;
            continue;
        }
        EXPECT_EQ(row->second.at("check"), file.check) << file.name;
        EXPECT_EQ(row->second.at("size"), file.size) << file.name;
        if (row->second.at("named_from") == "cluster") {
            EXPECT_EQ(row->second.at("name"),
                      "f" + std::to_string(file.first_cluster) + file.name.substr(file.name.rfind('.')));
        } else {
            EXPECT_EQ(row->second.at("name"), file.name) << "a name the volume remembers is the file's own";
        }
    }
    // Nothing else: the tails of the torn files, the filler and the free
    // space's zeros make no rows of their own.
    EXPECT_EQ(rows.size(), truth_.size()) << run.out;
}

TEST_F(CliCarveAudio, RecoversEveryWholeFileByteExact) {
    const CliRun run = RunCli({"recover", "--carve", image_, out_.path()});
    EXPECT_EQ(run.status, 1) << "the damaged files are incomplete\n" << run.err << run.out;
    std::map<std::string, std::vector<std::string>> lines;  // by position
    for (const std::string& line : SplitLines(run.out))
        if (!line.empty()) lines[SplitTabs(line).at(1)] = SplitTabs(line);
    for (const MediaTruth& file : truth_) {
        const auto line = lines.find(PositionOf(file));
        ASSERT_NE(line, lines.end()) << file.name;
        if (file.check == "damaged") {
            EXPECT_EQ(line->second.at(0), "incomplete") << file.name;
            continue;
        }
        // An incomplete file (a text, never vouched for) is written with its reason.
        ASSERT_EQ(line->second.size(), file.check == "incomplete" ? 4u : 3u) << file.name;
        EXPECT_EQ(line->second[0], file.check) << file.name;
        EXPECT_EQ(Sha256OfFile(line->second[2]), file.sha256) << file.name;
    }
}

}  // namespace
}  // namespace verandol::cli_test
