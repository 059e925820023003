#include <gtest/gtest.h>

#include "text/record_texts.h"

namespace verandol {
namespace {

TEST(RecordTexts, Extension) {
    EXPECT_EQ(FileExtension("report.final.doc"), ".doc");
    EXPECT_EQ(FileExtension(".profile"), ".profile");
    EXPECT_EQ(FileExtension("README"), "");
    EXPECT_EQ(FileExtension("a.b\\c"), "");
    EXPECT_EQ(FileExtension("a.b:stream"), "");
    EXPECT_EQ(FileExtension("trailing."), ".");
}

TEST(RecordTexts, Utf16ConversionKeepsNamesAsStored) {
    EXPECT_EQ(Utf16ToUtf8(u"caf\u00e9"), "caf\xc3\xa9");
    EXPECT_EQ(Utf16ToUtf8(u"\u6587\u4ef6"), "\xe6\x96\x87\xe4\xbb\xb6");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xf0\x9f\x98\x80");
    // Unpaired surrogates, alone or at the end, become the replacement character.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, 'a'}), "\xef\xbf\xbd" "a");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{'a', 0xDC00}), "a\xef\xbf\xbd");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{'a', 0xD83D}), "a\xef\xbf\xbd");
}

TEST(RecordTexts, PositionCaptionRoundTrip) {
    EXPECT_EQ(PositionCaption(0xC0004000), "0xC0004000");
    EXPECT_EQ(PositionCaption(5), "0x05");
    EXPECT_EQ(ParsePositionCaption("0xC0004000"), 3221241856);
    EXPECT_EQ(ParsePositionCaption("0xc0004000"), 3221241856);
    EXPECT_EQ(ParsePositionCaption("0x7FFFFFFFFFFFFFFF"), INT64_MAX);
}

TEST(RecordTexts, EditedCaptionsThatAreNoPositionAreRefused) {
    for (const char* text : {"", "0x", "x", "0xZZ", "0x12 ", "0x8000000000000000", "0x10000000000000000", "0x-1"})
        EXPECT_FALSE(ParsePositionCaption(text)) << text;
}

}  // namespace
}  // namespace verandol
