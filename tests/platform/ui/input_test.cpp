#include "ui/input.h"

#include "base/clock.h"
#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui_test_support.h"

namespace {

using plat::ui::InjectKey;
using plat::ui::InjectMouseButton;
using plat::ui::InjectMouseMove;
using plat::ui::MouseButton;
using uitest::UiTest;

class InputTest : public UiTest {
protected:
    void Click(MouseButton b, POINT pt) {
        InjectMouseMove(pt);
        InjectMouseButton(b, true);
        InjectMouseButton(b, false);
        Pump();
    }
};

TEST_F(InputTest, MouseGoesToTheWindowUnderItOrToTheCapture) {
    HWND a = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    HWND b = Make(WS_POPUP | WS_VISIBLE, RECT{200, 0, 300, 100});
    InjectMouseMove(POINT{250, 40});
    Pump();
    ASSERT_EQ(SeenOf(WM_MOUSEMOVE, b).size(), 1u);
    EXPECT_EQ(SeenOf(WM_MOUSEMOVE, b)[0].lparam, MAKELPARAM(50, 40)) << "client coordinates";

    SetCapture(a);
    InjectMouseMove(POINT{260, 50});
    Pump();
    ASSERT_EQ(SeenOf(WM_MOUSEMOVE, a).size(), 1u);
    EXPECT_EQ(SeenOf(WM_MOUSEMOVE, a)[0].lparam, MAKELPARAM(260, 50));
    EXPECT_EQ(GetCapture(), a);
    ReleaseCapture();
    ASSERT_EQ(SeenOf(WM_CAPTURECHANGED, a).size(), 1u);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, DraggingByTheCaptionMovesTheWindowAndLetsItSnap) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 200, 130});
    On(h, [](HWND w, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        if (m == WM_LBUTTONDOWN) {
            POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            ClientToScreen(w, &p);
            PostMessageW(w, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
            return LRESULT(0);
        }
        if (m == WM_WINDOWPOSCHANGING) {
            auto* wp = reinterpret_cast<WINDOWPOS*>(lp);
            if (!(wp->flags & SWP_NOMOVE) && wp->y < 15) wp->y = 0;  // snap to the top edge
            return LRESULT(0);
        }
        return std::nullopt;
    });
    InjectMouseMove(POINT{110, 110});
    InjectMouseButton(MouseButton::Left, true);
    Pump();
    ASSERT_TRUE(plat::ui::IsDragging());
    EXPECT_EQ(GetCapture(), h);
    ClearSeen();
    InjectMouseMove(POINT{150, 60});
    Pump();
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_TRUE(r == (RECT{140, 50, 240, 80}));
    EXPECT_TRUE(SeenOf(WM_MOUSEMOVE, h).empty()) << "moves during a drag move the window";
    InjectMouseMove(POINT{150, 20});
    InjectMouseButton(MouseButton::Left, false);
    Pump();
    GetWindowRect(h, &r);
    EXPECT_EQ(r.top, 0) << "snapped";
    EXPECT_FALSE(plat::ui::IsDragging());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(SeenOf(WM_CAPTURECHANGED, h).size(), 1u);
    EXPECT_EQ(SeenOf(WM_EXITSIZEMOVE, h).size(), 1u);
}

TEST_F(InputTest, ReleasedClickDoesNotStartADrag) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    Click(MouseButton::Left, POINT{10, 10});
    PostMessageW(h, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(10, 10));
    Pump();
    EXPECT_FALSE(plat::ui::IsDragging());
}

TEST_F(InputTest, DoubleClicksOnlyForClassesThatAskAndOnlyInTime) {
    plat::ScopedManualClock clock;
    HWND plain = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    HWND dbl = Make(WS_POPUP | WS_VISIBLE, RECT{100, 0, 150, 50}, nullptr, 0, CS_DBLCLKS);
    for (HWND h : {plain, dbl}) {
        RECT r;
        GetWindowRect(h, &r);
        Click(MouseButton::Left, POINT{r.left + 5, 5});
        Click(MouseButton::Left, POINT{r.left + 5, 5});
    }
    EXPECT_EQ(SeenOf(WM_LBUTTONDBLCLK, plain).size(), 0u);
    EXPECT_EQ(SeenOf(WM_LBUTTONDBLCLK, dbl).size(), 1u);
    clock->Advance(501);
    Click(MouseButton::Left, POINT{105, 5});
    clock->Advance(501);
    Click(MouseButton::Left, POINT{105, 5});
    EXPECT_EQ(SeenOf(WM_LBUTTONDBLCLK, dbl).size(), 1u) << "too slow for a double click";
}

