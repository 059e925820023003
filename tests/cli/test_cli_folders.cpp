// The folder columns, the filters and --keep-folders, run on the folder
// volume the driver made.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "cli_runner.h"
#include "recover/kept_folders.h"

namespace verandol::cli_test {
namespace {

namespace fs = std::filesystem;

class CliFolders : public ::testing::Test {
protected:
    void SetUp() override { fixture_ = LoadFixture("folders", "folders.folders.json"); }

    // The rows a scan with these extra options lists, by position.
    std::map<std::string, std::vector<std::string>> Rows(std::vector<std::string> extra) {
        std::vector<std::string> args{"scan", fixture_.image_path};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 0) << run.err;
        std::map<std::string, std::vector<std::string>> rows;
        for (const std::string& line : SplitLines(run.out)) {
            if (line.starts_with("# ") || line.starts_with("Record Positon")) continue;
            const std::vector<std::string> fields = SplitTabs(line);
            rows[fields[0]] = fields;
        }
        return rows;
    }

    std::size_t CountIf(const std::function<bool(const DeletedFile&)>& test) const {
        return static_cast<std::size_t>(std::count_if(fixture_.deleted.begin(), fixture_.deleted.end(), test));
    }

    Fixture fixture_;
    TempDir out_;
};

TEST_F(CliFolders, ScanShowsEachFolderAndShareAndTheRecoverableCount) {
    const auto rows = Rows({});
    ASSERT_EQ(rows.size(), fixture_.deleted.size());
    for (const DeletedFile& file : fixture_.deleted) {
        const auto& fields = rows.at(file.position_text);
        ASSERT_EQ(fields.size(), 8u);
        EXPECT_EQ(fields[6], file.folder) << file.name;
        EXPECT_EQ(fields[7], std::to_string(file.recoverable)) << file.name;
    }
    const CliRun run = RunCli({"scan", fixture_.image_path});
    const std::size_t whole = CountIf([](const DeletedFile& f) { return f.recoverable == 100; });
    EXPECT_LT(whole, fixture_.deleted.size());
    EXPECT_EQ(SplitLines(run.out).back(), "# Recoverable Files: " + std::to_string(whole));

    const CliRun json = RunCli({"scan", "--json", fixture_.image_path});
    std::size_t objects = 0;
    for (const nlohmann::json& object : ParseJsonLines(json.out).FileRows()) {
        const auto& file = *std::find_if(fixture_.deleted.begin(), fixture_.deleted.end(),
                                         [&](const DeletedFile& f) { return f.position_text == object["position"]; });
        EXPECT_EQ(object["path"], file.folder);
        EXPECT_EQ(object["recoverable"], file.recoverable);
        ++objects;
    }
    EXPECT_EQ(objects, fixture_.deleted.size());
}

TEST_F(CliFolders, FiltersKeepOnlyTheMatchingRows) {
    EXPECT_EQ(Rows({"--name", "*.jpg"}).size(), CountIf([](auto& f) { return f.name.ends_with(".JPG"); }));
    EXPECT_EQ(Rows({"--folder", "/users/*"}).size(), CountIf([](auto& f) { return f.folder.starts_with("/Users/"); }));
    EXPECT_EQ(Rows({"--min-size", "10000"}).size(), CountIf([](auto& f) { return f.size >= 10000; }));
    EXPECT_EQ(Rows({"--recoverable"}).size(), CountIf([](auto& f) { return f.recoverable == 100; }));
    const auto both = Rows({"--recoverable", "--name", "report.docx", "--folder", "*/bob/*"});
    ASSERT_EQ(both.size(), 1u);
    EXPECT_EQ(both.begin()->second[6], "/Users/bob/Documents");
    EXPECT_EQ(RunCli({"scan", fixture_.image_path, "--min-size", "ten"}).status, 2);
    EXPECT_EQ(RunCli({"scan", fixture_.image_path, "--name"}).status, 2);
    // The kind goes by the type, in any letter case.
    EXPECT_EQ(Rows({"--kind", "photos"}).size(), CountIf([](auto& f) { return f.name.ends_with(".JPG"); }));
    EXPECT_EQ(Rows({"--kind", "Documents", "--name", "report.docx"}).size(), Rows({"--name", "report.docx"}).size());
    EXPECT_TRUE(Rows({"--kind", "Audio", "--name", "report.docx"}).empty());
    EXPECT_EQ(RunCli({"scan", fixture_.image_path, "--kind", "Pictures"}).status, 2);
}

// Every file lands in its folder below OUTDIR, the lost folder's files
// under _lost_folder_N; whole files hash as they were written, and files
// whose clusters were taken are written but reported incomplete.
TEST_F(CliFolders, KeepFoldersReproducesTheTree) {
    const CliRun run = RunCli({"recover", fixture_.image_path, out_.path(), "--keep-folders"});
    EXPECT_EQ(run.status, 1) << run.err;
    std::map<std::string, std::vector<std::string>> lines;
    for (const std::string& line : SplitLines(run.out)) lines[SplitTabs(line)[1]] = SplitTabs(line);
    ASSERT_EQ(lines.size(), fixture_.deleted.size());
    bool saw_lost = false;
    for (const DeletedFile& file : fixture_.deleted) {
        std::string expected = out_.path();
        for (const std::string& part : KeptFolderComponents(file.folder)) expected += "/" + part;
        expected += "/" + file.name;
        saw_lost |= expected.find("/_lost_folder_") != std::string::npos;
        const auto& line = lines.at(file.position_text);
        ASSERT_GE(line.size(), 3u);
        EXPECT_EQ(line[2], expected);
        if (file.recoverable == 100) {
            EXPECT_EQ(line[0], "written") << file.name;
            EXPECT_EQ(Sha256OfFile(expected), file.sha256) << expected;
        } else {
            EXPECT_EQ(line[0], "incomplete") << file.name;
            EXPECT_NE(line.back().find("in use by other files now"), std::string::npos) << line.back();
            EXPECT_TRUE(fs::exists(expected));
        }
    }
    EXPECT_TRUE(saw_lost);
    // Only the whole ones, and nothing outside the tree.
    TempDir whole;
    const CliRun recoverable =
        RunCli({"recover", fixture_.image_path, whole.path(), "--keep-folders", "--recoverable"});
    EXPECT_EQ(recoverable.status, 0) << recoverable.out;
    EXPECT_EQ(SplitLines(recoverable.out).size(), CountIf([](auto& f) { return f.recoverable == 100; }));
}

TEST_F(CliFolders, FlatRecoveryKeepsSameNamedFilesApart) {
    const CliRun run = RunCli({"recover", fixture_.image_path, out_.path(), "--name", "report.docx"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(SplitTabs(lines[0])[2], out_.path() + "/report.docx");
    EXPECT_EQ(SplitTabs(lines[1])[2], out_.path() + "/report (1).docx");
}

}  // namespace
}  // namespace verandol::cli_test
