// The X11 backend against a private Xvfb server: a shaped topmost window is
// shown, screenshotted and checked from the server's side, dragged with the
// pointer, and Scroll Lock toggles and reads back; ui-demo shows its shaped
// panel. Skipped when Xvfb is not installed.
#include <gtest/gtest.h>

#include "ui/image_file.h"
#include "ui/ui.h"
#include "ui/x11/x11_backend.h"
#include "png_rows.h"
#include "xvfb_support.h"

// Xlib's macros come last: they clash with GoogleTest's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using xvfbtest::XvfbTest;

constexpr COLORREF kRed = RGB(220, 30, 30);
constexpr COLORREF kBlue = RGB(30, 30, 220);

std::u16string g_typed;  // the characters the test windows received

LRESULT PaintProc(HWND hwnd, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_CHAR) g_typed.push_back(char16_t(w));
    if (m == WM_LBUTTONDOWN) {  // drag by any point, as the skinned windows do
        POINT p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
        ClientToScreen(hwnd, &p);
        PostMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
        return 0;
    }
    if (m == WM_CLOSE) {  // the test's marker that the events sent so far arrived
        PostQuitMessage(0);
        return 0;
    }
    if (m != WM_PAINT) return DefWindowProcW(hwnd, m, w, l);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT all;
    GetClientRect(hwnd, &all);
    HBRUSH b = CreateSolidBrush(COLORREF(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
    FillRect(dc, &all, b);
    DeleteObject(b);
    EndPaint(hwnd, &ps);
    return 0;
}

HWND MakeWindow(int x, int y, COLORREF colour) {
    HWND h = CreateWindowExW(0, u"X11TestWindow", u"x11 test", WS_POPUP, x, y, 120, 80, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(h, GWLP_USERDATA, LONG_PTR(colour));
    return h;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    GdiFlush();
}

// Sends pointer events to the window from outside, then a close request as
// a marker, and dispatches until the marker arrives: every event sent before
// it has then been handled.
void SendPointer(Display* dpy, ::Window xid, int type, int x, int y) {
    XEvent ev{};
    ev.type = type;
    if (type == MotionNotify) {
        ev.xmotion.window = xid;
        ev.xmotion.x_root = x;
        ev.xmotion.y_root = y;
        ev.xmotion.state = Button1Mask;
    } else {
        ev.xbutton.window = xid;
        ev.xbutton.x_root = x;
        ev.xbutton.y_root = y;
        ev.xbutton.button = Button1;
    }
    XSendEvent(dpy, xid, False, 0, &ev);
}

void SendKeyEvent(Display* dpy, ::Window xid, int type, KeySym sym, unsigned state) {
    XEvent ev{};
    ev.xkey.type = type;
    ev.xkey.window = xid;
    ev.xkey.keycode = XKeysymToKeycode(dpy, sym);
    ev.xkey.state = state;
    XSendEvent(dpy, xid, False, 0, &ev);
}

// A key pressed and released on the server's keyboard map.
void SendKey(Display* dpy, ::Window xid, KeySym sym, unsigned state) {
    for (int type : {KeyPress, KeyRelease}) SendKeyEvent(dpy, xid, type, sym, state);
}

void DispatchUntilMarker(Display* dpy, ::Window xid) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = xid;
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    XSendEvent(dpy, xid, False, 0, &ev);
    XFlush(dpy);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Pump();
}

bool ServerScrollLock(Display* dpy) {
    int index = 0;
    Bool on = False;
    XkbGetNamedIndicator(dpy, XInternAtom(dpy, "Scroll Lock", False), &index, &on, nullptr, nullptr);
    return on;
}

using X11Backend = XvfbTest;
using UiDemo = XvfbTest;

TEST_F(X11Backend, ShapedTopmostWindowShowsDragsAndTogglesScrollLock) {
    setenv("DISPLAY", display.c_str(), 1);
    setenv("LUMETRA_UI_BACKEND", "x11", 1);
    ASSERT_EQ(plat::ui::BackendName(), "x11");
    Display* dpy = XOpenDisplay(display.c_str());
    ASSERT_NE(dpy, nullptr);

    WNDCLASSEXW wc;
    wc.lpfnWndProc = &PaintProc;
    wc.lpszClassName = u"X11TestWindow";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    HWND shaped = MakeWindow(50, 50, kRed);
    HWND other = MakeWindow(100, 60, kBlue);
    // An L: a left column and a bottom bar.
    HRGN l = CreateRectRgn(0, 0, 40, 80);
    HRGN bar = CreateRectRgn(0, 50, 120, 80);
    CombineRgn(l, l, bar, RGN_OR);
    DeleteObject(bar);
    ASSERT_EQ(SetWindowRgn(shaped, l, TRUE), 1);
    SetWindowPos(shaped, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(shaped, SW_SHOW);
    ShowWindow(other, SW_SHOW);  // shown later, yet below the topmost window
    Pump();

    // The shape as the server holds it.
    const ::Window xid = plat::ui::NativeWindowId(shaped);
    ASSERT_NE(xid, 0u);
    for (int kind : {ShapeBounding, ShapeInput}) {
        int count = 0, ordering = 0;
        XRectangle* rects = XShapeGetRectangles(dpy, xid, kind, &count, &ordering);
        ASSERT_EQ(count, 2) << "shape kind " << kind;
        EXPECT_EQ(rects[0].x, 0);
        EXPECT_EQ(rects[0].width, 40);
        EXPECT_EQ(rects[0].height, 50);
        EXPECT_EQ(rects[1].y, 50);
        EXPECT_EQ(rects[1].width, 120);
        XFree(rects);
    }

    // A topmost tool popup (placed by the program, like a menu) is stacked
    // once, above the rest: listing it twice made the server fail the
    // restacking, which ends the program.
    HWND tool = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, u"X11TestWindow", u"tool", WS_POPUP, 300, 300,
                                40, 40, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(tool, SW_SHOW);
    Pump();

    // Stacking: the topmost window is above the later one, the tool popup
    // above both.
    ::Window root, parent, *children = nullptr;
    unsigned n = 0;
    XSync(dpy, False);
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n);
    const auto pos = [&](::Window w) { return std::find(children, children + n, w) - children; };
    EXPECT_GT(pos(xid), pos(plat::ui::NativeWindowId(other)));
    EXPECT_GT(pos(plat::ui::NativeWindowId(tool)), pos(xid));
    XFree(children);
    DestroyWindow(tool);

    // The screenshot, from the server.
    auto shot = plat::ui::CurrentBackend().CaptureScreen();
    ASSERT_TRUE(shot);
    const auto dir = std::filesystem::temp_directory_path() / ("ui_x11_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(plat::ui::WritePng((dir / "screen.png").string(), *shot));
    std::printf("screenshot: %s\n", (dir / "screen.png").c_str());
    const auto at = [&](int x, int y) { return plat::ui::ColorRefFromArgb(shot->Get(x, y)); };
    EXPECT_EQ(at(60, 60), kRed) << "inside the column";
    EXPECT_EQ(at(150, 120), kRed) << "the bar covers the other window";
    EXPECT_EQ(at(150, 70), kBlue) << "the cut-out shows the window below";
    EXPECT_EQ(at(95, 55), RGB(0, 0, 0)) << "the cut-out shows the root where nothing is below";

    // Dragging with the pointer: press in the column, move, release.
    SendPointer(dpy, xid, ButtonPress, 60, 60);
    DispatchUntilMarker(dpy, xid);
    SendPointer(dpy, xid, MotionNotify, 160, 90);
    SendPointer(dpy, xid, ButtonRelease, 160, 90);
    DispatchUntilMarker(dpy, xid);
    RECT moved;
    GetWindowRect(shaped, &moved);
    EXPECT_EQ(moved.left, 150);
    EXPECT_EQ(moved.top, 80);
    XWindowAttributes attrs;
    XGetWindowAttributes(dpy, xid, &attrs);
    EXPECT_EQ(attrs.x, 150) << "the X window followed";
    EXPECT_EQ(attrs.y, 80);
    EXPECT_EQ(GetCapture(), nullptr);

    // Scroll Lock through keybd_event, read back from the server.
    const bool before = ServerScrollLock(dpy);
    EXPECT_EQ((GetKeyState(VK_SCROLL) & 1) != 0, before);
    keybd_event(VK_SCROLL, 0x46, 0, 0);
    keybd_event(VK_SCROLL, 0x46, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(ServerScrollLock(dpy), !before);
    EXPECT_EQ((GetKeyState(VK_SCROLL) & 1) != 0, !before);
    keybd_event(VK_SCROLL, 0x46, 0, 0);
    keybd_event(VK_SCROLL, 0x46, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(ServerScrollLock(dpy), before);

    // Typing: letters through their virtual keys, punctuation as characters.
    SetFocus(shaped);
    SendKey(dpy, xid, XK_a, 0);
    SendKey(dpy, xid, XK_period, 0);
    SendKey(dpy, xid, XK_minus, ShiftMask);
    DispatchUntilMarker(dpy, xid);
    SendKeyEvent(dpy, xid, KeyPress, XK_Shift_L, 0);
    SendKey(dpy, xid, XK_1, ShiftMask);  // the digit's virtual key, the layout's character
    DispatchUntilMarker(dpy, xid);      // handled while Shift is held
    SendKeyEvent(dpy, xid, KeyRelease, XK_Shift_L, ShiftMask);
    SendKey(dpy, xid, XK_2, 0);
    DispatchUntilMarker(dpy, xid);
    EXPECT_EQ(g_typed, u"a._!2");

    // The cursor position comes from the server, also where no window of
    // the program is (auto-hide tests it against a slid-out strip).
    XWarpPointer(dpy, None, DefaultRootWindow(dpy), 0, 0, 0, 0, 611, 433);
    XSync(dpy, False);
    POINT cursor{};
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 611);
    EXPECT_EQ(cursor.y, 433);

    DestroyWindow(shaped);
    DestroyWindow(other);
    XCloseDisplay(dpy);
    plat::ui::ShutdownBackend();  // before the server goes
    std::filesystem::remove_all(dir);
}

// Runs ui-demo on the test's display with `options` and reads its screenshot.
struct DemoShot {
    std::vector<std::vector<png_byte>> rows;
    int width = 0;
    int Height() const { return int(rows.size()); }
    int Channel(int x, int y, int c) const { return rows[std::size_t(y)][std::size_t(x) * 4 + std::size_t(c)]; }
    int Bright(int x, int y) const { return Channel(x, y, 0) + Channel(x, y, 1) + Channel(x, y, 2); }
    COLORREF Colour(int x, int y) const { return RGB(Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2)); }
    int CountIn(const RECT& r, int min_bright) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += Bright(x, y) > min_bright;
        return n;
    }
};

DemoShot RunDemo(const std::string& display, std::vector<const char*> options) {
    const auto dir = std::filesystem::temp_directory_path() / ("ui_demo_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string shot = (dir / "ui-demo.png").string();
    options.insert(options.begin(), "ui-demo");
    options.push_back("--screenshot");
    options.push_back(shot.c_str());
    options.push_back(nullptr);
    const pid_t demo = fork();
    if (demo == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        unsetenv("LUMETRA_UI_BACKEND");
        execv(UI_DEMO_PATH, const_cast<char* const*>(options.data()));
        _exit(127);
    }
    int status = 0;
    waitpid(demo, &status, 0);
    DemoShot result;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "ui-demo failed";
    result.rows = xvfbtest::ReadPng(shot, &result.width);
    std::filesystem::remove_all(dir);
    return result;
}

TEST_F(UiDemo, ShowsAShapedPanelOnX11) {
    const DemoShot shot = RunDemo(display, {});
    ASSERT_FALSE(shot.rows.empty()) << "no screenshot";
    EXPECT_EQ(shot.Bright(0, 0), 0) << "the rounded corner is cut away: the root shows";
    EXPECT_EQ(shot.Bright(shot.width - 1, shot.Height() - 1), 0);
    EXPECT_GT(shot.Bright(shot.width / 2, 3), 100) << "the panel's light top edge";
    // Text and LEDs make bright pixels across the panel.
    EXPECT_GT(shot.CountIn(RECT{0, 0, shot.width, shot.Height()}, 450), 200);
}

// The settings dialog comes entirely from the demo's resource library: the
// skin bitmap, the template's controls, the clip and the labels.
TEST_F(UiDemo, ShowsTheSkinnedDialogFromItsResourceLibrary) {
    const DemoShot shot = RunDemo(display, {"--dialog"});
    ASSERT_EQ(shot.width, 320);
    ASSERT_EQ(shot.Height(), 200);
    EXPECT_EQ(shot.Colour(300, 1), RGB(150, 180, 220)) << "the skin's light top edge";
    EXPECT_EQ(shot.Colour(156, 173), RGB(58, 100, 170)) << "the owner-drawn OK button's face";
    EXPECT_EQ(shot.Colour(32, 118), RGB(200, 200, 210)) << "the clip's first frame: the platter's hub";
    EXPECT_GT(shot.CountIn(RECT{16, 40, 120, 58}, 500), 20) << "the label in the skin's text colour";
    EXPECT_LT(shot.Bright(200, 48), 200) << "labels leave the dark skin showing around their text";
    EXPECT_GT(shot.CountIn(RECT{16, 62, 304, 90}, 250), 30) << "the slider's channel and thumb";
}

TEST_F(UiDemo, ShowsThePopupMenuFromItsResourceLibrary) {
    const DemoShot shot = RunDemo(display, {"--menu"});
    ASSERT_FALSE(shot.rows.empty()) << "no screenshot";
    EXPECT_GT(shot.width, 60);
    EXPECT_GT(shot.Height(), 5 * 14) << "six items and two separators";
    int dark = 0;  // item texts on the light menu face
    for (int y = 0; y < shot.Height(); ++y)
        for (int x = 0; x < shot.width; ++x) dark += shot.Bright(x, y) < 150;
    EXPECT_GT(dark, 100);
}

}  // namespace
