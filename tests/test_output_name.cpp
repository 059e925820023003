#include <gtest/gtest.h>

#include "recover/output_name.h"

namespace verandol {
namespace {

TEST(OutputName, NamesFromTheVolumeStayInsideTheFolder) {
    EXPECT_EQ(SafeOutputName("../../x", 3), ".._.._x");
    EXPECT_EQ(SafeOutputName("/etc/x", 3), "_etc_x");
    EXPECT_EQ(SafeOutputName(".", 3), "_");
    EXPECT_EQ(SafeOutputName("..", 3), "__");
    EXPECT_EQ(SafeOutputName(std::string("a\0b", 3), 3), "a_b");
    EXPECT_EQ(SafeOutputName("", 7), "File_7");
    EXPECT_EQ(SafeOutputName("caf\xc3\xa9 \\:*?.txt", 1), "caf\xc3\xa9 \\:*?.txt");
}

TEST(OutputName, OverlongNamesAreShortenedAtACharacterKeepingTheExtension) {
    std::string name;
    for (int i = 0; i < 255; ++i) name += "\xe6\x96\x87";  // 255 UTF-16 units, 765 bytes
    name += ".txt";
    std::string safe = SafeOutputName(name, 0);
    EXPECT_LE(safe.size(), 255u);
    EXPECT_TRUE(safe.ends_with(".txt"));
    EXPECT_EQ((safe.size() - 4) % 3, 0u) << "no character is cut in half";
}

// A nameless file's type comes from its content, or from a name's remnant
// read off the volume: only a single extension is ever added to File_N.
TEST(OutputName, NamelessFilesTakeOneExtensionAndNothingElse) {
    EXPECT_EQ(NamelessFileName(5, ".jpg"), "File_5.jpg");
    EXPECT_EQ(NamelessFileName(5, ""), "File_5");
    EXPECT_EQ(NamelessFileName(5, "."), "File_5");
    EXPECT_EQ(NamelessFileName(5, "jpg"), "File_5");
    EXPECT_EQ(NamelessFileName(5, ".tar.gz"), "File_5");
    EXPECT_EQ(NamelessFileName(5, std::string(1, '.') + std::string(100, 'x')), "File_5");
    // A slash in a remnant is made safe with the rest of the name.
    EXPECT_EQ(SafeOutputName(NamelessFileName(2, "./x"), 2), "File_2._x");
}

TEST(OutputName, Paths) {
    EXPECT_EQ(OutputPath("/out", true, "a.txt", 4), "/out/a.txt");
    EXPECT_EQ(OutputPath("/", true, "a.txt", 4), "/a.txt");
    EXPECT_EQ(OutputPath("/out", false, "a.txt", 12), "/out/File_12");
    EXPECT_EQ(OutputPath("/out", true, "..", 4), "/out/__");
}

}  // namespace
}  // namespace verandol
