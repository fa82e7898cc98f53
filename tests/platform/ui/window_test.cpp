#include <cstring>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/window.h"

#include "base/sync.h"
#include "base/thread.h"
#include "ui_test_support.h"

namespace {

using uitest::UiTest;

class WindowTest : public UiTest {
protected:
    // Our windows in stacking order, top first.
    std::vector<HWND> Order(std::initializer_list<HWND> ours) {
        std::vector<HWND> out;
        for (HWND h = GetWindow(*ours.begin(), GW_HWNDFIRST); h; h = GetWindow(h, GW_HWNDNEXT))
            if (std::find(ours.begin(), ours.end(), h) != ours.end()) out.push_back(h);
        return out;
    }
};

TEST_F(WindowTest, ZOrderKeepsTopmostWindowsAbove) {
    HWND a = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10});
    HWND b = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10});
    HWND c = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10});
    EXPECT_EQ(Order({a, b, c}), (std::vector<HWND>{c, b, a}));
    struct Step {
        HWND window;
        HWND after;
        std::vector<HWND> expected;
        bool topmost;
    } steps[] = {
        {a, HWND_TOPMOST, {a, c, b}, true},
        {c, HWND_TOP, {a, c, b}, false},     // the top of the normal band stays below a topmost window
        {b, HWND_TOPMOST, {b, a, c}, true},
        {b, HWND_NOTOPMOST, {a, b, c}, false},
        {a, HWND_BOTTOM, {b, c, a}, false},  // the bottom ends topmost
    };
    for (const auto& s : steps) {
        ASSERT_TRUE(SetWindowPos(s.window, s.after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
        EXPECT_EQ(Order({a, b, c}), s.expected);
        EXPECT_EQ((GetWindowLongPtrW(s.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, s.topmost);
    }
    EXPECT_EQ(Headless().StackingOrder(), (std::vector<HWND>{b, c, a})) << "the backend follows";
}

TEST_F(WindowTest, NoZOrderAndNoMoveFlagsKeepWhatTheySay) {
    HWND a = Make(WS_POPUP | WS_VISIBLE, RECT{5, 6, 25, 36});
    HWND b = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10});
    SetWindowPos(a, HWND_TOPMOST, 100, 100, 50, 50, SWP_NOZORDER | SWP_NOMOVE);
    RECT r;
    GetWindowRect(a, &r);
    EXPECT_TRUE(r == (RECT{5, 6, 55, 56}));
    EXPECT_EQ(Order({a, b}), (std::vector<HWND>{b, a}));
    EXPECT_FALSE(GetWindowLongPtrW(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(WindowTest, PositionChangingHandlerCanAdjustTheMove) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 200, 150});
    On(h, [](HWND, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
        if (m != WM_WINDOWPOSCHANGING) return std::nullopt;
        auto* wp = reinterpret_cast<WINDOWPOS*>(lp);
        if (!(wp->flags & SWP_NOMOVE) && wp->x < 15) wp->x = 0;  // snap to the left edge
        return LRESULT(0);
    });
    ClearSeen();
    ASSERT_TRUE(MoveWindow(h, 12, 40, 100, 50, TRUE));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 40);
    ASSERT_EQ(SeenOf(WM_MOVE, h).size(), 1u);
    EXPECT_EQ(SeenOf(WM_MOVE, h)[0].lparam, MAKELPARAM(0, 40));
    EXPECT_TRUE(SeenOf(WM_SIZE, h).empty()) << "the size did not change";
}

