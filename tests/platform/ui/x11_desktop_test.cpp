// The desktop on a private Xvfb server: what the windows tell a desktop
// (class, icon, task bar), monitors and their work areas from RandR, and
// under a window manager (openbox, when installed) lowering, activation and
// opacity with a compositor (xcompmgr); a display that goes away ends the
// session. Skipped when Xvfb is not installed.
#include <gtest/gtest.h>

#include "base/clock.h"
#include "ui/session_end.h"
#include "ui/ui.h"
#include "ui/x11/x11_backend.h"
#include "x11_client_test.h"

// Xlib's macros come last: they clash with GoogleTest's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using xvfbtest::X11ClientTest;

std::vector<UINT> g_ending;  // the session's end as the test window heard it

LRESULT Proc(HWND hwnd, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_QUERYENDSESSION || m == WM_ENDSESSION) g_ending.push_back(m);
    if (m == WM_CLOSE) {
        g_ending.push_back(m);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, m, w, l);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    GdiFlush();
}

// Waits for another process (a window manager starting, on a busy machine)
// to do something; false after about twenty seconds.
bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 2000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

std::vector<long> Property(Display* dpy, ::Window w, const char* name, Atom type) {
    Atom actual;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::vector<long> out;
    if (XGetWindowProperty(dpy, w, XInternAtom(dpy, name, False), 0, 1 << 16, False, type, &actual, &format, &count,
                           &after, &data) == Success &&
        data && format == 32) {
        const long* v = reinterpret_cast<const long*>(data);
        out.assign(v, v + count);
    }
    if (data) XFree(data);
    return out;
}

bool HasAtom(Display* dpy, ::Window w, const char* list, const char* atom) {
    const auto atoms = Property(dpy, w, list, XA_ATOM);
    return std::find(atoms.begin(), atoms.end(), long(XInternAtom(dpy, atom, False))) != atoms.end();
}

