#include "LumexDesktop.h"

#include "xvfb_support.h"  // brings the test framework, before Xlib's macros
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "net/loopback_port.h"
#include "ui/bitmap.h"
#include "ui/image_file.h"

// Xlib last: its macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <poll.h>

#include "x11_test_tray.h"

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

// The notification area at the bottom right of the screen, served by a
// thread with a display connection of its own.
class LumexDesktop::Tray {
public:
    static constexpr int kWidth = 200, kHeight = 40;

    explicit Tray(const std::string& display) : m_thread([this, display] { Serve(display); }) {}
    ~Tray() {
        m_stop = true;
        m_thread.join();
    }
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    ::Window Window() const { return m_window.load(); }
    std::vector<::Window> Docked() const {
        std::lock_guard lock(m_lock);
        return m_tray ? m_tray->Docked() : std::vector<::Window>{};
    }

private:
    void Serve(const std::string& name) {
        Display* dpy = XOpenDisplay(name.c_str());
        if (!dpy) return;
        xvfbtest::TestTray::Look look;
        look.width = kWidth;
        look.height = kHeight;
        look.x = DisplayWidth(dpy, DefaultScreen(dpy)) - kWidth;
        look.y = DisplayHeight(dpy, DefaultScreen(dpy)) - kHeight;
        look.panel = true;
        {
            std::lock_guard lock(m_lock);
            m_tray = std::make_unique<xvfbtest::TestTray>(dpy, look);
        }
        m_window = m_tray->Window();
        XSync(dpy, False);
        while (!m_stop.load()) {
            m_tray->Serve();
            pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
            poll(&fd, 1, 20);
        }
        {
            std::lock_guard lock(m_lock);
            m_tray.reset();
        }
        XCloseDisplay(dpy);
    }

    std::atomic<bool> m_stop{false};
    std::atomic<::Window> m_window{0};
    mutable std::mutex m_lock;  // guards m_tray's existence
    std::unique_ptr<xvfbtest::TestTray> m_tray;
    std::thread m_thread;
};

LumexDesktop::LumexDesktop(Paths paths, Options options)
    : m_paths(std::move(paths)), m_options(std::move(options)) {}