TEST_F(WindowTest, PlacementRoundTripsThrough44Bytes) {
    Headless().SetMonitors({plat::ui::MonitorDesc{RECT{0, 0, 1000, 800}, RECT{0, 30, 1000, 800}, true}});
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{100, 130, 300, 190});
    WINDOWPLACEMENT wp;
    ASSERT_TRUE(GetWindowPlacement(h, &wp));
    EXPECT_EQ(wp.showCmd, UINT(SW_SHOWNORMAL));
    EXPECT_TRUE(wp.rcNormalPosition == (RECT{100, 100, 300, 160})) << "workspace coordinates";

    ShowWindow(h, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(h));
    WINDOWPLACEMENT minimized;
    ASSERT_TRUE(GetWindowPlacement(h, &minimized));
    EXPECT_EQ(minimized.showCmd, UINT(SW_SHOWMINIMIZED));
    EXPECT_TRUE(minimized.rcNormalPosition == wp.rcNormalPosition);

    unsigned char bytes[sizeof(WINDOWPLACEMENT)];
    std::memcpy(bytes, &wp, sizeof bytes);
    WINDOWPLACEMENT restored;
    std::memcpy(&restored, bytes, sizeof restored);
    restored.rcNormalPosition = RECT{400, 200, 600, 260};
    ASSERT_TRUE(SetWindowPlacement(h, &restored));
    EXPECT_FALSE(IsIconic(h));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_TRUE(r == (RECT{400, 230, 600, 290}));

    WINDOWPLACEMENT bad = wp;
    bad.length = 40;
    EXPECT_FALSE(SetWindowPlacement(h, &bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(WindowTest, PlacementOnAMonitorThatIsGoneComesBackIntoView) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 60});
    WINDOWPLACEMENT wp;
    GetWindowPlacement(h, &wp);
    wp.rcNormalPosition = RECT{3000, 500, 3200, 560};
    ASSERT_TRUE(SetWindowPlacement(h, &wp));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_TRUE(r == (RECT{1720, 500, 1920, 560}));
}

TEST_F(WindowTest, MonitorNearestARectangleGivesItsWorkArea) {
    Headless().SetMonitors({plat::ui::MonitorDesc{RECT{0, 0, 1000, 800}, RECT{0, 0, 1000, 760}, true},
                            plat::ui::MonitorDesc{RECT{1000, 0, 2000, 800}, RECT{1000, 40, 2000, 800}, false}});
    struct {
        RECT rect;
        RECT work;
    } cases[] = {
        {{10, 10, 20, 20}, {0, 0, 1000, 760}},
        {{900, 10, 1200, 20}, {1000, 40, 2000, 800}},   // most of it on the second
        {{2500, 900, 2600, 950}, {1000, 40, 2000, 800}},  // off screen: the nearest
        {{-300, 100, -200, 120}, {0, 0, 1000, 760}},
    };
    for (const auto& c : cases) {
        MONITORINFO mi;
        ASSERT_TRUE(GetMonitorInfoW(MonitorFromRect(&c.rect, MONITOR_DEFAULTTONEAREST), &mi));
        EXPECT_TRUE(mi.rcWork == c.work) << c.rect.left;
    }
    const RECT off{5000, 5000, 5010, 5010};
    EXPECT_EQ(MonitorFromRect(&off, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
}

TEST_F(WindowTest, ChildrenFollowTheirParentAndDieInOrder) {
    HWND parent = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 300, 200});
    HWND child = Make(WS_CHILD | WS_VISIBLE, RECT{10, 20, 60, 40}, parent);
    POINT p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, 110);
    EXPECT_EQ(p.y, 120);
    EXPECT_TRUE(IsChild(parent, child));
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetAncestor(child, GA_ROOT), parent);
    SetWindowLongPtrW(child, GWLP_ID, 42);
    EXPECT_EQ(GetDlgItem(parent, 42), child);
    ClearSeen();
    ASSERT_TRUE(DestroyWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(SeenOf(WM_DESTROY)[0].hwnd, parent);
    EXPECT_EQ(SeenOf(WM_NCDESTROY)[0].hwnd, child);
}

TEST_F(WindowTest, PerWindowDataSubclassingAndExtraBytes) {
    HWND h = Make(WS_POPUP, RECT{0, 0, 10, 10});
    EXPECT_EQ(SetWindowLongPtrW(h, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(GetWindowLongPtrW(h, GWLP_USERDATA), 1234);

    static WNDPROC original = nullptr;
    original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_USER + 5) return 77;
            return CallWindowProcW(original, w, m, wp, lp);
        })));
    EXPECT_EQ(original, &UiTest::Proc);
    EXPECT_EQ(SendMessageW(h, WM_USER + 5, 0, 0), 77);
    SendMessageW(h, WM_USER + 6, 0, 0);
    EXPECT_EQ(SeenOf(WM_USER + 6, h).size(), 1u) << "the original procedure still runs";

    SetWindowLongPtrW(h, 8, 99);
    EXPECT_EQ(GetWindowLongPtrW(h, 8), 99);
    EXPECT_EQ(GetWindowLongPtrW(h, 12), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX) << "a value at 12 would run past 16 extra bytes";
}

