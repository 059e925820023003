// scan --carve and recover --carve on a volume whose deleted files' records
// were given to later files: only their content finds them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace verandol::cli_test {
namespace {

struct CarveTruth {
    std::string name;
    std::string state;  // "deleted" or "stays"
    std::string check;  // verified, complete, damaged (never either), absent (in use)
    std::string sha256;
    std::int64_t size = 0;
    std::int64_t first_cluster = 0;
};

constexpr std::int64_t kCluster = 4096;

std::vector<CarveTruth> LoadTruth() {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/carve.carve.json");
    const nlohmann::json j = nlohmann::json::parse(in);
    EXPECT_EQ(j.at("cluster_size").get<std::int64_t>(), kCluster);
    std::vector<CarveTruth> files;
    for (const auto& f : j.at("files"))
        files.push_back({f.at("name"), f.at("state"), f.at("check"), f.at("sha256"), f.at("size"),
                         f.at("first_cluster")});
    return files;
}

std::string PositionOf(const CarveTruth& file) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(file.first_cluster * kCluster));
    return text;
}

std::string Extension(const std::string& name) { return name.substr(name.rfind('.') + 1); }

class CliCarve : public ::testing::Test {
protected:
    std::string image_ = testing::FixtureImagePath("carve");
    std::vector<CarveTruth> truth_ = LoadTruth();
    TempDir out_;
};

TEST_F(CliCarve, FindsByContentWhatTheWalkCannotListWithAnHonestCheck) {
    // The walk of the MFT alone lists none of them: their records are reused.
    const CliRun plain = RunCli({"scan", "--json", image_});
    ASSERT_EQ(plain.status, 0) << plain.err;
    for (const CarveTruth& file : truth_) EXPECT_EQ(plain.out.find(file.name), std::string::npos) << file.name;

    const CliRun run = RunCli({"scan", "--carve", "--json", image_});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, nlohmann::json> rows;  // by position
    for (const nlohmann::json& row : ParseJsonLines(run.out).FileRows()) {
        EXPECT_EQ(row.at("found"), "carved");
        rows[row.at("position")] = row;
    }
    for (const CarveTruth& file : truth_) {
        const auto row = rows.find(PositionOf(file));
        if (file.check == "absent") {
            EXPECT_EQ(row, rows.end()) << file.name << " is in use: its clusters are not free";
            continue;
        }
        if (file.check == "damaged") {
            // Found, since its start is whole, but never called whole itself.
            ASSERT_NE(row, rows.end()) << file.name;
            EXPECT_EQ(row->second.at("check"), "incomplete") << file.name;
            // The folder's index still remembers the torn photo, by its exact length.
            if (row->second.at("named_from") != "cluster") {
                EXPECT_EQ(row->second.at("named_from"), "index slack") << file.name;
                EXPECT_EQ(row->second.at("name"), file.name);
                EXPECT_EQ(row->second.at("path"), "/media");
            }
            continue;
        }
        ASSERT_NE(row, rows.end()) << file.name;
        EXPECT_EQ(row->second.at("check"), file.check) << file.name;
        EXPECT_EQ(row->second.at("size"), file.size) << file.name;
        // A name comes from what the volume remembers (the photo's, in the
        // slack of a record), else from the file's first cluster.
        if (row->second.at("named_from") == "cluster") {
            EXPECT_EQ(row->second.at("name"), "f" + std::to_string(file.first_cluster) + "." + Extension(file.name));
        } else {
            EXPECT_EQ(row->second.at("name"), file.name);
        }
    }
    EXPECT_EQ(ParseJsonLines(run.out).Object("totals").at("Carved Files"), rows.size()) << run.out;
}

TEST_F(CliCarve, RecoversByteExactAndNeverCallsDamageWhole) {
    const CliRun run = RunCli({"recover", "--carve", image_, out_.path()});
    // Some files are incomplete: status 1.
    EXPECT_EQ(run.status, 1) << run.err << run.out;
    std::map<std::string, std::vector<std::string>> lines;  // by position
    for (const std::string& line : SplitLines(run.out))
        if (!line.empty()) lines[SplitTabs(line).at(1)] = SplitTabs(line);
    for (const CarveTruth& file : truth_) {
        const auto line = lines.find(PositionOf(file));
        if (file.check == "absent") {
            EXPECT_EQ(line, lines.end()) << file.name;
            continue;
        }
        if (file.check == "damaged") {
            ASSERT_NE(line, lines.end()) << file.name;
            EXPECT_EQ(line->second.at(0), "incomplete") << file.name;
            continue;
        }
        ASSERT_NE(line, lines.end()) << file.name;
        ASSERT_EQ(line->second.size(), 3u);
        EXPECT_EQ(line->second[0], file.check) << "a carved file is never reported \"written\"";
        EXPECT_EQ(Sha256OfFile(line->second[2]), file.sha256) << file.name;
    }
}