TEST_F(InputTest, ContextMenuFromTheMouseAndFromTheKeyboard) {
    HWND parent = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 200, 200});
    HWND child = Make(WS_CHILD | WS_VISIBLE, RECT{10, 10, 50, 50}, parent);
    Click(MouseButton::Right, POINT{120, 130});
    auto menus = SeenOf(WM_CONTEXTMENU, parent);
    ASSERT_EQ(menus.size(), 1u) << "the child passes it to its parent";
    EXPECT_EQ(menus[0].wparam, reinterpret_cast<WPARAM>(child));
    EXPECT_EQ(menus[0].lparam, MAKELPARAM(120, 130)) << "screen coordinates";
    ClearSeen();
    SetFocus(parent);
    InjectKey(VK_APPS, true);
    InjectKey(VK_APPS, false);
    Pump();
    menus = SeenOf(WM_CONTEXTMENU, parent);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].lparam, MAKELPARAM(-1, -1));
}

TEST_F(InputTest, ClickActivatesAndFocusMovesWithKillFocus) {
    HWND a = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    HWND b = Make(WS_POPUP | WS_VISIBLE, RECT{100, 0, 150, 50});
    EXPECT_EQ(GetActiveWindow(), b);
    Click(MouseButton::Left, POINT{10, 10});
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a);
    ASSERT_FALSE(SeenOf(WM_KILLFOCUS, b).empty());
    EXPECT_EQ(SeenOf(WM_KILLFOCUS, b).back().wparam, reinterpret_cast<WPARAM>(a));
    InjectKey(VK_ESCAPE, true);
    Pump();
    ASSERT_EQ(SeenOf(WM_KEYDOWN, a).size(), 1u);
    EXPECT_EQ(SeenOf(WM_KEYDOWN, a)[0].wparam, WPARAM(VK_ESCAPE));
}

TEST_F(InputTest, ScrollLockTogglesOnKeyDown) {
    EXPECT_EQ(GetKeyState(VK_SCROLL) & 1, 0);
    keybd_event(VK_SCROLL, 0x46, KEYEVENTF_EXTENDEDKEY, 0);
    EXPECT_EQ(GetKeyState(VK_SCROLL) & 0x8001, 0x8001);
    keybd_event(VK_SCROLL, 0x46, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(GetKeyState(VK_SCROLL) & 0x8001, 1);
    EXPECT_TRUE(Headless().ScrollLock()) << "the light is on";
    keybd_event(VK_SCROLL, 0x46, 0, 0);
    keybd_event(VK_SCROLL, 0x46, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(GetKeyState(VK_SCROLL) & 1, 0);
}

}  // namespace

namespace {

// Each typed character with whether GetKeyState showed Shift held then.
struct ShiftSeen {
    std::vector<std::pair<WPARAM, bool>> chars;
};

}  // namespace

TEST_F(InputTest, KeysHandledLateStillSeeTheModifiersOfTheirTime) {
    HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    SetFocus(w);
    ShiftSeen seen;
    On(w, [&seen](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_CHAR) seen.chars.emplace_back(wp, GetKeyState(VK_SHIFT) < 0);
        return std::nullopt;
    });
    // Shift, a, Shift released, b, Caps Lock pressed, c: all queued before
    // the window handles any of them, as when it is busy.
    InjectKey(VK_SHIFT, true);
    InjectKey('A', true);
    InjectKey('A', false);
    InjectKey(VK_SHIFT, false);
    InjectKey('B', true);
    InjectKey('B', false);
    InjectKey(VK_CAPITAL, true);
    InjectKey(VK_CAPITAL, false);
    InjectKey('C', true);
    InjectKey('C', false);
    EXPECT_EQ(GetAsyncKeyState(VK_SHIFT), 0) << "the keyboard itself has Shift up already";
    EXPECT_FALSE(GetKeyState(VK_CAPITAL) & 1) << "this thread has not handled Caps Lock yet";
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ASSERT_EQ(seen.chars.size(), 3u);
    EXPECT_EQ(seen.chars[0], std::make_pair(WPARAM('A'), true));
    EXPECT_EQ(seen.chars[1], std::make_pair(WPARAM('b'), false));
    EXPECT_EQ(seen.chars[2], std::make_pair(WPARAM('C'), false));
    EXPECT_TRUE(GetKeyState(VK_CAPITAL) & 1);
}

