#include "base/clock.h"
#include "ui/dialog.h"

#include "ui_test_support.h"

using namespace uitest;

namespace {

class TooltipTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        InitCommonControls();
        m_owner = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 200});
        m_tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, m_owner, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(m_tip, nullptr);
        AddTool(1, RECT{0, 0, 50, 50}, u"one");
        AddTool(2, RECT{100, 0, 150, 50}, u"two");
    }
    void TearDown() override {
        DestroyWindow(m_tip);
        UiTest::TearDown();
    }
    void AddTool(UINT_PTR id, RECT rect, const char16_t* text) {
        TTTOOLINFOW info;
        info.hwnd = m_owner;
        info.uId = id;
        info.rect = rect;
        info.lpszText = const_cast<LPWSTR>(text);
        SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    void MoveTo(int x, int y) {
        MSG msg{m_owner, WM_MOUSEMOVE, 0, MAKELPARAM(x, y), 0, {}};
        SendMessageW(m_tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
        Pump();
    }
    void Wait(DWORD ms) {
        m_clock->Advance(ms);
        Pump();
    }
    std::u16string Shown() {
        if (!IsWindowVisible(m_tip)) return u"";
        WCHAR text[64];
        GetWindowTextW(m_tip, text, 64);
        return text;
    }
    plat::ScopedManualClock m_clock;
    HWND m_owner = nullptr;
    HWND m_tip = nullptr;
};

}  // namespace

TEST_F(TooltipTest, AppearsAfterTheHoverDelayNearThePointer) {
    MoveTo(10, 10);
    Wait(499);
    EXPECT_EQ(Shown(), u"");
    Wait(1);
    EXPECT_EQ(Shown(), u"one");
    RECT rc;
    GetWindowRect(m_tip, &rc);
    EXPECT_EQ(rc.left, 112);
    EXPECT_EQ(rc.top, 130);
    Wait(5000);
    EXPECT_EQ(Shown(), u"") << "auto-pop";
}

TEST_F(TooltipTest, FollowsToolsAndTheirTexts) {
    EXPECT_EQ(SendMessageW(m_tip, TTM_GETTOOLCOUNT, 0, 0), 2);
    MoveTo(10, 10);
    Wait(500);
    MoveTo(120, 10);
    EXPECT_EQ(Shown(), u"two") << "switches at once while a tip shows";
    TTTOOLINFOW info;
    info.hwnd = m_owner;
    info.uId = 2;
    info.lpszText = const_cast<LPWSTR>(u"three");
    SendMessageW(m_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(Shown(), u"three");
    MoveTo(80, 10);
    EXPECT_EQ(Shown(), u"");
    MoveTo(10, 10);
    Wait(100);
    MSG click{m_owner, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10), 0, {}};
    SendMessageW(m_tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&click));
    Wait(1000);
    EXPECT_EQ(Shown(), u"") << "a click cancels the pending tip";
}

TEST_F(TooltipTest, DeactivatedTipStaysHidden) {
    MoveTo(10, 10);
    Wait(500);
    SendMessageW(m_tip, TTM_ACTIVATE, FALSE, 0);
    EXPECT_EQ(Shown(), u"");
    MoveTo(120, 10);
    Wait(1000);
    EXPECT_EQ(Shown(), u"");
    SendMessageW(m_tip, TTM_ACTIVATE, TRUE, 0);
    MoveTo(10, 10);
    Wait(500);
    EXPECT_EQ(Shown(), u"one");
}

TEST_F(TooltipTest, SubclassingToolsRelayTheirOwnMouseAndHideWhenThePointerLeaves) {
    HWND button = Make(WS_CHILD | WS_VISIBLE, RECT{200, 50, 260, 90}, m_owner);
    TTTOOLINFOW info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = m_owner;
    info.uId = reinterpret_cast<UINT_PTR>(button);
    info.lpszText = const_cast<LPWSTR>(u"subclassed");
    SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));

    plat::ui::InjectMouseMove(POINT{310, 160});  // over the button, nothing relayed by hand
    Pump();
    Wait(500);
    EXPECT_EQ(Shown(), u"subclassed");
    EXPECT_EQ(SeenOf(WM_MOUSEMOVE, button).size(), 1u) << "the button still hears its messages";
    plat::ui::InjectPointerLeft(POINT{310, 260});
    Pump();
    EXPECT_EQ(Shown(), u"") << "gone with the pointer";

    plat::ui::InjectMouseMove(POINT{310, 160});
    Pump();
    Wait(500);
    plat::ui::InjectMouseButton(plat::ui::MouseButton::Left, true);
    Pump();
    EXPECT_EQ(Shown(), u"") << "a press hides it";
    plat::ui::InjectMouseButton(plat::ui::MouseButton::Left, false);
    Pump();
}
