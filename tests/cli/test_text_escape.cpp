#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/text_escape.h"

namespace verandol::cli {
namespace {

TEST(TsvField, KeepsEveryRecordOnOneLineAndReversible) {
    EXPECT_EQ(TsvField("plain name.txt"), "plain name.txt");
    EXPECT_EQ(TsvField("a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e");
    // A literal backslash-t in a name must not read back as a tab.
    EXPECT_EQ(TsvField("\\t"), "\\\\t");
    EXPECT_EQ(TsvLine({"", "x\ty", ""}), "\tx\\ty\t");
}

// What goes in must come back out of a real JSON parser unchanged, or as
// U+FFFD where the bytes were not UTF-8.
TEST(JsonString, ParsesBackToTheSameText) {
    static constexpr char kControls[] = "controls \x01\x1f\t\n\r and NUL \0 end";
    const std::string texts[] = {
        "plain",
        "quote \" and backslash \\",
        std::string(kControls, sizeof kControls - 1),
        "caf\xC3\xA9 \xE6\x96\x87 \xF0\x9F\x98\x80 \xEF\xBF\xBD",
    };
    for (const std::string& text : texts) {
        const std::string json = JsonString(text);
        for (char c : json) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << json;
        EXPECT_EQ(nlohmann::json::parse(json).get<std::string>(), text) << json;
    }
    EXPECT_EQ(JsonString("\x01"), "\"\\u0001\"");
}

TEST(JsonString, ReplacesBytesThatAreNotUtf8) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(JsonString("a\x80z"), "\"a" + fffd + "z\"");        // stray continuation
    EXPECT_EQ(JsonString("\xE9t\xE9"), "\"" + fffd + "t" + fffd + "\"");  // Latin-1 é
    EXPECT_EQ(JsonString("\xE6\x96"), "\"" + fffd + fffd + "\"");  // cut short at the end
    EXPECT_EQ(JsonString("\xC0\xAF"), "\"" + fffd + fffd + "\"");  // overlong "/"
    EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"" + fffd + fffd + fffd + "\"");  // surrogate
    EXPECT_EQ(JsonString("\xF4\x90\x80\x80"), "\"" + fffd + fffd + fffd + fffd + "\"");  // past U+10FFFF
    EXPECT_NO_THROW({
        const auto parsed = nlohmann::json::parse(JsonString("\xFF\xFE name \xC3"));
        (void)parsed;
    });
}

}  // namespace
}  // namespace verandol::cli
