// The skin engine on a real X server (a private Xvfb): under openbox, with a
// dock whose strut takes the screen's left 40 pixels from the work area, a
// skinned dialog snaps to the work area's edge beside the dock and, docked
// there with auto-hide on, slides out of sight when the pointer is elsewhere
// and back in when it comes to the strip left at the edge; and skin-demo
// photographs its window (--screenshot). Skipped without Xvfb, the first
// also without openbox.
#include <gtest/gtest.h>

#include <png.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "resource/module.h"
#include "skin/Skin.h"
#include "ui/backend.h"
#include "ui/framework_app.h"
#include "ui/ui.h"
#include "ui/x11/x11_backend.h"
#include "png_rows.h"
#include "x11_client_test.h"

// Xlib's macros come last: they clash with GoogleTest's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// res/skin_test.rcs: a 200 x 60 popup template and the coded skin, whose
// face pixel at (x, y) is (10, x, y).
constexpr UINT kTemplate = 900;
constexpr UINT kFace = 101, kMask = 102, kHover = 103, kPressed = 104, kDisabled = 105;
constexpr int kDockWidth = 40;

class SkinDialogOnX11 : public CSkinDialog {
public:
    SkinDialogOnX11() : CSkinDialog(kTemplate) {}
    ~SkinDialogOnX11() override { DestroyWindow(); }
};

bool Installed(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null").c_str()) == 0;
}

// Dispatches the program's messages until `done` holds; false after about
// twenty seconds (a loaded machine, a window manager still starting).
bool PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2000; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        GdiFlush();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

class SkinOnX11 : public xvfbtest::X11ClientTest {
protected:
    void TearDown() override {
        AfxSetResourceHandle(nullptr);
        if (m_library) FreeLibrary(m_library);
        X11ClientTest::TearDown();
    }
    // openbox, and a dock along the left edge; waits until the window
    // manager has taken the dock's strut out of the work area.
    void StartDesktop() {
        const pid_t wm = fork();
        if (wm == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            execlp("openbox", "openbox", static_cast<char*>(nullptr));
            _exit(127);
        }
        helpers.push_back(wm);
        const ::Window root = DefaultRootWindow(dpy);
        const ::Window dock = XCreateSimpleWindow(dpy, root, 0, 0, kDockWidth, 480, 0, 0, 0x303030);
        const Atom type = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_DOCK", False);
        XChangeProperty(dpy, dock, XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&type), 1);
        const long strut[12] = {kDockWidth, 0, 0, 0, 0, 479, 0, 0, 0, 0, 0, 0};
        XChangeProperty(dpy, dock, XInternAtom(dpy, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(strut), 12);
        XChangeProperty(dpy, dock, XInternAtom(dpy, "_NET_WM_STRUT", False), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(strut), 4);
        // A window manager that is still starting may drop the map request:
        // asked again until the work area shows the strut.
        ASSERT_TRUE(PumpUntil([&] {
            if (WorkAreaLeft() == kDockWidth) return true;
            XUnmapWindow(dpy, dock);
            XMapWindow(dpy, dock);
            XSync(dpy, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return WorkAreaLeft() == kDockWidth;
        })) << "openbox never set a work area beside the dock";
    }
    long WorkAreaLeft() const {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        long left = -1;
        if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, "_NET_WORKAREA", False), 0, 4, False,
                               XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
            data && format == 32 && count >= 4)
            left = reinterpret_cast<const long*>(data)[0];
        if (data) XFree(data);
        return left;
    }
    void LoadSkinLibrary() {
        m_library = LoadLibraryW(plat::resource::WindowsPath(SKIN_TEST_LIBRARY).c_str());
        ASSERT_NE(m_library, nullptr) << GetLastError();
        AfxSetResourceHandle(m_library);
    }
    // Where the X server shows a window, in root coordinates.
    RECT OnScreen(HWND hwnd) const {
        plat::ui::CurrentBackend().Flush();
        const ::Window xid = plat::ui::NativeWindowId(hwnd);
        XWindowAttributes attrs{};
        ::Window child;
        int x = 0, y = 0;
        if (!XGetWindowAttributes(dpy, xid, &attrs) || attrs.map_state != IsViewable) return RECT{};
        XTranslateCoordinates(dpy, xid, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
        return RECT{x, y, x + attrs.width, y + attrs.height};
    }
    // What the screen shows at a root point (0x00RRGGBB).
    unsigned long ScreenPixel(int x, int y) const {
        XImage* image = XGetImage(dpy, DefaultRootWindow(dpy), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xFFFFFFFF;
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return pixel;
    }
    // Moves the real pointer, as a person would.
    void Warp(int x, int y) {
        XWarpPointer(dpy, None, DefaultRootWindow(dpy), 0, 0, 0, 0, x, y);
        XSync(dpy, False);
    }

    HMODULE m_library = nullptr;
};

}  // namespace

