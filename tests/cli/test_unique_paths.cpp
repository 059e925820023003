#include <gtest/gtest.h>

#include <string>

#include "cli/unique_paths.h"

namespace verandol::cli {
namespace {

TEST(SuffixedPath, GoesBeforeTheExtensionOfTheLastComponent) {
    EXPECT_EQ(SuffixedPath("out/a.txt", 1), "out/a (1).txt");
    EXPECT_EQ(SuffixedPath("out/noext", 2), "out/noext (2)");
    EXPECT_EQ(SuffixedPath("out/.profile", 1), "out/.profile (1)");
    EXPECT_EQ(SuffixedPath("out/report.final.doc", 1), "out/report.final (1).doc");
    EXPECT_EQ(SuffixedPath("my.files/noext", 1), "my.files/noext (1)");
    EXPECT_EQ(SuffixedPath("bare.txt", 10), "bare (10).txt");
}

TEST(SuffixedPath, StaysWithinTheNameLimitWithoutSplittingCharacters) {
    // 84 three-byte characters: 252 bytes, then ".txt".
    std::string stem;
    for (int i = 0; i < 84; ++i) stem += "\xE6\x96\x87";
    const std::string path = SuffixedPath("out/" + stem + ".txt", 1);
    const std::string name = path.substr(4);
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(name.ends_with(" (1).txt")) << name;
    EXPECT_EQ((name.size() - 8) % 3, 0u) << "a character was cut";
}

TEST(UniquePaths, NeverHandsOutAPathTwice) {
    UniquePaths paths;
    EXPECT_EQ(paths.Claim("o/a.txt"), "o/a.txt");
    EXPECT_EQ(paths.Claim("o/a.txt"), "o/a (1).txt");
    // A volume file really called "a (2).txt" takes that name first.
    EXPECT_EQ(paths.Claim("o/a (2).txt"), "o/a (2).txt");
    EXPECT_EQ(paths.Claim("o/a.txt"), "o/a (3).txt");
    EXPECT_EQ(paths.Claim("o/a (1).txt"), "o/a (1) (1).txt");
    EXPECT_EQ(paths.Claim("o/b.txt"), "o/b.txt");
}

}  // namespace
}  // namespace verandol::cli
