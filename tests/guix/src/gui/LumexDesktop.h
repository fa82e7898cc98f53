// lumex as a person runs it, on a private X11 desktop: a private Xvfb with
// openbox as window manager (when installed), the kernel host lumetra-kernel
// with blinkor on its simulated machine and the S.M.A.R.T. service sentrak on
// its simulated drives (a free loopback port), all state under a private
// LUMETRA_ROOT. Used by the X11 test and by bench_gui.
//
// Everything it starts ends with it (SIGTERM, then SIGKILL), and every
// child also ends if this process dies first.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace desktop {

struct Paths {
    std::string lumex, kernel, kctl, sentrak;
};

struct Options {
    // LUMETRA_DEVICES of the service: "default" or a profile's path.
    std::string devices = "default";
    // The kernel host's scenario file; empty: its built-in machine.
    std::string scenario;
};

class LumexDesktop {
public:
    explicit LumexDesktop(Paths paths, Options options = {})
        : m_paths(std::move(paths)), m_options(std::move(options)) {}
    ~LumexDesktop();
    LumexDesktop(const LumexDesktop&) = delete;
    LumexDesktop& operator=(const LumexDesktop&) = delete;

    // StartServices, then StartLumex. False with a reason.
    bool Start(std::string* error) { return StartServices(error) && StartLumex(error); }
    // The display, the window manager, the host and the service.
    bool StartServices(std::string* error);
    // lumex (again, after it ended), waited for (up to 30 s) until its
    // window shows.
    bool StartLumex(std::string* error);
    // Waits (up to 30 s) for lumex to end; its exit status, -1 when it did
    // not end by itself or was ended by a signal.
    int WaitForLumexExit();

    // lumetra-kctl with `words` on this desktop's host; its exit status.
    int Kctl(const std::vector<std::string>& words) const;
    // The pixel (0x00RRGGBB) lumex's window shows at a point of its own;
    // 0xFFFFFFFF when it cannot be read.
    std::uint32_t Pixel(int x, int y) const;
    // Whether the window manager keeps lumex's window above the others.
    bool IsAbove() const;
    bool HasWindowManager() const { return m_wm > 0; }
    // The whole screen as a PNG.
    bool Screenshot(const std::string& path) const;
    int WindowWidth() const { return m_width; }
    int WindowHeight() const { return m_height; }
    pid_t LumexPid() const { return m_lumex; }
    const std::string& Root() const { return m_root; }
    _XDisplay* XDisplay() const { return m_dpy; }
    unsigned long WindowId() const { return m_window; }

private:
    pid_t Spawn(const std::vector<std::string>& argv, const std::string& log) const;
    bool WaitForLine(const std::string& log, const std::string& text, pid_t pid) const;
    bool FindWindow();

    Paths m_paths;
    Options m_options;
    std::string m_root;
    std::string m_display;
    std::string m_port;
    _XDisplay* m_dpy = nullptr;
    unsigned long m_window = 0;
    int m_width = 0, m_height = 0;
    pid_t m_xvfb = -1, m_wm = -1, m_kernel = -1, m_sentrak = -1, m_lumex = -1;
};

// A point of the first LED of the first row (the disks' C: on the simulated
// machine) that the letter does not cover: the LED starts at (38, 4) with the
// product's layout values (spacing 2, margin 2, the row icon's 32 pixels).
inline constexpr int kFirstLedProbeX = 38 + 16;
inline constexpr int kFirstLedProbeY = 4 + 12;

// Classifications of a pixel of an LED, by its colour: the idle look is
// grey, the read look green, the write look orange.
bool LooksIdle(std::uint32_t pixel);
bool LooksReading(std::uint32_t pixel);

}  // namespace desktop
