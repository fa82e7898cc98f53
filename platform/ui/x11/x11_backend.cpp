#include "ui/x11/x11_backend.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "base/executable_path.h"
#include "base/text.h"
#include "ui/session_end.h"
#include "ui/x11/x11_backend_impl.h"
#include "ui/x11/x11_pixels.h"

namespace plat::ui {
namespace {

// The smallest area (in pixels, 128 x 128) presented through shared memory.
constexpr std::int64_t kSharedMinPixels = 128 * 128;

std::mutex g_instanceMutex;
X11Backend* g_instance = nullptr;
// The backend told of a lost connection; read without g_instanceMutex, as
// Xlib calls the handler with the backend's own lock held.
std::atomic<X11Backend*> g_connected{nullptr};

// The running program's file name ("lumex"); "lumetra" when it cannot be read.
std::string ProgramName() {
    const std::string path = Utf16ToUtf8(plat::ExecutablePath());
    const std::string name = std::filesystem::path(path).filename().string();
    return name.empty() ? "lumetra" : name;
}

// _MOTIF_WM_HINTS asking for no decorations: skinned windows draw their own.
struct MotifHints {
    unsigned long flags = 2;  // MWM_HINTS_DECORATIONS
    unsigned long functions = 0;
    unsigned long decorations = 0;
    long inputMode = 0;
    unsigned long status = 0;
};

// Another client's window (a tray manager's) may vanish while a request
// naming it, or one of our windows inside it, is on its way; Xlib's default
// handler would end the program for that. Other errors go on to it.
XErrorHandler g_previousErrorHandler = nullptr;

int IgnoreVanishedWindows(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
    return g_previousErrorHandler ? g_previousErrorHandler(display, error) : 0;
}

// A lost display connection ends the session like a log-off (when the
// program asked for that, session_end.h) instead of ending the process in
// the middle of whatever it did. Called on the thread whose Xlib call
// failed, which holds the backend's lock.
// Xlib's own I/O error handler ends the process before the exit handler
// below is asked; this one leaves the decision to the connection's exit
// handler (Xlib's default one still ends the process).
int ReportConnectionLost(Display*) { return 0; }

void ConnectionLost(Display*, void*) {
    if (X11Backend* backend = g_connected.load()) backend->MarkConnectionLost();
    if (!RequestSessionEnd()) _exit(1);  // the program asked for nothing: it ends, as with Xlib's own handler
}

}  // namespace

std::unique_ptr<Backend> MakeX11Backend() {
    XInitThreads();
    static std::once_flag handler;
    std::call_once(handler, [] {
        g_previousErrorHandler = XSetErrorHandler(&IgnoreVanishedWindows);
        XSetIOErrorHandler(&ReportConnectionLost);
    });
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    XSetIOErrorExitHandler(display, &ConnectionLost, nullptr);
    auto backend = std::make_unique<X11Backend>(display);
    backend->InstallTray();
    std::lock_guard lock(g_instanceMutex);
    g_instance = backend.get();
    g_connected.store(backend.get());
    return backend;
}

unsigned long NativeWindowId(HWND hwnd) {
    std::lock_guard lock(g_instanceMutex);
    return g_instance ? g_instance->NativeId(hwnd) : 0;
}

X11Backend::X11Backend(Display* display)
    : m_display(display),
      m_screen(DefaultScreen(display)),
      m_root(RootWindow(display, m_screen)),
      m_visual(DefaultVisual(display, m_screen)),
      m_depth(DefaultDepth(display, m_screen)) {
    m_directPixels = m_visual->c_class == TrueColor && (m_depth == 24 || m_depth == 32) && m_visual->red_mask == 0xFF0000 &&
                     m_visual->green_mask == 0xFF00 && m_visual->blue_mask == 0xFF &&
                     ImageByteOrder(display) == LSBFirst;
    m_shm = m_directPixels && ShmUsable(m_display);
    if (m_shm) m_shmCompletion = XShmGetEventBase(m_display) + ShmCompletion;
    // Structure events bring tray managers' MANAGER announcements.
    XSelectInput(m_display, m_root, PropertyChangeMask | StructureNotifyMask);
    m_tray = std::make_unique<X11Tray>(m_display, m_screen);
    if (pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) == 0) m_events = std::thread([this] { EventLoop(); });
}

