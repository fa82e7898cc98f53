// lumex as a person runs it, on a private X11 desktop: a private Xvfb with
// openbox as window manager (when installed), optionally a test notification
// area and the xcompmgr compositor, the kernel host lumetra-kernel with
// blinkor on its simulated machine and the S.M.A.R.T. service sentrak on
// simulated drives (a free loopback port), all state under a private
// LUMETRA_ROOT, with a private HOME and XDG_CONFIG_HOME beside it. Used by
// the X11 tests and by bench_gui.
//
// Everything it starts ends with it (SIGTERM, then SIGKILL), and every
// child also ends if this process dies first.
//
// Thread rule: one thread uses the object; the notification area is served
// by a thread of its own.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/bitmap.h"

struct _XDisplay;

namespace desktop {

struct Paths {
    std::string lumex, kernel, kctl, sentrak;
    std::string smart = {};  // lumetra-smart, for tests that ask the service
};

struct Options {
    // A notification area at the bottom right of the screen, as a panel.
    bool tray = false;
    // xcompmgr, started before lumex so that its window can be translucent.
    bool compositor = false;
    // LUMETRA_DEVICES of the service: "default" or a profile's path.
    std::string devices = "default";
    // The kernel host's scenario file; empty: its built-in machine.
    std::string scenario;
};

// A window on the screen: root coordinates and size.
struct Placed {
    unsigned long window = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

class LumexDesktop {
public:
    explicit LumexDesktop(Paths paths, Options options = {});
    ~LumexDesktop();
    LumexDesktop(const LumexDesktop&) = delete;
    LumexDesktop& operator=(const LumexDesktop&) = delete;

    // StartServices, then StartLumex. False with a reason.
    bool Start(std::string* error) { return StartServices(error) && StartLumex(error); }
    // The display, the window manager, the tray and compositor asked for,
    // the host and the service.
    bool StartServices(std::string* error);
    // lumex (again, after it ended), waited for (up to 30 s) until its
    // window shows.
    bool StartLumex(std::string* error);
    // Waits (up to 30 s) for lumex to end; its exit status, -1 when it did
    // not end by itself or was ended by a signal.
    int WaitForLumexExit();

    // lumetra-kctl with `words` on this desktop's host; its exit status.
    int Kctl(const std::vector<std::string>& words) const;
    // lumetra-smart with `words` on this desktop's service; what it printed
    // (standard output and error).
    std::string Smart(const std::vector<std::string>& words) const;
    // The pixel (0x00RRGGBB) lumex's window shows at a point of its own;
    // 0xFFFFFFFF when it cannot be read.
    std::uint32_t Pixel(int x, int y) const { return PixelOf(m_window, x, y); }
    // The same of any window's own content.
    std::uint32_t PixelOf(unsigned long window, int x, int y) const;
    // A window's whole content (0xFFRRGGBB); null when it cannot be read.
    std::unique_ptr<plat::ui::Bitmap> Capture(unsigned long window) const;
    // What the screen shows at a root point (after compositing).
    std::uint32_t ScreenPixel(int x, int y) const;
    // Where lumex's window lies on the screen; false while it is not shown.
    bool WindowPlace(Placed* place) const;
    // Whether the window manager keeps lumex's window above the others.
    bool IsAbove() const;
    // The opacity lumex asked the compositor for (_NET_WM_WINDOW_OPACITY of
    // its window, 0 to 255); 255 without one.
    int Opacity() const;
    // Whether lumex's window has a shape of its own (XShape bounding
    // region), not the plain rectangle.
    bool IsShaped() const;
    bool HasWindowManager() const { return m_wm > 0; }
    bool HasCompositor() const { return m_compositor > 0; }
    // The whole screen as a PNG.
    bool Screenshot(const std::string& path) const;
    int WindowWidth() const { return m_width; }
    int WindowHeight() const { return m_height; }
    pid_t LumexPid() const { return m_lumex; }
    const std::string& Root() const { return m_root; }
    _XDisplay* XDisplay() const { return m_dpy; }
    unsigned long WindowId() const { return m_window; }
    // The private XDG_CONFIG_HOME of the programs.
    std::string ConfigHome() const { return m_root + "/config"; }
    // The resource library lumex loads (beside the program).
    std::string LumexLibrary() const;

    // The window lumex docked into the notification area, with its place;
    // false while there is none.
    bool TrayIcon(Placed* icon) const;
    // A window's name (WM_NAME); a tray icon's is its tip.
    std::string TitleOf(unsigned long window) const;
    // Where the notification area lies; false without one.
    bool TrayPlace(Placed* tray) const;
    // What a click of a person does: the pointer moves to the root point
    // and `button` (1 left, 3 right) is pressed and released on `window`.
    void Click(unsigned long window, int x, int y, unsigned button) const;
    // A drag with the left button from one root point to another.
    void Drag(unsigned long window, int x0, int y0, int x1, int y1) const;
    // The windows shown besides lumex's LED window, the tray and the
    // underlay (menus, tips, dialogs), bottom to top: override-redirect
    // windows and the clients in the window manager's frames.
    std::vector<Placed> OtherWindows() const;
    // The Scroll Lock indicator, read back with XKB.
    bool ScrollLock() const;
    // Covers the screen beneath every other window with one colour
    // (0x00RRGGBB), so that what shows through a window is known.
    void Underlay(std::uint32_t rgb);
    // The programs' logs, each under its name, for a failure's message.
    std::string Logs() const;

private:
    class Tray;
    pid_t Spawn(const std::vector<std::string>& argv, const std::string& log) const;
    bool WaitForLine(const std::string& log, const std::string& text, pid_t pid) const;
    bool WaitForSelection(const char* name) const;
    bool Place(unsigned long window, Placed* place) const;
    // Moves the pointer to a root point and sends `window` a ButtonPress or
    // ButtonRelease of `button`, or a MotionNotify (with the left button
    // held when `button` is not 0), there.
    void Send(unsigned long window, int type, int x, int y, unsigned button) const;
    bool FindWindow();

    Paths m_paths;
    Options m_options;
    std::string m_root;
    std::string m_display;
    std::string m_port;
    _XDisplay* m_dpy = nullptr;
    std::unique_ptr<Tray> m_tray;
    unsigned long m_window = 0;
    unsigned long m_underlay = 0;
    int m_width = 0, m_height = 0;
    pid_t m_xvfb = -1, m_wm = -1, m_compositor = -1, m_kernel = -1, m_sentrak = -1, m_lumex = -1;
};

// Waits (real time, at most `limit`: a loaded machine) until `done` holds.
template <typename Done>
bool Eventually(Done done, std::chrono::seconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A point of the first LED of the first row (the disks' C: on the simulated
// machine) that the letter does not cover: the LED starts at (38, 4) with the
// product's layout values (spacing 2, margin 2, the row icon's 32 pixels).
inline constexpr int kFirstLedProbeX = 38 + 16;
inline constexpr int kFirstLedProbeY = 4 + 12;

// Classifications of a pixel of an LED, by its colour: the idle look is
// grey, the read look green, the write look orange.
bool LooksIdle(std::uint32_t pixel);
bool LooksReading(std::uint32_t pixel);
// Whether an icon shows the red warning badge of the alert icon (208);
// the normal (138) and S.M.A.R.T.-off (277) icons have no red.
bool ShowsWarningBadge(const plat::ui::Bitmap* icon);

}  // namespace desktop