TEST_F(SkinOnX11, UnderAWindowManagerItSnapsBesideTheDockAndSlidesOutAndBackThere) {
    if (!Installed("openbox")) GTEST_SKIP() << "openbox is not installed";
    StartDesktop();
    LoadSkinLibrary();
    Warp(500, 400);
    SkinDialogOnX11 dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.LoadSkinBitmaps(kFace, kMask, kHover, kPressed, kDisabled);
    dialog.EnableSnap(TRUE);
    dialog.SetAutoHide(TRUE);
    SetWindowPos(dialog.m_hWnd, nullptr, 200, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    dialog.ShowWindow(SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return OnScreen(dialog.m_hWnd) == RECT{200, 200, 400, 260}; }));

    // Dropped 10 pixels right of the dock: it lands on the work area's edge,
    // not on the screen's.
    SetWindowPos(dialog.m_hWnd, nullptr, kDockWidth + 10, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const RECT docked{kDockWidth, 200, kDockWidth + 200, 260};
    EXPECT_TRUE(PumpUntil([&] { return OnScreen(dialog.m_hWnd) == docked; }));
    EXPECT_TRUE(dialog.IsDocked());
    EXPECT_EQ(dialog.DockEdge(), skin::kEdgeLeft);

    // The pointer is elsewhere: after its 1.5 s the window slides out,
    // leaving a strip of 3 pixels at the edge.
    const RECT strip{kDockWidth, 200, kDockWidth + 3, 260};
    EXPECT_TRUE(PumpUntil([&] { return OnScreen(dialog.m_hWnd) == strip; })) << "slid out of sight";
    EXPECT_TRUE(dialog.IsHidden());
    EXPECT_NE(ScreenPixel(kDockWidth + 100, 230), 0x0A641Eu) << "the face is gone from the screen";

    Warp(kDockWidth + 1, 230);  // onto the strip
    EXPECT_TRUE(PumpUntil([&] { return OnScreen(dialog.m_hWnd) == docked; })) << "slid back in";
    EXPECT_FALSE(dialog.IsHidden());
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(kDockWidth + 100, 230) == 0x0A641Eu; }))
        << "the face's pixel (10, 100, 30) is on the screen again";
}


// skin-demo's window as the screen shows it: the skin's shape against the
// root, its face where no control sits, and the labels' text drawn on it.
TEST_F(SkinOnX11, SkinDemoPhotographsItsWindow) {
    const auto dir = std::filesystem::temp_directory_path() / ("skin_demo_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string shot = (dir / "skin-demo.png").string();
    const pid_t demo = fork();
    if (demo == 0) {
        unsetenv("LUMETRA_UI_BACKEND");
        execl(SKIN_DEMO_PATH, "skin-demo", "--screenshot", shot.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(demo, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "skin-demo failed";
    int width = 0, face_width = 0;
    const auto rows = xvfbtest::ReadPng(shot, &width);
    const auto face = xvfbtest::ReadPng(SKIN_DEMO_FACE, &face_width);
    std::filesystem::remove_all(dir);
    ASSERT_EQ(width, 320);
    ASSERT_EQ(rows.size(), 100u);
    ASSERT_EQ(face_width, 320);
    auto rgb = [](const std::vector<std::vector<png_byte>>& image, int x, int y) {
        const png_byte* p = &image[std::size_t(y)][std::size_t(x) * 4];
        return unsigned(p[0]) << 16 | unsigned(p[1]) << 8 | p[2];
    };
    EXPECT_EQ(rgb(rows, 0, 0), 0u) << "the rounded corner is cut away: the root shows";
    EXPECT_EQ(rgb(rows, 319, 99), 0u);
    for (const POINT p : {POINT{160, 2}, POINT{160, 96}, POINT{6, 50}, POINT{315, 50}})
        EXPECT_EQ(rgb(rows, int(p.x), int(p.y)), rgb(face, int(p.x), int(p.y)))
            << "the face, untinted, at " << p.x << "," << p.y;
    int text = 0;  // the title label's light text on the dark face
    for (int y = 5; y < 20; ++y)
        for (int x = 14; x < 214; ++x) text += (rgb(rows, x, y) & 0xFF) > 200 && (rgb(face, x, y) & 0xFF) < 150;
    EXPECT_GT(text, 40) << "the title's text";
}
