#include <gtest/gtest.h>

#include <climits>

#include "base/text.h"
#include "ui/ui.h"

namespace {

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = 200;
        bi.bmiHeader.biHeight = -40;
        bi.bmiHeader.biBitCount = 32;
        bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, nullptr, nullptr, 0);
        SelectObject(dc, bitmap);
        RECT all{0, 0, 200, 40};
        FillRect(dc, &all, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        LOGFONTW lf;
        lf.lfHeight = -10;
        lf.lfWeight = FW_BOLD;
        plat::CopyToField(lf.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
        font = CreateFontIndirectW(&lf);
        SelectObject(dc, font);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkMode(dc, TRANSPARENT);
    }
    void TearDown() override {
        DeleteDC(dc);
        DeleteObject(bitmap);
        DeleteObject(font);
    }
    // Bounding box of lit pixels.
    RECT Ink() {
        RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 200; ++x)
                if (GetPixel(dc, x, y) & 0xFF) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HFONT font = nullptr;
};

TEST_F(TextTest, FontKeepsItsLogFontAndMetricsFitTheHeight) {
    LOGFONTW back;
    ASSERT_EQ(GetObjectW(font, sizeof back, &back), int(sizeof back));
    EXPECT_EQ(back.lfHeight, -10);
    EXPECT_EQ(back.lfWeight, FW_BOLD);
    TEXTMETRICW tm;
    ASSERT_TRUE(GetTextMetricsW(dc, &tm));
    EXPECT_GE(tm.tmHeight, 10);
    EXPECT_LE(tm.tmHeight, 14);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);

    HFONT point = CreatePointFontW(90, u"No Such Face At All", nullptr);
    ASSERT_NE(point, nullptr) << "unknown faces fall back to a real one";
    GetObjectW(point, sizeof back, &back);
    EXPECT_EQ(back.lfHeight, -12) << "9 pt at 96 dpi";
    DeleteObject(point);
}

TEST_F(TextTest, ExtentsGrowWithTextAndCalcRectAgrees) {
    SIZE one, two;
    ASSERT_TRUE(GetTextExtentPoint32W(dc, u"C", 1, &one));
    ASSERT_TRUE(GetTextExtentPoint32W(dc, u"CC", 2, &two));
    EXPECT_GT(one.cx, 3);
    EXPECT_EQ(two.cx, 2 * one.cx);
    RECT calc{10, 10, 10, 10};
    const int height = DrawTextW(dc, u"Drive C:", -1, &calc, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    SIZE extent;
    GetTextExtentPoint32W(dc, u"Drive C:", -1, &extent);
    EXPECT_EQ(calc.right - calc.left, extent.cx);
    EXPECT_EQ(height, extent.cy);
    EXPECT_EQ(Ink().left, INT_MAX) << "DT_CALCRECT draws nothing";
}

TEST_F(TextTest, CentredLetterSitsInTheMiddleOfItsBox) {
    RECT box{40, 5, 60, 35};
    DrawTextW(dc, u"C", 1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    const RECT ink = Ink();
    ASSERT_LT(ink.left, ink.right);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 50.0, 1.5);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 20.0, 2.5);
    EXPECT_GE(ink.left, box.left);
    EXPECT_LE(ink.right, box.right);
}

TEST_F(TextTest, EllipsisKeepsTextInsideItsBox) {
    RECT box{0, 0, 40, 20};
    DrawTextW(dc, u"A long volume label", -1, &box, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    const RECT ink = Ink();
    EXPECT_LE(ink.right, 40);
    EXPECT_GT(ink.right, 25) << "as much as fits is drawn";
}

TEST_F(TextTest, PrefixesAndTabs) {
    SIZE amp, plain;
    RECT r{0, 0, 200, 20};
    RECT calc = r;
    DrawTextW(dc, u"a&&b", -1, &calc, DT_SINGLELINE | DT_CALCRECT);
    GetTextExtentPoint32W(dc, u"a&b", -1, &amp);
    EXPECT_EQ(calc.right, amp.cx) << "&& is one ampersand";
    calc = r;
    DrawTextW(dc, u"&ab", -1, &calc, DT_SINGLELINE | DT_CALCRECT);
    GetTextExtentPoint32W(dc, u"ab", -1, &plain);
    EXPECT_EQ(calc.right, plain.cx);
    calc = r;
    DrawTextW(dc, u"a\tb", -1, &calc, DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SIZE b;
    GetTextExtentPoint32W(dc, u"b", 1, &b);
    EXPECT_EQ(calc.right, 8 * tm.tmAveCharWidth + b.cx);
}

TEST_F(TextTest, OpaqueBackgroundFillsTheTextCell) {
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(0, 0, 200));
    TextOutW(dc, 100, 10, u"x", 1);
    EXPECT_EQ(GetPixel(dc, 100, 10), RGB(0, 0, 200));
}

}  // namespace

namespace {

TEST_F(TextTest, PlacementFlagsPutTheTextWhereTheySay) {
    const RECT box{20, 2, 180, 38};
    struct {
        UINT flags;
        LONG RECT::*edge;  // the ink edge that must touch the box
        LONG expected;
        bool low;          // ink in the lower half
    } cases[] = {
        {DT_LEFT | DT_TOP, &RECT::left, 20, false},
        {DT_RIGHT | DT_BOTTOM, &RECT::right, 180, true},
    };
    RECT all{0, 0, 200, 40};
    for (const auto& c : cases) {
        FillRect(dc, &all, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        RECT r = box;
        DrawTextW(dc, u"HH", 2, &r, c.flags | DT_SINGLELINE);
        const RECT ink = Ink();
        EXPECT_NEAR(ink.*c.edge, c.expected, 2) << c.flags;
        EXPECT_EQ(ink.top > 20, c.low) << c.flags;
    }
}

TEST_F(TextTest, WordBreakWrapsLinesWithinTheWidth) {
    RECT calc{0, 0, 60, 0};
    const int height = DrawTextW(dc, u"one two three four", -1, &calc, DT_WORDBREAK | DT_CALCRECT);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    EXPECT_GE(height, 2 * tm.tmHeight);
    EXPECT_EQ(height % tm.tmHeight, 0);
    EXPECT_LE(calc.right, 60);
}

}  // namespace
