// The X11 notification area against a private Xvfb server and the test
// tray manager (x11_test_tray.h). Skipped when Xvfb is not installed.
#include <gtest/gtest.h>

#include "ui/icon.h"
#include "ui/registered_messages.h"
#include "ui/tray_icon.h"
#include "ui/ui.h"
#include "x11_client_test.h"

// Xlib's macros come last: they clash with GoogleTest's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include "x11_test_tray.h"

#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr UINT WM_TRAY = WM_APP + 7;
constexpr unsigned long kTrayBackground = 0x406080;
constexpr unsigned long kRed = 0xDC1E1E;
constexpr unsigned long kBlue = 0x1E1EDC;

std::vector<LPARAM> g_trayMessages;
int g_taskbarsCreated = 0;
int g_traysStopped = 0;

LRESULT OwnerProc(HWND hwnd, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_TRAY && w == 1) g_trayMessages.push_back(l);
    if (m == RegisterWindowMessageW(plat::ui::kTrayStartedMessage)) ++g_taskbarsCreated;
    if (m == RegisterWindowMessageW(plat::ui::kTrayStoppedMessage)) ++g_traysStopped;
    return DefWindowProcW(hwnd, m, w, l);
}

using xvfbtest::TestTray;

// A manager that gives icons `embed_size` pixels (0: leaves them as they
// come) and announces `icon_size` (0: none).
std::unique_ptr<TestTray> MakeTray(Display* dpy, long icon_size, int embed_size, bool offer_alpha_visual) {
    TestTray::Look look;
    look.background = kTrayBackground;
    look.iconSize = icon_size;
    look.embedSize = embed_size;
    look.offerAlphaVisual = offer_alpha_visual;
    return std::make_unique<TestTray>(dpy, look);
}

// A 16 x 16 icon: the left half `rgb`, the right half transparent through
// the mask.
HICON MaskedIcon(std::uint32_t rgb) {
    plat::ui::Bitmap color(16, 16, 32), mask(16, 16, 1);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            color.Set(x, y, rgb);
            mask.Set(x, y, x < 8 ? 0 : 0xFFFFFF);
        }
    }
    return plat::ui::MakeIcon(color, &mask);
}

// A 16 x 16 icon with alpha: the top half opaque `rgb`, the bottom half clear.
HICON AlphaIcon(std::uint32_t rgb) {
    plat::ui::Bitmap color(16, 16, 32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) color.Set(x, y, y < 8 ? 0xFF000000u | rgb : 0);
    return plat::ui::MakeIcon(color, nullptr);
}

