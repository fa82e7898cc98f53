#include "LumexDesktop.h"

#include "xvfb_support.h"  // brings the test framework, before Xlib's macros
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "net/loopback_port.h"
#include "ui/bitmap.h"
#include "ui/image_file.h"

// Xlib last: its macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace desktop {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(30);
// A small laptop's screen: room for the demo machine's window with its
// options strip open.
constexpr char kScreen[] = "1024x600x24";

void Stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

// Windows come and go while the window manager starts: a request about one
// that has just gone is no reason to end the process.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

bool Exists(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

// The top-level client window titled `title`, at any depth below `parent`
// (a window manager puts clients into frames of its own).
Window FindByName(Display* dpy, Window parent, const char* title) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable &&
            XFetchName(dpy, children[i], &name) && name && std::string(name) == title)
            found = children[i];
        if (name) XFree(name);
        if (!found) found = FindByName(dpy, children[i], title);
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

LumexDesktop::~LumexDesktop() {
    Stop(m_lumex);
    Stop(m_sentrak);
    Stop(m_kernel);
    if (m_dpy) XCloseDisplay(m_dpy);
    Stop(m_wm);
    Stop(m_xvfb);
    if (!m_root.empty()) std::filesystem::remove_all(m_root);
}

pid_t LumexDesktop::Spawn(const std::vector<std::string>& argv, const std::string& log) const {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    setenv("DISPLAY", m_display.c_str(), 1);
    setenv("LUMETRA_ROOT", m_root.c_str(), 1);
    setenv("LUMETRA_DEVICES", m_options.devices.c_str(), 1);
    setenv("LUMETRA_SMART_PORT", m_port.c_str(), 1);
    setenv("LUMETRA_FILE_CHOOSER", "builtin", 1);  // the same save dialog on every desktop
    unsetenv("LUMETRA_UI_BACKEND");
    unsetenv("LUMETRA_KERNEL_SOCKET");
    const int out = open((m_root + "/" + log).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
    if (chdir(m_root.c_str()) != 0) _exit(126);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

bool LumexDesktop::WaitForLine(const std::string& log, const std::string& text, pid_t pid) const {
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(m_root + "/" + log);
        std::stringstream all;
        all << in.rdbuf();
        if (all.str().find(text) != std::string::npos) return true;
        if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool LumexDesktop::StartServices(std::string* error) {
    char pattern[] = "/tmp/lumex-desktop-XXXXXX";
    if (!mkdtemp(pattern)) return *error = "no private folder", false;
    m_root = pattern;
    m_port = std::to_string(plat::net::FreeLoopbackPort());
    m_xvfb = xvfbtest::StartXvfb(&m_display, kScreen);
    if (m_xvfb <= 0) return *error = "Xvfb did not start", false;
    m_dpy = XOpenDisplay(m_display.c_str());
    if (!m_dpy) return *error = "cannot open " + m_display, false;
    XSetErrorHandler(IgnoreXErrors);
    if (Exists("/usr/bin/openbox")) {
        m_wm = Spawn({"/usr/bin/openbox"}, "openbox.log");
        const Atom check = XInternAtom(m_dpy, "_NET_SUPPORTING_WM_CHECK", False);
        for (int i = 0; i < 300; ++i) {
            Atom type = 0;
            int format = 0;
            unsigned long n = 0, after = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(m_dpy, DefaultRootWindow(m_dpy), check, 0, 1, False, XA_WINDOW, &type, &format, &n,
                               &after, &data);
            if (data) XFree(data);
            if (n == 1) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    std::vector<std::string> kernel{m_paths.kernel};
    if (!m_options.scenario.empty()) kernel.insert(kernel.end(), {"--scenario", m_options.scenario});
    m_kernel = Spawn(kernel, "kernel.log");
    if (!WaitForLine("kernel.log", "ready", m_kernel)) return *error = "lumetra-kernel did not start", false;
    m_sentrak = Spawn({m_paths.sentrak}, "sentrak.log");
    if (!WaitForLine("sentrak.log", "listening on port", m_sentrak)) return *error = "sentrak did not start", false;
    return true;
}

bool LumexDesktop::StartLumex(std::string* error) {
    m_lumex = Spawn({m_paths.lumex}, "lumex.log");
    if (!FindWindow()) return *error = "no window titled Zelmor Lumetra", false;
    return true;
}

int LumexDesktop::WaitForLumexExit() {
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(m_lumex, &status, WNOHANG) == m_lumex) {
            m_lumex = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

bool LumexDesktop::FindWindow() {
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        m_window = FindByName(m_dpy, DefaultRootWindow(m_dpy), "Zelmor Lumetra");
        XWindowAttributes a;
        if (m_window && XGetWindowAttributes(m_dpy, m_window, &a)) {
            m_width = a.width;
            m_height = a.height;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

int LumexDesktop::Kctl(const std::vector<std::string>& words) const {
    std::vector<std::string> argv{m_paths.kctl};
    argv.insert(argv.end(), words.begin(), words.end());
    const pid_t pid = Spawn(argv, "kctl.log");
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::uint32_t LumexDesktop::Pixel(int x, int y) const {
    XImage* image = XGetImage(m_dpy, m_window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFF;
    const std::uint32_t pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

bool LumexDesktop::IsAbove() const {
    const Atom state = XInternAtom(m_dpy, "_NET_WM_STATE", False);
    const Atom above = XInternAtom(m_dpy, "_NET_WM_STATE_ABOVE", False);
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(m_dpy, m_window, state, 0, 32, False, XA_ATOM, &type, &format, &n, &after, &data) ==
            Success && data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < n; ++i) found |= atoms[i] == above;
        XFree(data);
    }
    return found;
}

bool LumexDesktop::Screenshot(const std::string& path) const {
    const Window root = DefaultRootWindow(m_dpy);
    XWindowAttributes a;
    XGetWindowAttributes(m_dpy, root, &a);
    XImage* image = XGetImage(m_dpy, root, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image) return false;
    plat::ui::Bitmap bitmap(a.width, a.height, 32);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) bitmap.Set(x, y, std::uint32_t(XGetPixel(image, x, y) & 0xFFFFFF) | 0xFF000000u);
    XDestroyImage(image);
    return plat::ui::WritePng(path, bitmap);
}

bool LooksIdle(std::uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r == g && g == b;
}

bool LooksReading(std::uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return g > r + 60 && g > b;
}

}  // namespace desktop
