// The pointer on a private Xvfb server: a captured window hears the pointer
// outside the program's windows and over its other windows, a tracked
// window hears the pointer leave, double-clicks reach a template dialog and
// its owner-drawn button, and the pointer resting on a window's tool shows
// its tooltip. Skipped when Xvfb is not installed.
#include <gtest/gtest.h>

#include "ui/dialog.h"
#include "ui/ui.h"
#include "ui/x11/x11_backend.h"
#include "x11_client_test.h"

// Xlib's macros come last: they clash with GoogleTest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using xvfbtest::XvfbTest;

struct Heard {
    HWND hwnd;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};
std::vector<Heard> g_heard;

bool Recorded(UINT m) {
    return m == WM_MOUSEMOVE || m == WM_MOUSELEAVE || m == WM_LBUTTONDBLCLK || m == WM_COMMAND;
}

LRESULT RecordingProc(HWND hwnd, UINT m, WPARAM w, LPARAM l) {
    if (Recorded(m)) g_heard.push_back({hwnd, m, w, l});
    if (m == WM_CLOSE) {  // the marker: everything sent before it has arrived
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, m, w, l);
}

INT_PTR DialogRecorder(HWND hwnd, UINT m, WPARAM w, LPARAM l) {
    if (Recorded(m)) g_heard.push_back({hwnd, m, w, l});
    return m == WM_COMMAND;
}

std::vector<Heard> HeardBy(HWND hwnd, UINT message) {
    std::vector<Heard> out;
    for (const Heard& h : g_heard)
        if (h.hwnd == hwnd && h.message == message) out.push_back(h);
    return out;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    GdiFlush();
}

class Pointer : public xvfbtest::X11ClientTest {
protected:
    void SetUp() override {
        X11ClientTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(plat::ui::BackendName(), "x11");
        WNDCLASSEXW wc;
        wc.lpfnWndProc = &RecordingProc;
        wc.lpszClassName = u"PointerTestWindow";
        RegisterClassExW(&wc);
        a = Make(50, 50);
        b = Make(300, 50);
    }
    void TearDown() override {
        if (dpy) {
            DestroyWindow(a);
            DestroyWindow(b);
        }
        X11ClientTest::TearDown();
    }
    HWND Make(int x, int y) {
        HWND h = CreateWindowExW(0, u"PointerTestWindow", u"pointer", WS_POPUP | WS_VISIBLE, x, y, 120, 80, nullptr,
                                 nullptr, nullptr, nullptr);
        Pump();
        return h;
    }
    // Moves the real pointer, as a person would, once the program's own
    // requests (a grab) have reached the server.
    void Warp(int x, int y) {
        plat::ui::CurrentBackend().Flush();
        XWarpPointer(dpy, None, DefaultRootWindow(dpy), 0, 0, 0, 0, x, y);
        XSync(dpy, False);
    }
    void SendButton(::Window xid, int type, int x, int y) {
        XEvent ev{};
        ev.type = type;
        ev.xbutton.window = xid;
        ev.xbutton.x_root = x;
        ev.xbutton.y_root = y;
        ev.xbutton.button = Button1;
        XSendEvent(dpy, xid, False, 0, &ev);
    }
    void DoubleClick(::Window xid, POINT at) {
        for (int i = 0; i < 2; ++i) {
            SendButton(xid, ButtonPress, at.x, at.y);
            SendButton(xid, ButtonRelease, at.x, at.y);
        }
    }
    // Dispatches until a close request sent after everything else arrives.
    void Settle() {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = plat::ui::NativeWindowId(a);
        ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
        XSendEvent(dpy, ev.xclient.window, False, 0, &ev);
        XFlush(dpy);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        Pump();
    }
    HWND a = nullptr, b = nullptr;
};

}  // namespace

TEST_F(Pointer, TheCaptureHearsThePointerEverywhere) {
    Warp(100, 90);  // over a
    Settle();
    SetCapture(a);
    g_heard.clear();
    Warp(600, 400);  // over no window of the program
    Settle();
    Warp(350, 80);  // over b
    Settle();
    const auto moves = HeardBy(a, WM_MOUSEMOVE);
    ASSERT_GE(moves.size(), 2u);
    EXPECT_EQ(moves[moves.size() - 2].lparam, MAKELPARAM(550, 350)) << "client coordinates, outside the window";
    EXPECT_EQ(moves.back().lparam, MAKELPARAM(300, 30));
    EXPECT_TRUE(HeardBy(b, WM_MOUSEMOVE).empty()) << "b is under the pointer, a holds the capture";

    ReleaseCapture();
    g_heard.clear();
    Warp(360, 90);
    Settle();
    EXPECT_FALSE(HeardBy(b, WM_MOUSEMOVE).empty()) << "without the capture the window under the pointer hears it";
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, 360);
    EXPECT_EQ(cursor.y, 90);
}

