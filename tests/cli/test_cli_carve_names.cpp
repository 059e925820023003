// scan --carve and recover --carve on a volume whose deleted files' records
// were given to later files: the carved files come back under the names
// their folders' index blocks still hold, with their folders and times, or
// else under the names their content gives, or else their clusters'.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace verandol::cli_test {
namespace {

struct NamedTruth {
    std::string name, folder, sha256, named_from, content_name;
    std::int64_t size = 0;
    std::int64_t first_cluster = 0;
};

constexpr std::int64_t kCluster = 4096;

std::vector<NamedTruth> LoadNamedTruth() {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/carve-names.names.json");
    const nlohmann::json j = nlohmann::json::parse(in);
    EXPECT_EQ(j.at("cluster_size").get<std::int64_t>(), kCluster);
    std::vector<NamedTruth> files;
    for (const auto& f : j.at("files"))
        files.push_back({f.at("name"), f.at("folder"), f.at("sha256"), f.at("named_from"),
                         f.value("content_name", std::string()), f.at("size"), f.at("first_cluster")});
    return files;
}

std::string PositionOf(const NamedTruth& file) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(file.first_cluster * kCluster));
    return text;
}

// The name a carved file is expected to come back under.
std::string ExpectedName(const NamedTruth& file) {
    if (file.named_from == "content") return file.content_name;
    if (file.named_from == "cluster")
        return "f" + std::to_string(file.first_cluster) + file.name.substr(file.name.rfind('.'));
    return file.name;
}

class CliCarveNames : public ::testing::Test {
protected:
    std::string image_ = testing::FixtureImagePath("carve-names");
    std::vector<NamedTruth> truth_ = LoadNamedTruth();
};

TEST_F(CliCarveNames, CarvedFilesTakeTheNamesFoldersAndTimesTheVolumeRemembers) {
    // Every way a name can come from this volume is on it (a file named by
    // its cluster alone is on the other carve volumes).
    std::map<std::string, int> kinds;
    for (const NamedTruth& file : truth_) ++kinds[file.named_from];
    EXPECT_GE(kinds["index slack"], 3);
    EXPECT_GE(kinds["free index block"], 1);
    EXPECT_GE(kinds["record slack"], 2);
    EXPECT_EQ(kinds["content"], 2);

    const CliRun plain = RunCli({"scan", "--all", "--json", image_});
    ASSERT_EQ(plain.status, 0) << plain.err;
    for (const NamedTruth& file : truth_)
        EXPECT_EQ(plain.out.find("\"name\":\"" + file.name), std::string::npos) << file.name << " has no record left";

    const CliRun run = RunCli({"scan", "--carve", "--json", image_});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, nlohmann::json> rows;
    for (const nlohmann::json& row : ParseJsonLines(run.out).FileRows()) rows[row.at("position")] = row;
    for (const NamedTruth& file : truth_) {
        const auto found = rows.find(PositionOf(file));
        ASSERT_NE(found, rows.end()) << file.name;
        const nlohmann::json& row = found->second;
        EXPECT_EQ(row.at("found"), "carved");
        EXPECT_EQ(row.at("named_from"), file.named_from) << file.name;
        EXPECT_EQ(row.at("name"), ExpectedName(file)) << file.name;
        EXPECT_EQ(row.at("size"), file.size) << file.name;
        EXPECT_TRUE(row.at("check") == "verified" || row.at("check") == "complete") << file.name;
        if (file.named_from == "index slack" || file.named_from == "record slack") {
            EXPECT_EQ(row.at("path"), file.folder) << file.name;
            EXPECT_FALSE(row.at("modified_utc").is_null()) << file.name << ": the entry's times come with its name";
        } else if (file.named_from == "free index block") {
            // Its folder was removed and its record reused: the chain breaks there.
            EXPECT_EQ(row.at("path").get<std::string>().rfind("<lost folder #", 0), 0u) << row.at("path");
        } else {
            EXPECT_EQ(row.at("path"), "") << file.name;
            EXPECT_TRUE(row.at("modified_utc").is_null()) << file.name << ": no time is made up";
        }
    }

    // The folder column of the tab-separated listing says the same.
    const CliRun tsv = RunCli({"scan", "--carve", image_});
    ASSERT_EQ(tsv.status, 0) << tsv.err;
    for (const NamedTruth& file : truth_) {
        if (file.named_from != "index slack" && file.named_from != "record slack") continue;
        bool seen = false;
        for (const std::string& line : SplitLines(tsv.out)) {
            const auto fields = SplitTabs(line);
            if (fields.size() >= 7 && fields[0] == PositionOf(file)) {
                seen = true;
                EXPECT_EQ(fields[1], file.name);
                EXPECT_EQ(fields[6], file.folder);
            }
        }
        EXPECT_TRUE(seen) << file.name;
    }
}

TEST_F(CliCarveNames, RecoversEachUnderItsNameByteExact) {
    TempDir out;
    const CliRun run = RunCli({"recover", "--carve", image_, out.path()});
    EXPECT_EQ(run.status, 0) << run.err << run.out;
    std::map<std::string, std::vector<std::string>> lines;  // by position
    for (const std::string& line : SplitLines(run.out))
        if (!line.empty()) lines[SplitTabs(line).at(1)] = SplitTabs(line);
    for (const NamedTruth& file : truth_) {
        const auto line = lines.find(PositionOf(file));
        ASSERT_NE(line, lines.end()) << file.name;
        ASSERT_EQ(line->second.size(), 3u);
        EXPECT_EQ(line->second[2], out.path() + "/" + ExpectedName(file));
        EXPECT_EQ(Sha256OfFile(line->second[2]), file.sha256) << file.name;
    }
}

// On every carve volume: a name taken from what the volume remembers (an
// index entry, its slack, a record's slack) is the carved file's own, never
// another file's of the same length, and comes with the file's folder.
TEST(CliCarveNamesEverywhere, ANameTheVolumeGivesIsTheFilesOwn) {
    int named = 0;
    for (const char* fixture : {"carve", "carve-audio", "carve-media", "carve-gaps", "carve-names"}) {
        const std::string truth_file = std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/" + fixture +
                                       (std::string(fixture) == "carve-names" ? ".names.json" : ".carve.json");
        std::ifstream in(truth_file);
        const nlohmann::json truth = nlohmann::json::parse(in);
        std::map<std::string, nlohmann::json> by_position;
        for (const auto& f : truth.at("files")) {
            char text[32];
            std::snprintf(text, sizeof text, "0x%llX",
                          static_cast<unsigned long long>(f.at("first_cluster").get<std::int64_t>() * kCluster));
            by_position[text] = f;
        }
        const CliRun run = RunCli({"scan", "--carve", "--json", testing::FixtureImagePath(fixture)});
        ASSERT_EQ(run.status, 0) << fixture << run.err;
        for (const nlohmann::json& row : ParseJsonLines(run.out).FileRows()) {
            const std::string from = row.at("named_from");
            if (from == "cluster" || from == "content") continue;
            ++named;
            const auto file = by_position.find(row.at("position"));
            ASSERT_NE(file, by_position.end()) << fixture << ": " << row.dump();
            EXPECT_EQ(row.at("name"), file->second.at("name")) << fixture << ", named from " << from;
            const std::string path = row.at("path");
            if (from != "free index block") {
                EXPECT_EQ(path, file->second.value("folder", std::string("/media"))) << fixture << " " << row.dump();
            }
        }
    }
    EXPECT_GE(named, 15);
}

}  // namespace
}  // namespace verandol::cli_test
