// The pointer on a private Xvfb server: a captured window hears the pointer
// outside the program's windows and over its other windows, a tracked
// window hears the pointer leave, and double-clicks reach a template dialog
// and its owner-drawn button. Skipped when Xvfb is not installed.
#include <gtest/gtest.h>

#include "ui/dialog.h"
#include "ui/ui.h"
#include "ui/x11/x11_backend.h"
#include "xvfb_support.h"

// Xlib's macros come last: they clash with GoogleTest's names.
#include <X11/Xlib.h>

#include <cstdlib>
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

class Pointer : public XvfbTest {
protected:
    void SetUp() override {
        XvfbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        setenv("DISPLAY", display.c_str(), 1);
        setenv("LUMETRA_UI_BACKEND", "x11", 1);
        ASSERT_EQ(plat::ui::BackendName(), "x11");
        dpy = XOpenDisplay(display.c_str());
        ASSERT_NE(dpy, nullptr);
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
            XCloseDisplay(dpy);
            plat::ui::ShutdownBackend();  // before the server goes
        }
        XvfbTest::TearDown();
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
    Display* dpy = nullptr;
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