X11Backend::~X11Backend() { Shutdown(); }

X11Backend::Locked::~Locked() {
    if (!m_b.m_closed && XEventsQueued(m_b.m_display, QueuedAlready) > 0) m_b.Wake();
}

void X11Backend::Wake() {
    if (m_wake[1] < 0) return;
    const char byte = 1;
    (void)!write(m_wake[1], &byte, 1);
}

void X11Backend::MarkConnectionLost() {
    m_closed = true;  // the caller holds m_x
    if (m_lost.exchange(true)) return;
    // Xlib cannot close a lost connection (its own lock may be held by the
    // call that failed, so XCloseDisplay would wait for ever): the display
    // is kept for the process's life instead of being dropped.
    static std::mutex lost_lock;
    static auto* const lost = new std::vector<Display*>;  // never destroyed, as the displays are not
    std::lock_guard lock(lost_lock);
    lost->push_back(m_display);
}

void X11Backend::Shutdown() {
    if (m_stop.exchange(true)) return;
    if (!m_lost.load()) RemoveTray();
    Wake();
    if (m_events.joinable()) m_events.join();
    Locked lock(*this);
    if (m_closed) return;
    m_tray->Close();
    XCloseDisplay(m_display);
    m_closed = true;
    for (int& fd : m_wake) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

Atom X11Backend::A(const char* name) {
    auto it = m_atoms.find(name);
    if (it != m_atoms.end()) return it->second;
    const Atom atom = XInternAtom(m_display, name, False);
    m_atoms.emplace(name, atom);
    return atom;
}

bool X11Backend::HasWindowManager() {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool present = false;
    if (XGetWindowProperty(m_display, m_root, A("_NET_SUPPORTING_WM_CHECK"), 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1)
        present = true;
    if (data) XFree(data);
    return present;
}

// The monitors RandR reports (1.5), else the whole screen as one. Each
// monitor's work area is the part of the window manager's work area on it
// (_NET_WORKAREA names one rectangle for the whole desktop), or the whole
// monitor when there is none or it lies elsewhere.
std::vector<MonitorDesc> X11Backend::Monitors() {
    Locked lock(*this);
    if (m_closed) return {};
    const RECT screen{0, 0, DisplayWidth(m_display, m_screen), DisplayHeight(m_display, m_screen)};
    const RECT work = WorkAreaLocked(screen);
    std::vector<MonitorDesc> monitors;
    int event = 0, error = 0, major = 0, minor = 0;
    if (XRRQueryExtension(m_display, &event, &error) && XRRQueryVersion(m_display, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        XRRMonitorInfo* info = XRRGetMonitors(m_display, m_root, True, &count);
        for (int i = 0; info && i < count; ++i) {
            const RECT area{info[i].x, info[i].y, info[i].x + info[i].width, info[i].y + info[i].height};
            const RECT own = Intersect(work, area);
            monitors.push_back(MonitorDesc{area, Empty(own) ? area : own, info[i].primary != 0});
        }
        if (info) XRRFreeMonitors(info);
    }
    if (monitors.empty()) return {MonitorDesc{screen, work, true}};
    if (std::none_of(monitors.begin(), monitors.end(), [](const MonitorDesc& m) { return m.primary; }))
        monitors.front().primary = true;
    return monitors;
}

RECT X11Backend::WorkAreaLocked(const RECT& screen) {
    RECT work = screen;
    // The window manager's work area of the first desktop, when there is one.
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, m_root, A("_NET_WORKAREA"), 0, 4, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success &&
        data && format == 32 && count >= 4) {
        const long* v = reinterpret_cast<const long*>(data);
        const RECT candidate = Intersect(RECT{LONG(v[0]), LONG(v[1]), LONG(v[0] + v[2]), LONG(v[1] + v[3])}, screen);
        if (!Empty(candidate)) work = candidate;
    }
    if (data) XFree(data);
    return work;
}

void X11Backend::Created(const NativeWindowState& state) {
    Locked lock(*this);
    if (m_closed) return;
    XSetWindowAttributes attrs;
    attrs.background_pixmap = None;  // never cleared by the server: no flicker
    attrs.override_redirect = state.popup ? True : False;
    attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                       LeaveWindowMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask | VisibilityChangeMask;
    Native n;
    n.state = state;
    n.xid = XCreateWindow(m_display, m_root, state.rect.left, state.rect.top, unsigned(std::max(1L, long(Width(state.rect)))),
                          unsigned(std::max(1L, long(Height(state.rect)))), 0, CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixmap | CWOverrideRedirect | CWEventMask, &attrs);
    n.gc = XCreateGC(m_display, n.xid, 0, nullptr);
    Atom protocols[] = {A("WM_DELETE_WINDOW")};
    XSetWMProtocols(m_display, n.xid, protocols, 1);
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = state.rect.left;
    hints.y = state.rect.top;
    XSetWMNormalHints(m_display, n.xid, &hints);
    if (!state.decorated) {
        MotifHints motif;
        XChangeProperty(m_display, n.xid, A("_MOTIF_WM_HINTS"), A("_MOTIF_WM_HINTS"), 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&motif), 5);
    }
    ApplyTitle(n);
    ApplyClass(n);
    ApplyIcon(n);
    ApplyShape(n);
    ApplyOpacity(n);
    ApplyWmState(n, NativeWindowState{});
    m_byXid[n.xid] = state.hwnd;
    m_windows[state.hwnd] = n;
    ApplyVisibility(m_windows[state.hwnd]);
    XFlush(m_display);
}

void X11Backend::Destroyed(HWND hwnd) {
    Locked lock(*this);
    auto it = m_windows.find(hwnd);
    if (it == m_windows.end() || m_closed) return;
    it->second.shm.Destroy(m_display);
    XFreeGC(m_display, it->second.gc);
    XDestroyWindow(m_display, it->second.xid);
    m_byXid.erase(it->second.xid);
    m_windows.erase(it);
    std::erase(m_order, hwnd);
    XFlush(m_display);
}

void X11Backend::Changed(const NativeWindowState& state, unsigned bits) {
    Locked lock(*this);
    auto it = m_windows.find(state.hwnd);
    if (it == m_windows.end() || m_closed) return;
    Native& n = it->second;
    const NativeWindowState before = n.state;
    n.state = state;
    if (bits & kChangeGeometry)
        XMoveResizeWindow(m_display, n.xid, state.rect.left, state.rect.top, unsigned(std::max(1L, long(Width(state.rect)))),
                          unsigned(std::max(1L, long(Height(state.rect)))));
    if (bits & kChangeShape) ApplyShape(n);
    if (bits & kChangeOpacity) ApplyOpacity(n);
    if (bits & kChangeTitle) ApplyTitle(n);
    if (bits & kChangeTopmost) ApplyWmState(n, before);
    if (bits & kChangeIcon) ApplyIcon(n);
    if (bits & kChangeVisibility) ApplyVisibility(n);
    XFlush(m_display);
}

void X11Backend::ApplyShape(Native& n) {
    int event, error;
    if (!XShapeQueryExtension(m_display, &event, &error)) return;
    if (!n.state.shape) {
        XShapeCombineMask(m_display, n.xid, ShapeBounding, 0, 0, None, ShapeSet);
        XShapeCombineMask(m_display, n.xid, ShapeInput, 0, 0, None, ShapeSet);
        return;
    }
    std::vector<XRectangle> rects;
    for (const RECT& r : n.state.shape->Rects())
        rects.push_back(XRectangle{short(r.left), short(r.top), (unsigned short)Width(r), (unsigned short)Height(r)});
    for (int kind : {ShapeBounding, ShapeInput})
        XShapeCombineRectangles(m_display, n.xid, kind, 0, 0, rects.data(), int(rects.size()), ShapeSet, YXBanded);
}

void X11Backend::ApplyOpacity(Native& n) {
    if (n.state.layered && n.state.alpha < 255) {
        const unsigned long value = (unsigned long)(n.state.alpha) * 0x01010101UL;
        XChangeProperty(m_display, n.xid, A("_NET_WM_WINDOW_OPACITY"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
    } else {
        XDeleteProperty(m_display, n.xid, A("_NET_WM_WINDOW_OPACITY"));
    }
}

void X11Backend::ApplyTitle(Native& n) {
    const std::string title = Utf16ToUtf8(n.state.title);
    XChangeProperty(m_display, n.xid, A("_NET_WM_NAME"), A("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    XStoreName(m_display, n.xid, title.c_str());
}

void X11Backend::SendWmState(Native& n, bool add, Atom state) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = n.xid;
    ev.xclient.message_type = A("_NET_WM_STATE");
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = add ? 1 : 0;
    ev.xclient.data.l[1] = long(state);
    ev.xclient.data.l[3] = 1;  // a normal application
    XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

void X11Backend::ApplyWmState(Native& n, const NativeWindowState& before) {
    // The property is what a window manager reads when the window is mapped;
    // a mapped window asks it with client messages. Without a window
    // manager the stacking is kept by RestackLocked. Tool windows stay out
    // of task bars and pagers.
    std::vector<Atom> states;
    if (n.state.topmost) states.push_back(A("_NET_WM_STATE_ABOVE"));
    if (n.state.tool) {
        states.push_back(A("_NET_WM_STATE_SKIP_TASKBAR"));
        states.push_back(A("_NET_WM_STATE_SKIP_PAGER"));
    }
    if (states.empty()) {
        XDeleteProperty(m_display, n.xid, A("_NET_WM_STATE"));
    } else {
        XChangeProperty(m_display, n.xid, A("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states.data()), int(states.size()));
    }
    if (n.mapped && n.state.topmost != before.topmost && HasWindowManager())
        SendWmState(n, n.state.topmost, A("_NET_WM_STATE_ABOVE"));
}

// _NET_WM_ICON: width, height and straight-alpha ARGB pixels, each in a long.
void X11Backend::ApplyIcon(Native& n) {
    if (!n.state.icon || !n.state.icon->color) {
        XDeleteProperty(m_display, n.xid, A("_NET_WM_ICON"));
        return;
    }
    const int w = n.state.icon->color->Width(), h = n.state.icon->color->Height();
    const auto pixels = ScaledIconPixels(*n.state.icon, w, h);
    if (!pixels) return;
    std::vector<unsigned long> data{static_cast<unsigned long>(w), static_cast<unsigned long>(h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) data.push_back(pixels->Get(x, y));
    XChangeProperty(m_display, n.xid, A("_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
}

// WM_CLASS: the program's name, and it capitalised as the class, as desktops
// group a program's windows by it.
void X11Backend::ApplyClass(Native& n) {
    std::string name = ProgramName();
    std::string cls = name;
    if (!cls.empty()) cls[0] = char(std::toupper(static_cast<unsigned char>(cls[0])));
    XClassHint hint;
    hint.res_name = name.data();
    hint.res_class = cls.data();
    XSetClassHint(m_display, n.xid, &hint);
}

void X11Backend::ApplyVisibility(Native& n) {
    const bool show = n.state.visible && !n.state.iconic;
    if (show && !n.mapped) {
        XMapWindow(m_display, n.xid);
        n.mapped = true;
        RestackLocked();
    } else if (!show && n.mapped) {
        if (n.state.iconic && HasWindowManager()) XIconifyWindow(m_display, n.xid, m_screen);
        else XUnmapWindow(m_display, n.xid);
        n.mapped = false;
    }
}

void X11Backend::Restack(const std::vector<HWND>& top_to_bottom) {
    Locked lock(*this);
    if (m_closed) return;
    m_order = top_to_bottom;
    RestackLocked();
    XFlush(m_display);
}

void X11Backend::Lower(HWND hwnd) {
    Locked lock(*this);
    auto it = m_windows.find(hwnd);
    if (it == m_windows.end() || m_closed) return;
    // A managed window's request goes to the window manager, which lowers
    // it among all windows; without one the server does it.
    XLowerWindow(m_display, it->second.xid);
    m_lowered = hwnd;
    XFlush(m_display);
}

void X11Backend::Activate(HWND hwnd) {
    Locked lock(*this);
    auto it = m_windows.find(hwnd);
    if (it == m_windows.end() || m_closed || !it->second.mapped) return;
    if (HasWindowManager()) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = it->second.xid;
        ev.xclient.message_type = A("_NET_ACTIVE_WINDOW");
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = 1;  // a normal application
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    } else {
        XRaiseWindow(m_display, it->second.xid);
        XSetInputFocus(m_display, it->second.xid, RevertToParent, CurrentTime);
        if (m_lowered == hwnd) m_lowered = nullptr;
        RestackLocked();
    }
    XFlush(m_display);
}

void X11Backend::RestackLocked() {
    // With a window manager, stacking among applications is its business
    // (topmost windows carry _NET_WM_STATE_ABOVE, lowering is a request to
    // it). Without one the program keeps its own order: its top window
    // raised, the rest below it, and a window sent to the bottom below
    // everything.
    if (HasWindowManager()) return;
    if (m_lowered && (m_order.empty() || m_order.back() != m_lowered)) m_lowered = nullptr;  // raised since
    // Popups (menus, tooltips) stay above everything; each window is listed
    // once, as the server refuses a window stacked against itself.
    std::vector<::Window> xids;
    for (auto& [h, n] : m_windows)
        if (n.mapped && n.state.popup) xids.push_back(n.xid);
    for (HWND h : m_order) {
        auto it = m_windows.find(h);
        if (it != m_windows.end() && it->second.mapped && !it->second.state.popup) xids.push_back(it->second.xid);
    }
    if (xids.empty()) return;
    XRaiseWindow(m_display, xids.front());
    XRestackWindows(m_display, xids.data(), int(xids.size()));
    if (auto it = m_windows.find(m_lowered); m_lowered && it != m_windows.end() && it->second.mapped)
        XLowerWindow(m_display, it->second.xid);
}

// Copies the area into the window's segment and has the server take it from
// there. The server tells when it has read the segment (ShmCompletion, seen
// by the event thread); a copy that would come before that waits for the
// server first, so it never overwrites pixels the server is still reading.
// At 20 frames a second the answer is long there: no frame waits.
bool X11Backend::PutShared(Native& n, const Bitmap& surface, const RECT& r) {
    if (n.shmBusy) {
        XSync(m_display, False);
        n.shmBusy = false;
    }
    if (!n.shm.Fits(surface.Width(), surface.Height()) &&
        !n.shm.Create(m_display, m_visual, m_depth, surface.Width(), surface.Height())) {
        m_shm = false;  // fall back to the socket for good
        return false;
    }
    XImage* image = n.shm.Image();
    for (int y = r.top; y < r.bottom; ++y)
        std::memcpy(image->data + std::size_t(y) * image->bytes_per_line + r.left * 4, surface.Row(y) + r.left * 4,
                    std::size_t(Width(r)) * 4);
    XShmPutImage(m_display, n.xid, n.gc, image, r.left, r.top, r.left, r.top, unsigned(Width(r)), unsigned(Height(r)), True);
    n.shmBusy = true;
    return true;
}

void X11Backend::PutImage(Native& n, const Bitmap& surface, const RECT& area) {
    const RECT r = Intersect(area, surface.Bounds());
    if (Empty(r)) return;
    // Shared memory pays a round trip per put (the sync); a small area is
    // cheaper to send through the socket, which needs none.
    if (m_shm && std::int64_t(Width(r)) * Height(r) >= kSharedMinPixels && PutShared(n, surface, r)) return;
    if (m_directPixels) {
        XImage* image = XCreateImage(m_display, m_visual, unsigned(m_depth), ZPixmap, 0,
                                     reinterpret_cast<char*>(const_cast<std::uint8_t*>(surface.Bits())),
                                     unsigned(surface.Width()), unsigned(surface.Height()), 32, surface.Stride());
        if (!image) return;
        XPutImage(m_display, n.xid, n.gc, image, r.left, r.top, r.left, r.top, unsigned(Width(r)), unsigned(Height(r)));
        image->data = nullptr;  // the surface owns the pixels
        XDestroyImage(image);
        return;
    }
    // Another visual: convert through the server's pixel format.
    XImage* image = ConvertedImage(m_display, m_visual, m_depth, surface, r, false);
    if (!image) return;
    XPutImage(m_display, n.xid, n.gc, image, 0, 0, r.left, r.top, unsigned(Width(r)), unsigned(Height(r)));
    XDestroyImage(image);
}

void X11Backend::Present(HWND hwnd, const std::shared_ptr<Bitmap>& surface, const RECT& area) {
    Locked lock(*this);
    auto it = m_windows.find(hwnd);
    if (it == m_windows.end() || m_closed) return;
    {
        std::lock_guard pixels(surface->Mutex());
        PutImage(it->second, *surface, area);
    }
    XFlush(m_display);
}

bool X11Backend::OpacitySupported() {
    Locked lock(*this);
    if (m_closed) return false;
    const std::string name = "_NET_WM_CM_S" + std::to_string(m_screen);
    return XGetSelectionOwner(m_display, A(name.c_str())) != None;
}

bool X11Backend::PointerPosition(POINT* screen) {
    Locked lock(*this);
    if (m_closed) return false;
    ::Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &x, &y, &wx, &wy, &mask)) return false;
    *screen = POINT{x, y};
    return true;
}

// The events reach the program's own windows as before (owner events); the
// ones elsewhere on the screen go to the grabbing window. Another client's
// grab (a window manager's menu) makes this fail: the capture then hears
// the pointer over the program's windows only.
void X11Backend::GrabPointer(HWND top) {
    Locked lock(*this);
    if (m_closed) return;
    auto it = top ? m_windows.find(top) : m_windows.end();
    if (it != m_windows.end() && it->second.mapped) {
        constexpr unsigned kMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
        XGrabPointer(m_display, it->second.xid, True, kMask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    } else {
        XUngrabPointer(m_display, CurrentTime);
    }
    XFlush(m_display);
}

bool X11Backend::ScrollLock() {
    Locked lock(*this);
    if (m_closed) return false;
    int index = 0;
    Bool on = False;
    if (XkbGetNamedIndicator(m_display, A("Scroll Lock"), &index, &on, nullptr, nullptr)) return on;
    unsigned state = 0;
    XkbGetIndicatorState(m_display, XkbUseCoreKbd, &state);
    return (state & 0x4) != 0;
}

bool X11Backend::SetScrollLock(bool on) {
    Locked lock(*this);
    if (m_closed) return false;
    if (!XkbSetNamedIndicator(m_display, A("Scroll Lock"), True, on ? True : False, False, nullptr)) {
        // Core protocol fallback: LED 3 is Scroll Lock on PC keyboards.
        XKeyboardControl control;
        control.led = 3;
        control.led_mode = on ? LedModeOn : LedModeOff;
        XChangeKeyboardControl(m_display, KBLed | KBLedMode, &control);
    }
    XSync(m_display, False);
    return true;
}

void X11Backend::Flush() {
    Locked lock(*this);
    if (!m_closed) XSync(m_display, False);
}

std::shared_ptr<Bitmap> X11Backend::CaptureScreen() {
    Locked lock(*this);
    if (m_closed) return nullptr;
    const int w = DisplayWidth(m_display, m_screen), h = DisplayHeight(m_display, m_screen);
    XSync(m_display, False);
    XImage* image = XGetImage(m_display, m_root, 0, 0, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (!image) return nullptr;
    auto out = std::make_shared<Bitmap>(w, h, 32);
    auto channel = [](unsigned long pixel, unsigned long mask) -> std::uint32_t {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        return std::uint32_t(((pixel & mask) >> shift) * 255 / (mask >> shift));
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            out->Set(x, y, (channel(p, image->red_mask) << 16) | (channel(p, image->green_mask) << 8) |
                               channel(p, image->blue_mask));
        }
    }
    XDestroyImage(image);
    return out;
}

::Window X11Backend::NativeId(HWND hwnd) {
    Locked lock(*this);
    auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? 0 : it->second.xid;
}

}  // namespace plat::ui