TEST_F(Pointer, TrackedWindowHearsThePointerLeaveForTheDesktop) {
    Warp(350, 80);
    Settle();
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, b, 0};
    ASSERT_TRUE(TrackMouseEvent(&track));
    g_heard.clear();
    Warp(600, 400);
    Settle();
    EXPECT_EQ(HeardBy(b, WM_MOUSELEAVE).size(), 1u);
    // Entering tells the window at once, before the pointer moves inside it.
    g_heard.clear();
    Warp(80, 70);
    Settle();
    EXPECT_FALSE(HeardBy(a, WM_MOUSEMOVE).empty());
}

TEST_F(Pointer, DoubleClicksReachATemplateDialogAndItsButton) {
    plat::resource::DialogTemplate d;
    d.style = WS_POPUP | WS_VISIBLE;
    d.x = 100;
    d.y = 200;
    d.cx = 200;
    d.cy = 100;
    d.items.push_back({BS_OWNERDRAW | WS_CHILD | WS_VISIBLE, 0, 10, 10, 60, 30, 77, WC_BUTTON, u"Skin"});
    HWND dialog = CreateDialogIndirectParamW(nullptr, d, nullptr, &DialogRecorder, 0);
    ASSERT_NE(dialog, nullptr);
    Pump();
    const ::Window xid = plat::ui::NativeWindowId(dialog);
    g_heard.clear();
    DoubleClick(xid, POINT{250, 260});  // the dialog's background
    DoubleClick(xid, POINT{140, 225});  // the button
    Settle();
    EXPECT_EQ(HeardBy(dialog, WM_LBUTTONDBLCLK).size(), 1u);
    std::vector<WORD> codes;
    for (const Heard& h : HeardBy(dialog, WM_COMMAND))
        if (LOWORD(DWORD(h.wparam)) == 77) codes.push_back(HIWORD(DWORD(h.wparam)));
    EXPECT_EQ(codes, (std::vector<WORD>{BN_CLICKED, BN_DOUBLECLICKED}));
    DestroyWindow(dialog);
}

// The tip is a window of its own on the screen: override-redirect (no
// window manager frames or moves it), below and right of the pointer, its
// pale face with the text drawn in black.
TEST_F(Pointer, APointerRestingOnAToolShowsItsTipBesideIt) {
    InitCommonControls();
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, a, nullptr, nullptr,
                               nullptr);
    ASSERT_NE(tip, nullptr);
    TTTOOLINFOW tool;
    tool.uFlags = TTF_SUBCLASS;  // the control hears a's mouse messages itself
    tool.hwnd = a;
    tool.uId = 1;
    tool.rect = RECT{0, 0, 120, 80};
    tool.lpszText = const_cast<LPWSTR>(u"Disk C: reads");
    ASSERT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));
    Warp(80, 70);
    Settle();
    Warp(90, 75);  // a move over the tool starts the hover delay
    const ::Window xid = plat::ui::NativeWindowId(tip);
    XWindowAttributes attrs{};
    bool shown = false;
    for (int i = 0; i < 500 && !shown; ++i) {  // the 500 ms delay on a loaded machine
        Pump();
        shown = XGetWindowAttributes(dpy, xid, &attrs) && attrs.map_state == IsViewable;
        if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(shown) << "the tip never reached the screen";
    EXPECT_TRUE(attrs.override_redirect);
    ::Window child;
    int x = 0, y = 0;
    XTranslateCoordinates(dpy, xid, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    EXPECT_GE(x, 90);
    EXPECT_LT(x, 90 + 40);
    EXPECT_GE(y, 75);
    EXPECT_LT(y, 75 + 40) << "below and right of the pointer";
    XImage* image = XGetImage(dpy, xid, 0, 0, unsigned(attrs.width), unsigned(attrs.height), AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    int face = 0, ink = 0;
    for (int py = 1; py < attrs.height - 1; ++py)
        for (int px = 1; px < attrs.width - 1; ++px) {
            const unsigned long pixel = XGetPixel(image, px, py) & 0xFFFFFF;
            face += pixel == 0xFFFFE1;
            ink += pixel == 0;
        }
    XDestroyImage(image);
    EXPECT_GT(face, (attrs.width - 2) * (attrs.height - 2) / 2) << "the pale face";
    EXPECT_GT(ink, 30) << "the text";
    EXPECT_GT(attrs.width, 60) << "as wide as its text";
    DestroyWindow(tip);
}
