// Names on a volume are whatever the disk says. Recovering under them must
// never reach outside the output folder, and one unusable name must not stop
// the other rows from being recovered.
#include <gtest/gtest.h>

#include <filesystem>

#include "recover/kept_folders.h"
#include "tests/reliability_support.h"

namespace verandol {
namespace {

using namespace testing;
namespace fs = std::filesystem;

std::u16string Units(std::initializer_list<char16_t> units) { return std::u16string(units); }

TEST(HostileNames, EveryRowLandsInsideTheOutputFolder) {
    const std::vector<std::u16string> names = {
        u"../../x", u"/etc/x", u".", u"..", u"..\\..\\win", std::u16string(u"a\0b.txt", 7),
        std::u16string(255, u'\u6587'),
        Units({0xD800, u'x'}),            // a high surrogate with no low one
        Units({0xDC00, 0xD800}),          // the pair in the wrong order
        u"", u"ordinary.txt",
    };
    std::vector<Bytes> records;
    for (std::size_t i = 0; i < names.size(); ++i)
        records.push_back(Record({StandardInformation(0, 0), FileName(names[i], 1),
                                  ResidentData(Bytes(i + 1, static_cast<std::uint8_t>('A' + i)))}));
    MemoryVolume volume(CraftVolume(records).bytes);
    ScanCollector scan;
    ScanVolume(volume, "crafted", "", scan);
    ASSERT_EQ(scan.rows.size(), names.size());

    TempDir root;
    const std::string folder = root.path() + "/out/inner";
    fs::create_directories(folder);
    const auto recoveries = RecoverAll(volume, scan, folder, true);
    ExpectHonestOutcome(scan, recoveries, folder);

    std::set<std::string> contents;
    for (const Recovery& r : recoveries) {
        EXPECT_EQ(r.result.status, RecoverStatus::Written) << r.row.name << ": " << r.result.reason;
        EXPECT_EQ(fs::path(r.path).parent_path(), fs::path(folder)) << r.row.name;
        EXPECT_LE(fs::path(r.path).filename().string().size(), 255u);
        const Bytes bytes = ReadWholeFile(r.path);
        contents.insert(std::string(bytes.begin(), bytes.end()));
    }
    EXPECT_EQ(contents.size(), names.size()) << "no row's file replaced another's";
    // Nothing but the inner folder's own files was created anywhere under the root.
    std::size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(root.path())) {
        if (e.is_directory()) continue;
        EXPECT_EQ(e.path().parent_path(), fs::path(folder)) << e.path();
        ++files;
    }
    EXPECT_EQ(files, names.size());
    EXPECT_FALSE(fs::exists(root.path() + "/x"));
    EXPECT_FALSE(fs::exists(root.path() + "/out/x"));
}

// Folder names are the volume's too: kept folders must stay inside the
// output folder whatever the folder records say, and a name taken by a file
// must not stop the folder of that name from being made.
TEST(HostileNames, KeptFoldersStayInsideTheOutputFolder) {
    const std::vector<std::u16string> folder_names = {
        u"..", u".", u"", u"../../etc", std::u16string(u"x\0y", 3), std::u16string(255, u'\u6587'),
        u"<lost folder #5>", u"taken.txt", Units({0xD800}),
    };
    std::vector<Bytes> records;
    // Records 16 on: each folder in the one before it, the first in the root.
    for (std::size_t i = 0; i < folder_names.size(); ++i)
        records.push_back(
            Record({StandardInformation(0, 0), FileName(folder_names[i], 1, i == 0 ? 5 : 16 + i - 1)}, 3));
    // In each folder a deleted file, one of them named like the next folder.
    for (std::size_t i = 0; i < folder_names.size(); ++i)
        records.push_back(Record({StandardInformation(0, 0), FileName(i == 6 ? u"taken.txt" : u"f.txt", 1, 16 + i),
                                  ResidentData(Bytes(i + 1, 'a'))}));
    records.push_back(Record({StandardInformation(0, 0), FileName(u"orphan", 1, 999), ResidentData(Bytes(3, 'o'))}));
    MemoryVolume volume(CraftVolume(records).bytes);
    ScanCollector scan;
    ScanVolume(volume, "crafted", "", scan);
    ASSERT_EQ(scan.rows.size(), folder_names.size() + 1);
    // No readable cluster bitmap on this volume: the estimate is unknown, not 100.
    EXPECT_EQ(scan.rows[0].recoverable, DeletedFileRow::kRecoverableUnknown);

    TempDir root;
    const std::string folder = root.path() + "/out/inner";
    fs::create_directories(folder);
    KeptFolders kept(folder);
    std::set<std::string> written;
    for (const DeletedFileRow& row : scan.rows) {
        Outcome<std::string> path = kept.PathFor(row.folder, row.name, 0, true);
        ASSERT_TRUE(path) << row.folder << ": " << path.reason();
        const fs::path relative = fs::path(*path).lexically_relative(folder);
        EXPECT_FALSE(relative.empty() || *relative.begin() == "..") << *path;
        for (const auto& part : relative) {
            EXPECT_NE(part, "..") << *path;
            EXPECT_NE(part, ".") << *path;
            EXPECT_LE(part.string().size(), 255u) << *path;
        }
        const RecoverResult r =
            RecoverFile(volume, row.position_text, scan.published->geometry, scan.published->mft_runs, *path);
        EXPECT_EQ(r.status, RecoverStatus::Written) << *path << ": " << r.reason;
        written.insert(*path);
    }
    EXPECT_EQ(written.size(), scan.rows.size());
    EXPECT_TRUE(fs::exists(folder + "/_lost_folder_999/orphan"));
    std::size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(root.path())) {
        EXPECT_FALSE(e.is_symlink()) << e.path();
        if (e.is_directory()) continue;
        EXPECT_TRUE(written.count(e.path().string())) << e.path();
        ++files;
    }
    EXPECT_EQ(files, scan.rows.size());
}

}  // namespace
}  // namespace verandol
