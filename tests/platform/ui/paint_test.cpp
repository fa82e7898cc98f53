#include "ui/paint.h"

#include "base/sync.h"
#include "base/thread.h"
#include "ui_test_support.h"

namespace {

using uitest::Pixel;
using uitest::UiTest;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

class PaintTest : public UiTest {
protected:
    // Paints the whole client area in `color` on every WM_PAINT.
    void PaintWith(HWND h, COLORREF color) {
        On(h, [color](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m != WM_PAINT) return std::nullopt;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            RECT all{0, 0, 1000, 1000};
            HBRUSH b = CreateSolidBrush(color);
            FillRect(dc, &all, b);
            DeleteObject(b);
            EndPaint(w, &ps);
            return LRESULT(0);
        });
    }
};

TEST_F(PaintTest, WindowShapeClipsPaintingAndHitTests) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 130, 130});
    PaintWith(h, kRed);
    HRGN rgn = CreateRectRgn(0, 0, 10, 30);  // an L: a column and a bottom bar
    HRGN bar = CreateRectRgn(0, 20, 30, 30);
    CombineRgn(rgn, rgn, bar, RGN_OR);
    DeleteObject(bar);
    ASSERT_EQ(SetWindowRgn(h, rgn, TRUE), 1);
    EXPECT_EQ(GetObjectW(rgn, 0, nullptr), 0) << "the window owns the region now";
    Pump();

    auto shot = Headless().Capture(h);
    ASSERT_TRUE(shot);
    EXPECT_EQ(Pixel(*shot, 5, 5), 0xFF0000u);
    EXPECT_EQ(Pixel(*shot, 25, 25), 0xFF0000u);
    EXPECT_EQ(shot->Get(25, 5) >> 24, 0u) << "outside the shape nothing shows";

    EXPECT_EQ(WindowFromPoint(POINT{105, 105}), h);
    EXPECT_EQ(WindowFromPoint(POINT{125, 105}), nullptr);
    EXPECT_EQ(SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(125, 105)), HTNOWHERE);
    EXPECT_EQ(SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(125, 125)), HTCLIENT);

    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(h, copy), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(copy, 25, 25));
    DeleteObject(copy);
}

TEST_F(PaintTest, ScreenShowsWindowsInZOrder) {
    HWND below = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 40, 40});
    HWND above = Make(WS_POPUP | WS_VISIBLE, RECT{20, 20, 60, 60});
    PaintWith(below, kRed);
    PaintWith(above, kBlue);
    Pump();
    auto screen = Headless().CaptureScreen(RGB(0, 0, 0));
    EXPECT_EQ(Pixel(*screen, 30, 30), 0x0000FFu);
    SetWindowPos(below, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    screen = Headless().CaptureScreen(RGB(0, 0, 0));
    EXPECT_EQ(Pixel(*screen, 30, 30), 0xFF0000u);
    EXPECT_EQ(Pixel(*screen, 50, 50), 0x0000FFu);
}

TEST_F(PaintTest, BeginPaintClipsToTheInvalidArea) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 40, 40});
    PaintWith(h, kRed);
    Pump();
    PaintWith(h, kBlue);
    RECT part{0, 0, 10, 10};
    InvalidateRect(h, &part, FALSE);
    Pump();
    auto shot = Headless().Capture(h);
    EXPECT_EQ(Pixel(*shot, 5, 5), 0x0000FFu);
    EXPECT_EQ(Pixel(*shot, 20, 20), 0xFF0000u) << "outside the update region nothing was drawn";
}

TEST_F(PaintTest, ClipChildrenKeepsTheParentOffItsChildren) {
    for (DWORD clip : {DWORD(0), WS_CLIPCHILDREN}) {
        HWND parent = Make(WS_POPUP | WS_VISIBLE | clip, RECT{0, 0, 50, 50});
        HWND child = Make(WS_CHILD | WS_VISIBLE, RECT{10, 10, 20, 20}, parent);
        PaintWith(child, kBlue);
        PaintWith(parent, kRed);
        Pump();
        // Repaint only the parent; the child keeps its pixels when clipped out.
        RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN | RDW_UPDATENOW);
        auto shot = Headless().Capture(parent);
        EXPECT_EQ(Pixel(*shot, 15, 15), clip ? 0x0000FFu : 0xFF0000u) << "clip children " << clip;
        EXPECT_EQ(Pixel(*shot, 5, 5), 0xFF0000u);
        DestroyWindow(parent);
    }
}

