// The device copier's map as other tools write it and as hostile files
// could: every line checked, refused with its number, and what we write
// reads back the same.
#include <gtest/gtest.h>

#include <string>

#include "reading/rescue_map.h"
#include "reading/rescue_map_file.h"
#include "tests/fixture_support.h"

namespace verandol {
namespace {

// As GNU ddrescue 1.27 wrote it for a copy with one bad sector and a
// failed area still to trim, plus decimal numbers and a gap it never writes.
constexpr const char* kCopierMap =
    "# Mapfile. Created by GNU ddrescue version 1.27\n"
    "# Command line: ddrescue /dev/sdb disk.img disk.map\n"
    "# current_pos  current_status  current_pass\n"
    "0x00110000     *               1\n"
    "#      pos        size  status\n"
    "0x00000000  0x00100000  +\n"
    "0x00100000  0x00000200  -\n"
    "0x00100200  0x0000FE00  *\n"
    "1114112     65536      /\n"
    "0x00130000  0x00010000  +\n";

TEST(RescueMap, ReadsAMapAsCopiersWriteItWithGapsNonTriedAndWritesItBackTheSame) {
    const Outcome<RescueMap> map = ParseRescueMap(kCopierMap);
    ASSERT_TRUE(map) << map.reason();
    EXPECT_EQ(map->current, (CopyPosition{0x110000, '*', 1}));
    const std::vector<MapArea> expected{{0, 0x100000, AreaStatus::Finished},
                                        {0x100000, 0x200, AreaStatus::Bad},
                                        {0x100200, 0xFE00, AreaStatus::NonTrimmed},
                                        {0x110000, 0x10000, AreaStatus::NonScraped},
                                        {0x120000, 0x10000, AreaStatus::NonTried},  // the gap
                                        {0x130000, 0x10000, AreaStatus::Finished}};
    EXPECT_EQ(map->Areas(), expected);
    EXPECT_EQ(map->Unfinished(), (std::vector<UnreadRange>{{0x100000, 0x30000}}));

    const std::string text = FormatRescueMap(*map, {"Mapfile. Created by Verandol"});
    EXPECT_NE(text.find("0x00100000  0x00000200  -\n"), std::string::npos) << text;
    EXPECT_NE(text.find("0x00110000     *               1\n"), std::string::npos) << text;
    const Outcome<RescueMap> again = ParseRescueMap(text);
    ASSERT_TRUE(again) << again.reason();
    EXPECT_EQ(again->Areas(), expected);
    EXPECT_EQ(again->current, map->current);
}

TEST(RescueMap, RefusesEveryHostileLineWithItsNumber) {
    const std::string head = "# comment\n0 ?\n";  // lines 1 and 2
    const struct {
        std::string lines;
        std::string why;
    } cases[] = {
        {"0x0 0x100 +\n0x80 0x100 +\n", "line 4: the area overlaps"},
        {"0x200 0x100 +\n0x0 0x100 +\n", "line 4: the area overlaps or comes before"},
        {"-0x10 0x100 +\n", "line 3: negative number"},
        {"0 -5 +\n", "line 3: negative number"},
        {"0x0 0x100 x\n", "line 3: unknown status x"},
        {"0x0 0x100 ++\n", "line 3: unknown status"},
        {"0x0 0x100 F\n", "line 3: unknown status F"},  // a copy status, not an area's
        {"0x0 0x100\n", "line 3: an area line needs"},
        {"0x0 0x100 + extra\n", "line 3: an area line needs"},
        {"0xZZ 0x100 +\n", "line 3: not a number"},
        {"0x 0x100 +\n", "line 3: not a number"},
        {"12abc 0x100 +\n", "line 3: not a number"},
        {"0x8000000000000000 1 +\n", "line 3: number too large"},
        {"99999999999999999999 1 +\n", "line 3: number too large"},
        {"0x7FFFFFFFFFFFFFFF 2 +\n", "line 3: the area ends past the largest position"},
    };
    for (const auto& c : cases) {
        const Outcome<RescueMap> map = ParseRescueMap(head + c.lines);
        ASSERT_FALSE(map) << c.lines;
        EXPECT_NE(map.reason().find(c.why), std::string::npos) << c.lines << " -> " << map.reason();
    }
    EXPECT_FALSE(ParseRescueMap(""));
    EXPECT_FALSE(ParseRescueMap("# only comments\n"));
    EXPECT_NE(ParseRescueMap("0 Q\n").reason().find("line 1: unknown status Q"), std::string::npos);
    EXPECT_NE(ParseRescueMap("0 + 0\n").reason().find("line 1: the pass"), std::string::npos);
    EXPECT_NE(ParseRescueMap(std::string("0 +\n0 1\0 +\n", 11)).reason().find("line 2"), std::string::npos);
    // Comments after the fields, blank lines and CRLF line ends are a map still.
    const Outcome<RescueMap> loose = ParseRescueMap("\r\n0 + 3 # here\r\n\n0 512 + # all\r\n");
    ASSERT_TRUE(loose) << loose.reason();
    EXPECT_EQ(loose->Size(), 512);
    EXPECT_EQ(loose->current.pass, 3);
}

TEST(RescueMap, SettingAreasSplitsAndMergesSoTheMapStaysOnePieceADevice) {
    RescueMap map(0x10000);
    map.Set(0x1000, 0x1000, AreaStatus::Bad);
    map.Set(0x3000, 0x1000, AreaStatus::Bad);
    map.Set(0x2000, 0x1000, AreaStatus::Bad);  // joins the two
    map.Set(0x8000, 0x100000, AreaStatus::Finished);  // cut at the end
    map.Set(-5, 0x800, AreaStatus::Finished);
    EXPECT_EQ(map.Areas(), (std::vector<MapArea>{{0, 0x800, AreaStatus::Finished},
                                                  {0x800, 0x800, AreaStatus::NonTried},
                                                  {0x1000, 0x3000, AreaStatus::Bad},
                                                  {0x4000, 0x4000, AreaStatus::NonTried},
                                                  {0x8000, 0x8000, AreaStatus::Finished}}));
    EXPECT_EQ(map.NextWith(AreaStatus::Bad, 0x2800), (MapArea{0x2800, 0x1800, AreaStatus::Bad}));
    EXPECT_EQ(map.NextWith(AreaStatus::Bad, 0x4000).size, 0);
    EXPECT_EQ(map.AreasWith(AreaStatus::NonTried), 2);
    map.Resize(0x2000);
    EXPECT_EQ(map.Areas().back(), (MapArea{0x1000, 0x1000, AreaStatus::Bad}));
}

TEST(RescueMapFile, SavesByReplacingWholeAndLoadsWithTheFileNamedInRefusals) {
    testing::TempDir dir;
    const std::string path = dir.path() + "/copy.map";
    RescueMap map(4096);
    map.Set(0, 1024, AreaStatus::Finished);
    ASSERT_EQ(SaveRescueMap(path, FormatRescueMap(map)), "");
    map.Set(1024, 512, AreaStatus::Bad);
    ASSERT_EQ(SaveRescueMap(path, FormatRescueMap(map)), "");
    EXPECT_EQ(dir.Entries().size(), 1u) << "no temporary file is left beside the map";
    const Outcome<RescueMap> loaded = LoadRescueMap(path);
    ASSERT_TRUE(loaded) << loaded.reason();
    EXPECT_EQ(loaded->Areas(), map.Areas());

    EXPECT_NE(LoadRescueMap(dir.path() + "/none.map").reason().find("none.map"), std::string::npos);
    ASSERT_EQ(SaveRescueMap(path, "0 +\n0 10 +\n5 10 +\n"), "");
    const std::string why = LoadRescueMap(path).reason();
    EXPECT_NE(why.find("copy.map"), std::string::npos) << why;
    EXPECT_NE(why.find("line 3"), std::string::npos) << why;
    EXPECT_NE(SaveRescueMap(dir.path() + "/no/such/folder.map", "0 +\n"), "");
}

}  // namespace
}  // namespace verandol
