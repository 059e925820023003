// A deleted file's named data streams, on a volume ntfs-3g wrote them to:
// each is listed as a row of its own ("file:stream") beside its file, and
// recovered next to it to the byte. A file still in use lists none.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "cli_runner.h"

namespace verandol::cli_test {
namespace {

nlohmann::json StreamsManifest() {
    std::ifstream in(std::string(VERANDOL_FIXTURE_SOURCE_DIR) + "/streams.streams.json");
    return nlohmann::json::parse(in);
}

TEST(CliStreams, NamedStreamsAreRowsOfTheirOwnRecoveredToTheByte) {
    const nlohmann::json manifest = StreamsManifest();
    const std::string image = testing::FixtureImagePath("streams");
    const CliRun scan = RunCli({"scan", "--json", image});
    ASSERT_EQ(scan.status, 0) << scan.err;
    std::map<std::string, nlohmann::json> rows;  // by name
    for (const nlohmann::json& row : ParseJsonLines(scan.out).FileRows()) rows[row.at("name")] = row;

    std::map<std::string, std::string> wanted;  // position -> SHA-256
    std::map<std::string, std::string> names;   // position -> the output file's name
    for (const nlohmann::json& file : manifest.at("files")) {
        const std::string name = file.at("name");
        if (!file.at("deleted").get<bool>()) {
            EXPECT_FALSE(rows.count(name)) << name;
            for (const nlohmann::json& stream : file.at("streams"))
                EXPECT_FALSE(rows.count(name + ":" + stream.at("name").get<std::string>())) << name;
            continue;
        }
        ASSERT_TRUE(rows.count(name)) << name;
        const std::string position = rows[name].at("position");
        EXPECT_EQ(rows[name].at("size"), file.at("size")) << name;
        wanted[position] = file.at("sha256");
        names[position] = name;
        for (const nlohmann::json& stream : file.at("streams")) {
            const std::string stream_name = stream.at("name");
            const std::string listed = name + ":" + stream_name;
            ASSERT_TRUE(rows.count(listed)) << listed << " in " << scan.out;
            const nlohmann::json& row = rows[listed];
            EXPECT_EQ(row.at("position"), position + ":" + stream_name);
            EXPECT_EQ(row.at("size"), stream.at("size")) << listed;
            EXPECT_EQ(row.at("path"), rows[name].at("path")) << listed;
            // Typed by the stream's name where it has an extension.
            const std::size_t dot = stream_name.rfind('.');
            EXPECT_EQ(row.at("type"), dot == std::string::npos ? "" : stream_name.substr(dot)) << listed;
            wanted[row.at("position")] = stream.at("sha256");
            names[row.at("position")] = listed;
        }
    }
    EXPECT_EQ(rows.at("mult1.dat:ADS").at("size"), 1234);

    TempDir out;
    const CliRun run = RunCli({"recover", image, out.path()});
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    for (const std::string& line : SplitLines(run.out)) {
        const std::vector<std::string> fields = SplitTabs(line);
        const auto want = wanted.find(fields.at(1));
        if (want == wanted.end()) continue;
        ASSERT_EQ(fields.at(0), "written") << line;
        EXPECT_EQ(std::filesystem::path(fields.at(2)).filename().string(), names[want->first]) << line;
        EXPECT_EQ(Sha256OfFile(fields.at(2)), want->second) << line;
        wanted.erase(want);
    }
    EXPECT_TRUE(wanted.empty()) << run.out;

    // The stream alone, asked for by its position.
    TempDir one;
    const std::string ads = rows.at("mult1.dat:ADS").at("position");
    const CliRun alone = RunCli({"recover", image, one.path(), ads});
    ASSERT_EQ(alone.status, 0) << alone.err << alone.out;
    EXPECT_EQ(SplitTabs(SplitLines(alone.out).at(0)).at(2), one.path() + "/mult1.dat:ADS");
}

}  // namespace
}  // namespace verandol::cli_test