TEST_F(WindowTest, TextAndDestroyFromAnotherThread) {
    HWND h = Make(WS_POPUP, RECT{0, 0, 10, 10});
    ASSERT_TRUE(SetWindowTextW(h, u"LED panel"));
    WCHAR buffer[5];
    std::fill(std::begin(buffer), std::end(buffer), WCHAR(0xCCCC));
    EXPECT_EQ(GetWindowTextW(h, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"LED");
    EXPECT_EQ(buffer[4], WCHAR(0xCCCC));
    EXPECT_EQ(GetWindowTextLengthW(h), 9);

    std::atomic<BOOL> destroyed{TRUE};
    std::atomic<DWORD> error{0};
    HANDLE t = plat::StartThread([&] {
        destroyed = DestroyWindow(h);
        error = GetLastError();
        return DWORD(0);
    });
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_FALSE(destroyed.load());
    EXPECT_EQ(error.load(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(IsWindow(h));
}

}  // namespace

namespace {

TEST_F(WindowTest, ShowingAndHidingTellsTheWindowAndItsParent) {
    HWND parent = Make(WS_POPUP, RECT{0, 0, 100, 100});
    HWND child = Make(WS_CHILD | WS_VISIBLE, RECT{10, 10, 30, 30}, parent);
    EXPECT_FALSE(IsWindowVisible(child)) << "a hidden parent hides its children";
    EXPECT_FALSE(ShowWindow(parent, SW_SHOWNA));
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_EQ(GetActiveWindow(), nullptr) << "SW_SHOWNA does not activate";
    Pump();
    ClearSeen();
    EXPECT_TRUE(ShowWindow(child, SW_HIDE));
    ASSERT_EQ(SeenOf(WM_SHOWWINDOW, child).size(), 1u);
    EXPECT_EQ(SeenOf(WM_SHOWWINDOW, child)[0].wparam, WPARAM(FALSE));
    RECT update;
    EXPECT_TRUE(GetUpdateRect(parent, &update, FALSE)) << "the uncovered area is repainted";
    EXPECT_TRUE(update == (RECT{10, 10, 30, 30}));
}

TEST_F(WindowTest, MaximiseFillsTheWorkAreaAndRestoreReturns) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{50, 60, 250, 160});
    ShowWindow(h, SW_MAXIMIZE);
    RECT r, work;
    GetWindowRect(h, &r);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_TRUE(r == work);
    EXPECT_TRUE(IsZoomed(h));
    ShowWindow(h, SW_RESTORE);
    GetWindowRect(h, &r);
    EXPECT_TRUE(r == (RECT{50, 60, 250, 160}));
}

TEST_F(WindowTest, DisabledWindowsTakeNoMouse) {
    HWND parent = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    HWND child = Make(WS_CHILD | WS_VISIBLE, RECT{10, 10, 30, 30}, parent);
    EXPECT_EQ(WindowFromPoint(POINT{15, 15}), child);
    EXPECT_FALSE(EnableWindow(child, FALSE)) << "it was enabled";
    EXPECT_EQ(WindowFromPoint(POINT{15, 15}), parent);
    EXPECT_EQ(SeenOf(WM_ENABLE, child).size(), 1u);
    EXPECT_TRUE(EnableWindow(child, TRUE)) << "it was disabled";
    EnableWindow(parent, FALSE);
    EXPECT_EQ(WindowFromPoint(POINT{15, 15}), nullptr);
}

TEST_F(WindowTest, ClassesAreFoundByNameOrAtomAndKeptWhileUsed) {
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &DefWindowProcW;
    wc.cbWndExtra = 8;
    wc.lpszClassName = u"Lumetra.Class.Test";
    const ATOM atom = RegisterClassExW(&wc);
    ASSERT_NE(atom, 0);
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
    WNDCLASSEXW info;
    EXPECT_EQ(GetClassInfoExW(nullptr, u"lumetra.class.TEST", &info), atom) << "names ignore case";
    EXPECT_EQ(info.cbWndExtra, 8);
    HWND h = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(std::uintptr_t(atom)), u"", WS_POPUP, 0, 0, 1, 1, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(UnregisterClassW(u"Lumetra.Class.Test", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    DestroyWindow(h);
    EXPECT_TRUE(UnregisterClassW(u"Lumetra.Class.Test", nullptr));
    EXPECT_EQ(CreateWindowExW(0, u"Lumetra.Class.Test", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
    EXPECT_EQ(CreateWindowExW(0, TestClass(), u"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr)
        << "a child needs a parent";
}

}  // namespace