TEST_F(PaintTest, EraseBackgroundUsesTheClassBrushUnlessHandled) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 20, 20});
    Pump();
    EXPECT_EQ(Pixel(*Headless().Capture(h), 3, 3), 0x0A141Eu) << "class brush RGB(10, 20, 30)";
    ASSERT_FALSE(SeenOf(WM_ERASEBKGND, h).empty());
}

TEST_F(PaintTest, AnotherThreadDrawsThroughGetDCAndPresents) {
    HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 64, 16});
    Pump();
    const auto before = Headless().PresentCount(h);
    HANDLE t = plat::StartThread([&] {
        for (int i = 0; i < 20; ++i) {
            HDC dc = GetDC(h);
            RECT r{i, 0, i + 1, 16};
            FillRect(dc, &r, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            ReleaseDC(h, dc);
        }
        return DWORD(0);
    });
    // The GUI thread repaints meanwhile; both share the surface safely.
    for (int i = 0; i < 20; ++i) {
        InvalidateRect(h, nullptr, TRUE);
        UpdateWindow(h);
    }
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_GE(Headless().PresentCount(h), before + 20);
    HDC dc = GetDC(h);
    RECT r{0, 0, 64, 16};
    FillRect(dc, &r, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(h, dc);
    EXPECT_EQ(Pixel(*Headless().Capture(h), 40, 8), 0xFFFFFFu);
}

TEST_F(PaintTest, LayeredWindowsNeedTheStyleAndAPlatformThatShowsOpacity) {
    HWND plain = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10});
    EXPECT_FALSE(SetLayeredWindowAttributes(plain, 0, 128, LWA_ALPHA));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    HWND layered = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10}, nullptr, WS_EX_LAYERED);
    ASSERT_TRUE(SetLayeredWindowAttributes(layered, 0, 128, LWA_ALPHA));
    EXPECT_EQ(Headless().StateOf(layered)->alpha, 128);
    SetWindowLongPtrW(layered, GWL_EXSTYLE, 0);
    EXPECT_EQ(Headless().StateOf(layered)->alpha, 255) << "leaving the layered style makes it opaque";

    Headless().SetOpacitySupported(false);
    SetWindowLongPtrW(layered, GWL_EXSTYLE, WS_EX_LAYERED);
    EXPECT_FALSE(SetLayeredWindowAttributes(layered, 0, 128, LWA_ALPHA));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

}  // namespace

TEST_F(PaintTest, AWindowAndItsControlsPaintedTogetherArePresentedOnce) {
    HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100});
    PaintWith(top, kBlue);
    std::vector<HWND> controls;
    for (int i = 0; i < 5; ++i) {
        controls.push_back(Make(WS_CHILD | WS_VISIBLE, RECT{10 + 30 * i, 10, 30 + 30 * i, 30}, top));
        PaintWith(controls.back(), kRed);
    }
    Pump();
    const auto before = Headless().PresentCount(top);
    InvalidateRect(controls[1], nullptr, FALSE);
    InvalidateRect(controls[3], nullptr, FALSE);
    Pump();
    EXPECT_EQ(Headless().PresentCount(top), before + 1) << "one presentation for both controls";
    auto shot = Headless().Capture(top);
    EXPECT_EQ(Pixel(*shot, 45, 15), 0xFF0000u);
    EXPECT_EQ(Pixel(*shot, 105, 15), 0xFF0000u);
    EXPECT_EQ(Pixel(*shot, 5, 5), 0x0000FFu);

    // Drawing outside a paint shows at once.
    HDC dc = GetDC(top);
    RECT corner{190, 90, 200, 100};
    FillRect(dc, &corner, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(top, dc);
    EXPECT_EQ(Headless().PresentCount(top), before + 2);
    EXPECT_EQ(Pixel(*Headless().Capture(top), 195, 95), 0xFFFFFFu);

    // A paint taken alone is held until the thread takes its next message.
    InvalidateRect(top, nullptr, FALSE);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, top, WM_PAINT, WM_PAINT, PM_REMOVE));
    DispatchMessageW(&msg);
    const auto drawn = Headless().PresentCount(top);
    EXPECT_EQ(drawn, before + 2) << "held until the run ends";
    Pump();
    EXPECT_EQ(Headless().PresentCount(top), drawn + 1);
}