TEST_F(CliCarve, RecoversOnePositionAndCarvesAVolumeThatIsNoLongerNtfs) {
    const CarveTruth& png = *std::find_if(truth_.begin(), truth_.end(),
                                          [](const CarveTruth& f) { return f.name == "picture.png"; });
    // Both boot sectors gone: nothing says NTFS, so every sector is searched.
    const std::string wiped = out_.path() + "/wiped.img";
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(image_));
    testing::WriteZeroedCopy(image_, wiped, {{0, 512}, {size - 512, 512}});
    TempDir into;
    const CliRun run = RunCli({"recover", "--carve", wiped, into.path(), PositionOf(png)});
    EXPECT_EQ(run.status, 0) << run.err << run.out;
    const auto fields = SplitTabs(SplitLines(run.out).at(0));
    ASSERT_EQ(fields.size(), 3u) << run.out;
    EXPECT_EQ(fields[0], "verified");
    // Without a geometry the name counts sectors.
    EXPECT_EQ(fields[2], into.path() + "/f" + std::to_string(png.first_cluster * kCluster / 512) + ".png");
    EXPECT_EQ(Sha256OfFile(fields[2]), png.sha256);
    EXPECT_NE(run.err.find("every sector of it is carved"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace verandol::cli_test

namespace verandol::cli_test {
namespace {

// The photos of the failing-device volume are deleted but listed: their
// clusters are claimed by their rows, so carving adds nothing. With both
// boot sectors gone nothing is listed, and content finds the same photos.
TEST(CliCarveClaims, ClustersAListedRowNamesAreNotCarvedAgain) {
    const Fixture fixture = LoadFixture("faults");
    const CliRun listed = RunCli({"scan", "--carve", "--json", fixture.image_path});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out.find("\"found\":\"carved\""), std::string::npos);
    EXPECT_EQ(ParseJsonLines(listed.out).Object("totals").at("Carved Files"), 0);

    TempDir dir;
    const std::string wiped = dir.path() + "/wiped.img";
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(fixture.image_path));
    testing::WriteZeroedCopy(fixture.image_path, wiped, {{0, 512}, {size - 512, 512}});
    const CliRun carved = RunCli({"scan", "--carve", "--json", wiped});
    ASSERT_EQ(carved.status, 0) << carved.err;
    int photos = 0;
    for (const auto& file : fixture.manifest.files) {
        if (!file.deleted || file.name.rfind("IMG_", 0) != 0) continue;
        ++photos;
        char position[40];
        std::snprintf(position, sizeof position, "\"position\":\"0x%llX\"",
                      static_cast<unsigned long long>(file.runs.at(0).first * 4096));
        const auto at = carved.out.find(position);
        ASSERT_NE(at, std::string::npos) << file.name;
        EXPECT_NE(carved.out.find("\"check\":\"complete\"", at), std::string::npos) << file.name;
    }
    EXPECT_EQ(photos, 4);
}

// The deep scan lists the same photos from their records: its rows claim
// their clusters as the walk's do, so carving adds nothing there either.
TEST(CliCarveClaims, ClustersADeepScanRowNamesAreNotCarvedAgain) {
    const Fixture fixture = LoadFixture("faults");
    const CliRun deep = RunCli({"scan", "--deep", "--carve", "--json", fixture.image_path});
    ASSERT_EQ(deep.status, 0) << deep.err;
    EXPECT_EQ(deep.out.find("\"found\":\"carved\""), std::string::npos);
    EXPECT_EQ(ParseJsonLines(deep.out).Object("totals").at("Carved Files"), 0) << deep.out.substr(deep.out.size() - 200);
}

}  // namespace
}  // namespace verandol::cli_test
