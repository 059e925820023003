// Names on a volume are whatever the disk says. Recovering under them must
// never reach outside the output folder, and one unusable name must not stop
// the other rows from being recovered.
#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace verandol
