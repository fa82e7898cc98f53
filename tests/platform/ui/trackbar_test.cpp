#include "ui/dialog.h"
#include "ui/input.h"

#include "ui_test_support.h"

using namespace uitest;
using plat::ui::InjectKey;
using plat::ui::InjectMouseButton;
using plat::ui::InjectMouseMove;
using plat::ui::InjectMouseWheel;
using plat::ui::MouseButton;

namespace {

class TrackbarTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        InitCommonControls();
        m_parent = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 200});
        // Channel from x=8 to x=208: one position per 2 pixels.
        m_bar = CreateWindowExW(0, TRACKBAR_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 216, 30, m_parent,
                                reinterpret_cast<HMENU>(7), nullptr, nullptr);
        ASSERT_NE(m_bar, nullptr);
    }
    // (code, position) of every WM_HSCROLL the parent received.
    std::vector<std::pair<WORD, WORD>> Notifications() {
        std::vector<std::pair<WORD, WORD>> out;
        for (const Seen& s : SeenOf(WM_HSCROLL, m_parent)) {
            EXPECT_EQ(reinterpret_cast<HWND>(s.lparam), m_bar);
            out.emplace_back(LOWORD(DWORD(s.wparam)), HIWORD(DWORD(s.wparam)));
        }
        return out;
    }
    HWND m_parent = nullptr;
    HWND m_bar = nullptr;
};

using Notes = std::vector<std::pair<WORD, WORD>>;

}  // namespace

TEST_F(TrackbarTest, DefaultsAndProgramChangesAreClampedAndSilent) {
    EXPECT_EQ(SendMessageW(m_bar, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageW(m_bar, TBM_GETRANGEMAX, 0, 0), 100);
    SendMessageW(m_bar, TBM_SETPOS, TRUE, 150);
    EXPECT_EQ(SendMessageW(m_bar, TBM_GETPOS, 0, 0), 100);
    SendMessageW(m_bar, TBM_SETPOS, TRUE, 50);
    RECT thumb;
    SendMessageW(m_bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    EXPECT_EQ((thumb.left + thumb.right) / 2, 108);
    SendMessageW(m_bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 40));
    EXPECT_EQ(SendMessageW(m_bar, TBM_GETPOS, 0, 0), 40);
    Pump();
    EXPECT_TRUE(Notifications().empty());
}

TEST_F(TrackbarTest, DraggingTheThumbTracksThenEnds) {
    SendMessageW(m_bar, TBM_SETPOS, TRUE, 10);  // thumb centre at x=28
    // Each event is handled before the next, as a person's hand would allow.
    for (POINT pt : {POINT{128, 115}, POINT{148, 115}, POINT{148, 140}, POINT{600, 115}}) {
        InjectMouseMove(pt);  // the third is off the bar vertically: still dragging
        Pump();
        if (pt.x == 128) {
            InjectMouseButton(MouseButton::Left, true);
            Pump();
        }
    }
    InjectMouseButton(MouseButton::Left, false);
    Pump();
    EXPECT_EQ(Notifications(), (Notes{{TB_THUMBTRACK, 20}, {TB_THUMBTRACK, 100}, {TB_ENDTRACK, 100}}));
    EXPECT_EQ(SendMessageW(m_bar, TBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(TrackbarTest, ClickBesideTheThumbPages) {
    SendMessageW(m_bar, TBM_SETPOS, TRUE, 50);
    InjectMouseMove(POINT{100 + 200, 115});
    InjectMouseButton(MouseButton::Left, true);
    InjectMouseButton(MouseButton::Left, false);
    Pump();
    EXPECT_EQ(Notifications(), (Notes{{TB_PAGEDOWN, 70}, {TB_ENDTRACK, 70}}));
}

TEST_F(TrackbarTest, KeysAndWheelMoveAndEndEachAction) {
    SendMessageW(m_bar, TBM_SETPOS, TRUE, 50);
    SetFocus(m_bar);
    for (int vk : {VK_RIGHT, VK_LEFT, VK_LEFT, VK_END, VK_PRIOR}) {
        InjectKey(vk, true);
        InjectKey(vk, false);
    }
    Pump();
    EXPECT_EQ(Notifications(), (Notes{{TB_LINEDOWN, 51}, {TB_ENDTRACK, 51}, {TB_LINEUP, 50}, {TB_ENDTRACK, 50},
                                      {TB_LINEUP, 49}, {TB_ENDTRACK, 49}, {TB_BOTTOM, 100}, {TB_ENDTRACK, 100},
                                      {TB_PAGEUP, 80}, {TB_ENDTRACK, 80}}));
    ClearSeen();
    SendMessageW(m_bar, WM_MOUSEWHEEL, MAKEWPARAM(0, -2 * WHEEL_DELTA), 0);
    EXPECT_EQ(Notifications(), (Notes{{TB_LINEDOWN, 82}, {TB_ENDTRACK, 82}}));
}

TEST_F(TrackbarTest, VerticalTrackbarRunsDownwardsAndReportsWithVScroll) {
    // Channel from y=8 to y=208 of a bar at (250, 0) in the parent.
    HWND bar = CreateWindowExW(0, TRACKBAR_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | TBS_VERT, 250, 0, 30, 216,
                               m_parent, reinterpret_cast<HMENU>(8), nullptr, nullptr);
    ASSERT_NE(bar, nullptr);
    SendMessageW(bar, TBM_SETPOS, TRUE, 10);
    RECT thumb, channel;
    SendMessageW(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    SendMessageW(bar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    EXPECT_EQ((thumb.top + thumb.bottom) / 2, 28);
    EXPECT_GT(thumb.right - thumb.left, thumb.bottom - thumb.top) << "a thumb lying across the channel";
    EXPECT_EQ(channel.top, 8);
    EXPECT_EQ(channel.bottom, 208);
    EXPECT_LT(channel.right - channel.left, 10);

    // Drag the thumb from y=28 to y=68 (position 30), then page below it.
    for (POINT pt : {POINT{365, 128}, POINT{365, 168}}) {
        InjectMouseMove(pt);
        Pump();
        if (pt.y == 128) {
            InjectMouseButton(MouseButton::Left, true);
            Pump();
        }
    }
    InjectMouseButton(MouseButton::Left, false);
    Pump();
    InjectMouseMove(POINT{365, 190});  // below the thumb
    InjectMouseButton(MouseButton::Left, true);
    InjectMouseButton(MouseButton::Left, false);
    Pump();
    Notes seen;
    for (const Seen& s : SeenOf(WM_VSCROLL, m_parent)) seen.emplace_back(LOWORD(DWORD(s.wparam)), HIWORD(DWORD(s.wparam)));
    EXPECT_EQ(seen, (Notes{{TB_THUMBTRACK, 30}, {TB_ENDTRACK, 30}, {TB_PAGEDOWN, 50}, {TB_ENDTRACK, 50}}));
    EXPECT_TRUE(Notifications().empty()) << "nothing horizontal";
    DestroyWindow(bar);
}
