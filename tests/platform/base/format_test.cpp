#include "base/format.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using plat::Format;
using plat::FormatN;

TEST(FormatIntegers, SystemFormatTextsAsTheyStand) {
    EXPECT_EQ(Format("%d %i %u", -5, 7, 42u), "-5 7 42");
    EXPECT_EQ(Format("%x %X", 0xbeefu, 0xbeefu), "beef BEEF");
    EXPECT_EQ(Format("%08lX", 0x1a2bu), "00001A2B");
    EXPECT_EQ(Format("%02lu", 3ul), "03");
    EXPECT_EQ(Format("%ld|%lx", -12L, 255L), "-12|ff");
    EXPECT_EQ(Format("%I64d", std::int64_t{-9000000000}), "-9000000000");
    EXPECT_EQ(Format("%I64u", std::uint64_t{18000000000000000000ull}), "18000000000000000000");
    EXPECT_EQ(Format("%5d|%-5d|%05d", 42, 42, -42), "   42|42   |-0042");
    EXPECT_EQ(Format("%+d % d", 3, 3), "+3  3");
    EXPECT_EQ(Format("%#x %#X", 255, 255), "0xff 0XFF");
    EXPECT_EQ(Format("%.3d", 7), "007");
    EXPECT_EQ(Format("100%%"), "100%");
}

TEST(FormatIntegers, WidthFollowsTheArgumentUnlessNarrowed) {
    EXPECT_EQ(Format("%x", -1), "ffffffff");
    EXPECT_EQ(Format("%x", std::int64_t{-1}), "ffffffffffffffff");
    EXPECT_EQ(Format("%hx", -1), "ffff");
    EXPECT_EQ(Format("%hhu", 0x1ff), "255");
    EXPECT_EQ(Format("%hd", 0x18000), "-32768");
    EXPECT_EQ(Format("%u", -1), "4294967295");
    EXPECT_EQ(Format("%lld", -1), "-1");
    EXPECT_EQ(Format("%d", std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(FormatStrings, Utf8AndUtf16AreInterchangeable) {
    EXPECT_EQ(Format("%s/%ls/%S", "a", u"b", std::u16string(u"c")), "a/b/c");
    EXPECT_EQ(Format(u"%s|%s", "na\xC3\xAFve", u"\u00E9t\u00E9"), u"na\u00EFve|\u00E9t\u00E9");
    EXPECT_EQ(Format("%-20s %s", "05.03.2007 14:02:09:031", "AUD: x"), "05.03.2007 14:02:09:031 AUD: x");
    EXPECT_EQ(Format("[%-6s][%6s]", "ab", "ab"), "[ab    ][    ab]");
    EXPECT_EQ(Format("%.*s", 3, "abcdef"), "abc");
    EXPECT_EQ(Format("%.2s", u"xyz"), "xy");
    EXPECT_EQ(Format("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(Format("%c%c%C", 'o', u'k', 33), "ok!");
}

TEST(FormatOther, PointersAndFloats) {
    EXPECT_EQ(Format("%p", reinterpret_cast<const void*>(0x12FF7C)), "000000000012FF7C");
    EXPECT_EQ(Format("%.1f %e", 2.25, 1.5), "2.2 1.500000e+00");
    EXPECT_EQ(Format("%5.1f", 3.14159), "  3.1");
}

TEST(FormatMismatch, GivesAVisibleMarkerNotGarbage) {
    EXPECT_EQ(Format("%d", "text"), "%!d(string)");
    EXPECT_EQ(Format("%s", 12), "%!s(int)");
    EXPECT_EQ(Format("a %d b %s"), "a %!d(missing) b %!s(missing)");
    EXPECT_EQ(Format("%f", 1), "%!f(int)");
    EXPECT_EQ(Format("end %"), "end %!(incomplete)");
    EXPECT_EQ(Format("%n", 1), "%!n(int)");
    EXPECT_EQ(Format("%d", 1, 2, 3), "1");
}

TEST(FormatLimits, CutAtTheLimitWithoutSplittingCharacters) {
    EXPECT_EQ(FormatN(5, "%s", "abcdefgh"), "abcde");
    EXPECT_EQ(FormatN(0, "%s", "abc"), "");
    // "é" is two bytes in UTF-8: a cut inside it drops the whole character.
    EXPECT_EQ(FormatN(2, "a%s", "\xC3\xA9"), "a");
    // A surrogate pair is never split.
    EXPECT_EQ(FormatN(2, u"a%s", u"\U0001F600"), u"a");
    EXPECT_EQ(FormatN(100, "%s", "short"), "short");
}

}  // namespace