class X11Tray : public xvfbtest::X11ClientTest {
protected:
    void SetUp() override {
        X11ClientTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(plat::ui::BackendName(), "x11");
        WNDCLASSEXW wc;
        wc.lpfnWndProc = &OwnerProc;
        wc.lpszClassName = u"TrayOwner";
        ASSERT_NE(RegisterClassExW(&wc), 0);
        owner = CreateWindowExW(0, u"TrayOwner", u"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        if (dpy) DestroyWindow(owner);
        X11ClientTest::TearDown();
    }

    NOTIFYICONDATAW Data(HICON icon, const char16_t* tip) {
        NOTIFYICONDATAW nid;
        nid.hWnd = owner;
        nid.uID = 1;
        nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        nid.uCallbackMessage = WM_TRAY;
        nid.hIcon = icon;
        std::copy_n(tip, std::char_traits<char16_t>::length(tip), nid.szTip);
        return nid;
    }

    // Serves the tray and dispatches the owner's messages until `done`
    // holds, waiting for X events in between; false after about ten seconds.
    bool WaitFor(TestTray* tray, const std::function<bool()>& done) {
        for (int round = 0; round < 1000; ++round) {
            if (tray) tray->Serve();
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            if (done()) return true;
            pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
            poll(&fd, 1, 10);
        }
        return false;
    }

    // The icon window's pixel, 0xRRGGBB (0xAARRGGBB in an alpha visual).
    unsigned long Pixel(::Window w, int x, int y) {
        XImage* image = XGetImage(dpy, w, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return ~0ul;
        const unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return p;
    }

    XWindowAttributes Attributes(::Window w) {
        XWindowAttributes a{};
        XGetWindowAttributes(dpy, w, &a);
        return a;
    }

    std::string Name(::Window w) {
        char* name = nullptr;
        XFetchName(dpy, w, &name);
        std::string out = name ? name : "";
        if (name) XFree(name);
        return out;
    }

    // The mapped override-redirect window at the root: the hover tip.
    ::Window ShownTip() {
        ::Window root, parent, *children = nullptr;
        unsigned n = 0;
        XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n);
        ::Window tip = 0;
        for (unsigned i = 0; i < n; ++i) {
            const XWindowAttributes a = Attributes(children[i]);
            if (a.override_redirect && a.map_state == IsViewable) tip = children[i];
        }
        if (children) XFree(children);
        return tip;
    }

    void Send(::Window w, int type, unsigned button, Time time) {
        XEvent ev{};
        ev.type = type;
        ev.xany.window = w;
        if (type == ButtonPress || type == ButtonRelease) {
            ev.xbutton.button = button;
            ev.xbutton.time = time;
        } else {
            ev.xcrossing.x_root = 310;
            ev.xcrossing.y_root = 10;
        }
        XSendEvent(dpy, w, False, 0, &ev);
        XFlush(dpy);
    }

    HWND owner = nullptr;
};

TEST_F(X11Tray, IconsDockPaintReportClicksAndComeBackWithANewManager) {
    NOTIFYICONDATAW nid = Data(MaskedIcon(kRed), u"Zelmor Lumetra");

    // No manager: nothing shows, and a program knows to minimise instead.
    EXPECT_FALSE(plat::ui::TrayAvailable());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &nid));
    EXPECT_TRUE(plat::ui::TrayIcons().empty());

    // A manager that gives icons 24 pixels without announcing a size.
    auto first = MakeTray(dpy, 0, 24, false);
    ASSERT_TRUE(WaitFor(first.get(), [] { return plat::ui::TrayAvailable(); }));
    EXPECT_TRUE(WaitFor(first.get(), [] { return g_taskbarsCreated == 1; })) << "windows are told the tray started";
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &nid));
    ASSERT_TRUE(WaitFor(first.get(), [&] { return !first->Docked().empty(); })) << "no dock request";
    const ::Window icon = first->Docked()[0];
    EXPECT_EQ(Name(icon), "Zelmor Lumetra");
    ASSERT_TRUE(WaitFor(first.get(), [&] { return Pixel(icon, 23, 23) == kTrayBackground && Pixel(icon, 0, 23) == kRed; }))
        << "the icon fills the 24 pixels: red left, the tray's background through the mask on the right; got "
        << std::hex << Pixel(icon, 0, 23) << " " << Pixel(icon, 23, 23);

    // Clicks reach the owner as its callback message.
    Send(icon, ButtonPress, Button3, 1000);
    Send(icon, ButtonRelease, Button3, 1010);
    ASSERT_TRUE(WaitFor(first.get(), [] { return g_trayMessages.size() >= 2; }));
    EXPECT_EQ(g_trayMessages, (std::vector<LPARAM>{WM_RBUTTONDOWN, WM_RBUTTONUP}));
    g_trayMessages.clear();
    for (Time t : {5000, 5100}) {
        Send(icon, ButtonPress, Button1, t);
        Send(icon, ButtonRelease, Button1, t + 10);
    }
    Send(icon, ButtonPress, Button1, 9000);  // long after: a single click again
    ASSERT_TRUE(WaitFor(first.get(), [] { return g_trayMessages.size() >= 5; }));
    EXPECT_EQ(g_trayMessages,
              (std::vector<LPARAM>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_LBUTTONDOWN}));

    // Hovering shows the tip in the tooltip's colours; leaving hides it.
    Send(icon, EnterNotify, 0, 0);
    ::Window tip = 0;
    ASSERT_TRUE(WaitFor(first.get(), [&] { return (tip = ShownTip()) != 0 && Pixel(tip, 1, 1) == 0xFFFFE1; }));
    EXPECT_EQ(Pixel(tip, 0, 0), 0x000000u) << "the frame";
    EXPECT_GT(Attributes(tip).width, 40) << "as wide as its text";
    Send(icon, LeaveNotify, 0, 0);
    EXPECT_TRUE(WaitFor(first.get(), [&] { return ShownTip() == 0; }));

    // A new image and tip repaint the docked window.
    NOTIFYICONDATAW blue = Data(AlphaIcon(kBlue), u"2 drives");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &blue));
    EXPECT_TRUE(WaitFor(first.get(), [&] { return Pixel(icon, 23, 0) == kBlue && Pixel(icon, 23, 23) == kTrayBackground; }))
        << "blue above, the tray's background below where the icon is clear";
    EXPECT_EQ(Name(icon), "2 drives");

    // The manager quits: its icon windows went with it, the icon stays.
    first->Quit();
    ASSERT_TRUE(WaitFor(first.get(), [] { return !plat::ui::TrayAvailable(); }));
    EXPECT_TRUE(WaitFor(nullptr, [] { return g_traysStopped == 1; })) << "windows are told the tray stopped";
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &blue)) << "kept for the next manager";
    ASSERT_EQ(plat::ui::TrayIcons().size(), 1u);

    // The next manager announces 16-pixel icons and offers an alpha visual.
    auto second = MakeTray(dpy, 16, 0, true);
    ASSERT_TRUE(WaitFor(second.get(), [&] { return !second->Docked().empty(); })) << "docked again";
    const ::Window again = second->Docked()[0];
    EXPECT_EQ(Attributes(again).width, 16);
    EXPECT_EQ(Name(again), "2 drives");
    if (second->OffersAlpha()) {
        EXPECT_EQ(Attributes(again).depth, 32);
        EXPECT_TRUE(WaitFor(second.get(), [&] { return Pixel(again, 0, 0) == (0xFF000000 | kBlue) && Pixel(again, 0, 15) == 0; }))
            << "premultiplied: opaque blue, clear below; got " << std::hex << Pixel(again, 0, 0) << " " << Pixel(again, 0, 15);
    } else {
        EXPECT_TRUE(WaitFor(second.get(), [&] { return Pixel(again, 0, 0) == kBlue; }));
    }

    // Deleting the icon destroys its window.
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &nid));
    EXPECT_TRUE(WaitFor(second.get(), [&] { return second->Docked().empty(); }));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &blue));
}

}  // namespace