TEST_F(InputTest, CaptureGrabsThePointerForItsTopLevelWindow) {
    HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    HWND child = Make(WS_CHILD | WS_VISIBLE, RECT{10, 10, 50, 50}, top);
    SetCapture(child);
    EXPECT_EQ(Headless().PointerGrab(), top);
    InjectMouseMove(POINT{900, 700});  // far outside the program's windows
    Pump();
    ASSERT_EQ(SeenOf(WM_MOUSEMOVE, child).size(), 1u);
    EXPECT_EQ(SeenOf(WM_MOUSEMOVE, child)[0].lparam, MAKELPARAM(890, 690));
    ReleaseCapture();
    EXPECT_EQ(Headless().PointerGrab(), nullptr);

    SetCapture(child);
    DestroyWindow(top);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Headless().PointerGrab(), nullptr) << "a destroyed capture lets the pointer go";
    EXPECT_EQ(SetCapture(reinterpret_cast<HWND>(0x7777)), nullptr);
    EXPECT_EQ(GetCapture(), nullptr) << "no window, no capture";
}

TEST_F(InputTest, TrackedWindowsHearThePointerLeave) {
    HWND a = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    HWND b = Make(WS_POPUP | WS_VISIBLE, RECT{200, 0, 300, 100});
    InjectMouseMove(POINT{50, 50});
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, a, 0};
    ASSERT_TRUE(TrackMouseEvent(&track));
    TRACKMOUSEEVENT query{sizeof query, TME_QUERY, nullptr, 0};
    ASSERT_TRUE(TrackMouseEvent(&query));
    EXPECT_EQ(query.hwndTrack, a);
    InjectMouseMove(POINT{60, 50});
    Pump();
    EXPECT_TRUE(SeenOf(WM_MOUSELEAVE).empty()) << "still over the window";
    InjectMouseMove(POINT{250, 50});
    InjectMouseMove(POINT{50, 50});
    Pump();
    EXPECT_EQ(SeenOf(WM_MOUSELEAVE, a).size(), 1u) << "once per request";

    // Leaving the program's windows altogether (the display's crossing).
    ASSERT_TRUE(TrackMouseEvent(&track));
    plat::ui::InjectPointerLeft(POINT{50, 120});
    Pump();
    EXPECT_EQ(SeenOf(WM_MOUSELEAVE, a).size(), 2u);

    // Asked while not over the window: it has left already. Cancelled: never.
    track.hwndTrack = b;
    ASSERT_TRUE(TrackMouseEvent(&track));
    Pump();
    EXPECT_EQ(SeenOf(WM_MOUSELEAVE, b).size(), 1u);
    InjectMouseMove(POINT{250, 50});
    ASSERT_TRUE(TrackMouseEvent(&track));
    track.dwFlags = TME_LEAVE | TME_CANCEL;
    ASSERT_TRUE(TrackMouseEvent(&track));
    InjectMouseMove(POINT{50, 50});
    Pump();
    EXPECT_EQ(SeenOf(WM_MOUSELEAVE, b).size(), 1u);
    track.cbSize = 4;
    EXPECT_FALSE(TrackMouseEvent(&track));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(InputTest, PointerThatLeavesReachesOnlyTheCapture) {
    HWND a = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    HWND b = Make(WS_POPUP | WS_VISIBLE, RECT{0, 100, 100, 200});
    plat::ui::InjectPointerLeft(POINT{50, 150});  // over b by our geometry, yet another program's window is there
    Pump();
    EXPECT_TRUE(SeenOf(WM_MOUSEMOVE).empty());
    SetCapture(a);
    plat::ui::InjectPointerLeft(POINT{50, 150});
    Pump();
    ASSERT_EQ(SeenOf(WM_MOUSEMOVE, a).size(), 1u) << "a hovering button hears the pointer go";
    EXPECT_EQ(SeenOf(WM_MOUSEMOVE, a)[0].lparam, MAKELPARAM(50, 150));
    EXPECT_TRUE(SeenOf(WM_MOUSEMOVE, b).empty());
    ReleaseCapture();
}

TEST_F(InputTest, MessagesCarryThePointerPositionOfTheirTime) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    DWORD posted = 0, timer = 0;
    On(h, [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER) posted = GetMessagePos();
        if (m == WM_TIMER) timer = GetMessagePos();
        return std::nullopt;
    });
    InjectMouseMove(POINT{40, 30});
    PostMessageW(h, WM_USER, 0, 0);
    plat::ui::NotePointer(POINT{700, 500});  // a click on a tray icon, say
    Pump();
    EXPECT_EQ(posted, DWORD(MAKELPARAM(40, 30))) << "where the pointer was when it was posted";
    plat::ScopedManualClock clock;
    SetTimer(h, 1, 10, nullptr);
    clock->Advance(20);
    Pump();
    KillTimer(h, 1);
    EXPECT_EQ(timer, DWORD(MAKELPARAM(700, 500)));
}