LumexDesktop::~LumexDesktop() {
    Stop(m_lumex);
    Stop(m_sentrak);
    Stop(m_kernel);
    m_tray.reset();
    if (m_dpy) XCloseDisplay(m_dpy);
    Stop(m_compositor);
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
    setenv("HOME", (m_root + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
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

bool LumexDesktop::WaitForSelection(const char* name) const {
    const Atom selection = XInternAtom(m_dpy, name, False);
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (XGetSelectionOwner(m_dpy, selection) != 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool LumexDesktop::StartServices(std::string* error) {
    char pattern[] = "/tmp/lumex-desktop-XXXXXX";
    if (!mkdtemp(pattern)) return *error = "no private folder", false;
    m_root = pattern;
    for (const char* dir : {"/home", "/config"}) std::filesystem::create_directories(m_root + dir);
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
    if (m_options.compositor) {
        if (!Exists("/usr/bin/xcompmgr")) return *error = "xcompmgr is not installed (package xcompmgr)", false;
        m_compositor = Spawn({"/usr/bin/xcompmgr"}, "xcompmgr.log");
        if (!WaitForSelection("_NET_WM_CM_S0")) return *error = "xcompmgr did not take the screen", false;
    }
    if (m_options.tray) {
        m_tray = std::make_unique<Tray>(m_display);
        if (!WaitForSelection("_NET_SYSTEM_TRAY_S0")) return *error = "the test tray did not start", false;
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

std::string LumexDesktop::Smart(const std::vector<std::string>& words) const {
    std::vector<std::string> argv{m_paths.smart};
    argv.insert(argv.end(), words.begin(), words.end());
    const std::string log = "smart.out";
    std::filesystem::remove(m_root + "/" + log);
    waitpid(Spawn(argv, log), nullptr, 0);
    std::ifstream in(m_root + "/" + log);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::uint32_t LumexDesktop::PixelOf(unsigned long window, int x, int y) const {
    XImage* image = XGetImage(m_dpy, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFF;
    const std::uint32_t pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

std::uint32_t LumexDesktop::ScreenPixel(int x, int y) const { return PixelOf(DefaultRootWindow(m_dpy), x, y); }

bool LumexDesktop::Place(unsigned long window, Placed* place) const {
    XWindowAttributes a;
    ::Window child = 0;
    if (!window || !XGetWindowAttributes(m_dpy, window, &a) || a.map_state != IsViewable) return false;
    *place = Placed{window, 0, 0, a.width, a.height};
    return XTranslateCoordinates(m_dpy, window, DefaultRootWindow(m_dpy), 0, 0, &place->x, &place->y, &child);
}

bool LumexDesktop::WindowPlace(Placed* place) const { return Place(m_window, place); }

std::string LumexDesktop::LumexLibrary() const {
    return (std::filesystem::path(m_paths.lumex).parent_path() / "LUMEXRS.DLL").string();
}

bool LumexDesktop::TrayIcon(Placed* icon) const {
    const std::vector<::Window> docked = m_tray ? m_tray->Docked() : std::vector<::Window>{};
    return !docked.empty() && Place(docked.front(), icon);
}

bool LumexDesktop::TrayPlace(Placed* tray) const { return m_tray && Place(m_tray->Window(), tray); }

std::string LumexDesktop::TitleOf(unsigned long window) const {
    char* name = nullptr;
    XFetchName(m_dpy, window, &name);
    const std::string title = name ? name : "";
    if (name) XFree(name);
    return title;
}

void LumexDesktop::Send(unsigned long window, int type, int x, int y, unsigned button) const {
    const ::Window root = DefaultRootWindow(m_dpy);
    XWarpPointer(m_dpy, 0, root, 0, 0, 0, 0, x, y);
    XEvent ev{};
    ev.type = type;
    ev.xany.window = window;
    ::Window child = 0;
    int wx = 0, wy = 0;
    XTranslateCoordinates(m_dpy, root, window, x, y, &wx, &wy, &child);
    if (type == MotionNotify) {
        ev.xmotion = XMotionEvent{MotionNotify, 0, False, m_dpy, window, root, 0, CurrentTime, wx, wy, x, y,
                                  button ? Button1Mask : 0u, NotifyNormal, True};
    } else {
        ev.xbutton = XButtonEvent{type, 0, False, m_dpy, window, root, 0, CurrentTime, wx, wy, x, y, 0, button, True};
    }
    XSendEvent(m_dpy, window, False, 0, &ev);
    XSync(m_dpy, False);
}

void LumexDesktop::Click(unsigned long window, int x, int y, unsigned button) const {
    Send(window, ButtonPress, x, y, button);
    Send(window, ButtonRelease, x, y, button);
}

void LumexDesktop::Drag(unsigned long window, int x0, int y0, int x1, int y1) const {
    constexpr int kSteps = 5;
    Send(window, ButtonPress, x0, y0, Button1);
    for (int i = 1; i <= kSteps; ++i)
        Send(window, MotionNotify, x0 + (x1 - x0) * i / kSteps, y0 + (y1 - y0) * i / kSteps, Button1);
    Send(window, ButtonRelease, x1, y1, Button1);
}

namespace {

// The clients below `parent` (a window manager's frame holds one): the
// windows it marked with WM_STATE.
void Clients(Display* dpy, ::Window parent, int depth, std::vector<::Window>* found) {
    ::Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (depth == 0 || !XQueryTree(dpy, parent, &root, &up, &children, &count)) return;
    const Atom wm_state = XInternAtom(dpy, "WM_STATE", False);
    for (unsigned i = 0; i < count; ++i) {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy, children[i], wm_state, 0, 1, False, AnyPropertyType, &type, &format, &n, &after, &data);
        if (data) XFree(data);
        if (type != 0) found->push_back(children[i]);
        else Clients(dpy, children[i], depth - 1, found);
    }
    if (children) XFree(children);
}

}  // namespace

std::vector<Placed> LumexDesktop::OtherWindows() const {
    std::vector<Placed> found;
    ::Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(m_dpy, DefaultRootWindow(m_dpy), &root, &up, &children, &count)) return found;
    const ::Window tray = m_tray ? m_tray->Window() : 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (children[i] == tray || children[i] == m_underlay || !XGetWindowAttributes(m_dpy, children[i], &a) ||
            a.map_state != IsViewable)
            continue;
        std::vector<::Window> shown;
        if (a.override_redirect) shown.push_back(children[i]);
        else Clients(m_dpy, children[i], 3, &shown);
        for (const ::Window w : shown)
            if (Placed p; w != m_window && Place(w, &p)) found.push_back(p);
    }
    if (children) XFree(children);
    return found;
}

void LumexDesktop::Underlay(std::uint32_t rgb) {
    const ::Window root = DefaultRootWindow(m_dpy);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = rgb;
    m_underlay = XCreateWindow(m_dpy, root, 0, 0, unsigned(DisplayWidth(m_dpy, DefaultScreen(m_dpy))),
                               unsigned(DisplayHeight(m_dpy, DefaultScreen(m_dpy))), 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapWindow(m_dpy, m_underlay);
    XLowerWindow(m_dpy, m_underlay);
    XSync(m_dpy, False);
}

std::string LumexDesktop::Logs() const {
    std::string all;
    for (const char* name : {"kernel.log", "sentrak.log", "lumex.log", "xcompmgr.log"}) {
        std::ifstream in(m_root + "/" + name);
        if (!in) continue;
        std::stringstream text;
        text << in.rdbuf();
        all += std::string("--- ") + name + "\n" + text.str();
    }
    return all;
}

bool LumexDesktop::ScrollLock() const {
    unsigned state = 0;
    XkbGetIndicatorState(m_dpy, XkbUseCoreKbd, &state);
    return (state & 0x4) != 0;
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

int LumexDesktop::Opacity() const {
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom opacity = XInternAtom(m_dpy, "_NET_WM_WINDOW_OPACITY", False);
    int alpha = 255;
    if (XGetWindowProperty(m_dpy, m_window, opacity, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) ==
            Success && data && n == 1)
        alpha = int((*reinterpret_cast<const unsigned long*>(data) & 0xFFFFFFFFul) >> 24);  // Xlib sign-extends
    if (data) XFree(data);
    return alpha;
}

bool LumexDesktop::IsShaped() const {
    Bool bounding = False, clip = False;
    int x = 0, y = 0, cx = 0, cy = 0;
    unsigned w = 0, h = 0, cw = 0, ch = 0;
    return XShapeQueryExtents(m_dpy, m_window, &bounding, &x, &y, &w, &h, &clip, &cx, &cy, &cw, &ch) && bounding;
}

std::unique_ptr<plat::ui::Bitmap> LumexDesktop::Capture(unsigned long window) const {
    XWindowAttributes a;
    if (!XGetWindowAttributes(m_dpy, window, &a)) return nullptr;
    XImage* image = XGetImage(m_dpy, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image) return nullptr;
    auto bitmap = std::make_unique<plat::ui::Bitmap>(a.width, a.height, 32);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) bitmap->Set(x, y, std::uint32_t(XGetPixel(image, x, y) & 0xFFFFFF) | 0xFF000000u);
    XDestroyImage(image);
    return bitmap;
}

bool LumexDesktop::Screenshot(const std::string& path) const {
    const auto screen = Capture(DefaultRootWindow(m_dpy));
    return screen && plat::ui::WritePng(path, *screen);
}

bool LooksIdle(std::uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r == g && g == b;
}

bool LooksReading(std::uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return g > r + 60 && g > b;
}

bool ShowsWarningBadge(const plat::ui::Bitmap* icon) {
    if (!icon) return false;
    int red = 0;
    for (int y = 0; y < icon->Height(); ++y)
        for (int x = 0; x < icon->Width(); ++x) {
            const std::uint32_t p = icon->Get(x, y);
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            red += r > 180 && g < 110 && b < 90;
        }
    return red > icon->Width() * icon->Height() / 40;
}

}  // namespace desktop
