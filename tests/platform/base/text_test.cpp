#include "base/text.h"

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(TextConversion, RoundTripsAllPlanes) {
    const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // A é € 😀
    const std::u16string utf16 = plat::Utf8ToUtf16(utf8);
    EXPECT_EQ(utf16, u"A\u00E9\u20AC\U0001F600");
    EXPECT_EQ(plat::Utf16ToUtf8(utf16), utf8);
}

TEST(TextConversion, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(plat::Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(plat::Utf8ToUtf16("\xC3"), u"\uFFFD");           // truncated sequence
    EXPECT_EQ(plat::Utf8ToUtf16("\xC0\x80"), u"\uFFFD");       // overlong NUL
    EXPECT_EQ(plat::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");   // encoded surrogate
    const std::u16string lone{u'x', char16_t(0xD800), u'y'};
    EXPECT_EQ(plat::Utf16ToUtf8(lone), "x\xEF\xBF\xBDy");
}

TEST(TextFields, CopyAlwaysTerminatesAndNeverOverruns) {
    std::array<WCHAR, 8> field;
    field.fill(0xCCCC);
    EXPECT_EQ(plat::CopyToField(field.data(), 5, u"abcdefgh"), 4u);
    EXPECT_EQ(std::u16string(field.data()), u"abcd");
    EXPECT_EQ(field[5], 0xCCCC) << "wrote past the field";

    EXPECT_EQ(plat::CopyToField(field.data(), 0, u"abc"), 0u);
    EXPECT_EQ(field[0], u'a') << "a zero-capacity field must not be written";

    char narrow[4] = {'z', 'z', 'z', 'z'};
    EXPECT_EQ(plat::CopyToField(narrow, 4, "hi"), 2u);
    EXPECT_STREQ(narrow, "hi");
    EXPECT_EQ(narrow[3], 'z');
}

TEST(TextFields, ViewStopsAtTerminatorOrEnd) {
    const WCHAR full[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(plat::FieldView(full, 3), u"abc");
    const WCHAR shortField[4] = {u'a', 0, u'x', u'y'};
    EXPECT_EQ(plat::FieldView(shortField, 4), u"a");
    EXPECT_EQ(plat::WideLengthBounded(full, 3), 3u);
    EXPECT_EQ(plat::WideLength(nullptr), 0u);
}

TEST(TextCase, ComparesWithoutRegardToAsciiCase) {
    EXPECT_TRUE(plat::EqualsNoCase(u"\\Device\\HardDisk0", u"\\device\\harddisk0"));
    EXPECT_TRUE(plat::EqualsNoCase("LocalHost", "localhost"));
    EXPECT_FALSE(plat::EqualsNoCase(u"abc", u"abcd"));
    EXPECT_LT(plat::CompareNoCase(u"ABC", u"abd"), 0);
    EXPECT_GT(plat::CompareNoCase("b", "A"), 0);
    EXPECT_TRUE(plat::StartsWithNoCase(u"\\DosDevices\\C:", u"\\dosdevices\\"));
    // Only ASCII letters fold: the system compares identifiers, not prose.
    EXPECT_FALSE(plat::EqualsNoCase(u"\u00C9", u"\u00E9"));
    EXPECT_EQ(plat::ToUpperAscii(u"ab-z\u00E9"), u"AB-Z\u00E9");
}

}  // namespace