pid_t StartProgram(const std::string& display, const char* program) {
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        setenv("DISPLAY", display.c_str(), 1);
        execlp(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

bool Installed(const char* program) { return std::system((std::string("command -v ") + program + " >/dev/null").c_str()) == 0; }

class Desktop : public X11ClientTest {
protected:
    void SetUp() override {
        X11ClientTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        WNDCLASSEXW wc;
        wc.lpfnWndProc = &Proc;
        wc.lpszClassName = u"DesktopTestWindow";
        RegisterClassExW(&wc);
    }
    HWND Make(RECT r, DWORD ex_style = 0) {
        HWND h = CreateWindowExW(ex_style, u"DesktopTestWindow", u"desktop", WS_POPUP | WS_VISIBLE, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        Pump();
        plat::ui::CurrentBackend().Flush();
        return h;
    }
    void StartWindowManager() {
        helpers.push_back(StartProgram(display, "openbox"));
        ASSERT_TRUE(Eventually([&] { return !Property(dpy, DefaultRootWindow(dpy), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty(); }));
    }
};

}  // namespace

TEST_F(Desktop, WindowsTellTheDesktopTheirClassIconAndWhetherTheyAreTools) {
    HWND panel = Make(RECT{10, 10, 110, 60});
    HWND tool = Make(RECT{200, 10, 240, 50}, WS_EX_TOOLWINDOW);
    std::uint32_t pixels[16 * 16];
    std::fill(std::begin(pixels), std::end(pixels), 0xFF2080C0u);
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 16;
    bi.bmiHeader.biHeight = -16;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::memcpy(bits, pixels, sizeof pixels);
    const std::uint8_t opaque[16 * 2] = {};  // the AND mask: every pixel shows
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, opaque);
    ICONINFO info{TRUE, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&info);
    ASSERT_NE(icon, nullptr);
    SendMessageW(panel, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    plat::ui::CurrentBackend().Flush();

    const ::Window xid = plat::ui::NativeWindowId(panel);
    XClassHint hint{};
    ASSERT_TRUE(XGetClassHint(dpy, xid, &hint));
    EXPECT_STREQ(hint.res_name, "test_platform_ui_x11_desktop");
    EXPECT_STREQ(hint.res_class, "Test_platform_ui_x11_desktop");
    XFree(hint.res_name);
    XFree(hint.res_class);
    const auto data = Property(dpy, xid, "_NET_WM_ICON", XA_CARDINAL);
    ASSERT_EQ(data.size(), 2u + 16 * 16);
    EXPECT_EQ(data[0], 16);
    EXPECT_EQ(data[1], 16);
    EXPECT_EQ(std::uint32_t(data[2]), 0xFF2080C0u) << "opaque ARGB";

    const ::Window toolXid = plat::ui::NativeWindowId(tool);
    EXPECT_TRUE(HasAtom(dpy, toolXid, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_TRUE(HasAtom(dpy, toolXid, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_PAGER"));
    EXPECT_FALSE(HasAtom(dpy, xid, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"));
    DestroyWindow(panel);
    DestroyWindow(tool);
    DestroyIcon(icon);
    DeleteObject(color);
    DeleteObject(mask);
}

TEST_F(Desktop, EachMonitorHasItsOwnWorkAreaAndWindowsFindTheNearestOne) {
    // Two monitors side by side, and a work area that leaves a strip at the
    // bottom for a panel, as a window manager would set it.
    const ::Window root = DefaultRootWindow(dpy);
    for (int i = 0; i < 2; ++i) {
        XRRMonitorInfo* m = XRRAllocateMonitor(dpy, 0);
        m->name = XInternAtom(dpy, i ? "RIGHT" : "LEFT", False);
        m->primary = i == 0;
        m->x = 320 * i;
        m->width = 320;
        m->height = 480;
        m->mwidth = 100;
        m->mheight = 150;
        XRRSetMonitor(dpy, root, m);
        XFree(m);
    }
    const long work[4] = {0, 0, 640, 450};
    XChangeProperty(dpy, root, XInternAtom(dpy, "_NET_WORKAREA", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(work), 4);
    XSync(dpy, False);

    const RECT onRight{400, 100, 500, 150};
    MONITORINFO info;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromRect(&onRight, MONITOR_DEFAULTTONEAREST), &info));
    EXPECT_TRUE(info.rcMonitor == (RECT{320, 0, 640, 480}));
    EXPECT_TRUE(info.rcWork == (RECT{320, 0, 640, 450}));
    EXPECT_EQ(info.dwFlags & MONITORINFOF_PRIMARY, 0u);
    const RECT beyondLeft{-300, 200, -200, 250};
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromRect(&beyondLeft, MONITOR_DEFAULTTONEAREST), &info));
    EXPECT_TRUE(info.rcMonitor == (RECT{0, 0, 320, 480})) << "the nearest";
    EXPECT_NE(info.dwFlags & MONITORINFOF_PRIMARY, 0u);
}

TEST_F(Desktop, UnderAWindowManagerWindowsGoToTheBottomAndAskToBeActive) {
    if (!Installed("openbox")) GTEST_SKIP() << "openbox is not installed";
    StartWindowManager();
    const ::Window root = DefaultRootWindow(dpy);
    auto stacking = [&] { return Property(dpy, root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW); };  // bottom first
    auto index = [&](::Window w) {
        const auto list = stacking();
        return std::find(list.begin(), list.end(), long(w)) - list.begin();
    };
    auto managed = [&](::Window w) { return std::size_t(index(w)) < stacking().size(); };
    // Another program's window. A window manager that is still starting may
    // drop a map request, so it is asked again until it has taken the window.
    const ::Window foreign = XCreateSimpleWindow(dpy, root, 100, 80, 200, 100, 0, 0, 0);
    ASSERT_TRUE(Eventually([&] {
        if (managed(foreign)) return true;
        XUnmapWindow(dpy, foreign);
        XMapWindow(dpy, foreign);
        XSync(dpy, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return managed(foreign);
    }));
    HWND ours = Make(RECT{50, 50, 250, 150});
    const ::Window xid = plat::ui::NativeWindowId(ours);
    ASSERT_TRUE(Eventually([&] { return managed(xid); }));

    SetForegroundWindow(ours);
    EXPECT_TRUE(Eventually([&] {
        const auto active = Property(dpy, root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return !active.empty() && ::Window(active[0]) == xid;
    })) << "the window manager made it active";
    EXPECT_TRUE(Eventually([&] { return index(xid) > index(foreign); })) << "and raised it";

    SetWindowPos(ours, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(Eventually([&] { return index(xid) < index(foreign); })) << "below the other program's window";

    SetWindowPos(ours, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(Eventually([&] { return HasAtom(dpy, xid, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"); }));
    SetWindowPos(ours, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(Eventually([&] { return !HasAtom(dpy, xid, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"); }))
        << "no longer kept above";

    // The window manager's work area is the monitor's.
    const auto work = Property(dpy, root, "_NET_WORKAREA", XA_CARDINAL);
    ASSERT_GE(work.size(), 4u);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_TRUE(area == (RECT{LONG(work[0]), LONG(work[1]), LONG(work[0] + work[2]), LONG(work[1] + work[3])}));
    XDestroyWindow(dpy, foreign);
    DestroyWindow(ours);
}

TEST_F(Desktop, OpacityShowsOnlyWithACompositor) {
    HWND panel = Make(RECT{10, 10, 110, 60}, WS_EX_LAYERED);
    SetLastError(0);
    EXPECT_FALSE(SetLayeredWindowAttributes(panel, 0, 128, LWA_ALPHA));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED) << "nothing composes the screen";
    if (!Installed("xcompmgr")) GTEST_SKIP() << "xcompmgr is not installed";
    helpers.push_back(StartProgram(display, "xcompmgr"));
    ASSERT_TRUE(Eventually([&] { return XGetSelectionOwner(dpy, XInternAtom(dpy, "_NET_WM_CM_S0", False)) != None; }));
    EXPECT_TRUE(SetLayeredWindowAttributes(panel, 0, 128, LWA_ALPHA));
    plat::ui::CurrentBackend().Flush();
    const auto opacity = Property(dpy, plat::ui::NativeWindowId(panel), "_NET_WM_WINDOW_OPACITY", XA_CARDINAL);
    ASSERT_EQ(opacity.size(), 1u);
    EXPECT_EQ(std::uint32_t(opacity[0]), 0x80808080u);
    DestroyWindow(panel);
}

TEST_F(Desktop, ADisplayThatGoesAwayEndsTheSession) {
    HWND panel = Make(RECT{10, 10, 110, 60});
    plat::ui::EndSessionOnSignals();
    XSetIOErrorExitHandler(dpy, [](Display*, void*) {}, nullptr);  // the test's own connection breaks too
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    server = -1;
    // Any request now finds the connection gone.
    SetWindowPos(panel, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    plat::ui::CurrentBackend().Flush();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    EXPECT_EQ(g_ending, (std::vector<UINT>{WM_QUERYENDSESSION, WM_ENDSESSION, WM_CLOSE}));
    DestroyWindow(panel);
    // Xlib cannot close a broken connection: it is kept for the process's life.
    static auto* const broken = new std::vector<Display*>;
    broken->push_back(std::exchange(dpy, nullptr));
    plat::ui::ShutdownBackend();
}
