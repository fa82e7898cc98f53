#include "ui/x11/x11_tray.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <string>

#include "base/text.h"
#include "ui/monitor.h"
#include "ui/x11/x11_pixels.h"

namespace plat::ui {
namespace {

constexpr int kDefaultIconSize = 22;
constexpr long kSystemTrayRequestDock = 0;
constexpr long kXembedVersion = 0;
constexpr long kXembedMapped = 1;  // the embedder maps the window

constexpr long kIconEvents = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                             EnterWindowMask | LeaveWindowMask;

UINT ButtonMessage(unsigned button, bool down, bool double_click) {
    const UINT base = button == Button1 ? WM_LBUTTONDOWN : button == Button3 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    // DOWN, UP and DBLCLK follow each other for every button.
    return down ? base + (double_click ? 2 : 0) : base + 1;
}

// Straight alpha to the premultiplied pixels an alpha visual expects.
void Premultiply(Bitmap& b) {
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            const std::uint32_t p = b.Get(x, y), a = p >> 24;
            const auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            b.Set(x, y, (a << 24) | (mul((p >> 16) & 255) << 16) | (mul((p >> 8) & 255) << 8) | mul(p & 255));
        }
    }
}

// A property holding one 32-bit value of `type`; false when it has none.
bool ReadProperty32(Display* display, ::Window w, Atom property, Atom type, unsigned long* value) {
    Atom actual;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, w, property, 0, 1, False, type, &actual, &format, &count, &after, &data) ==
                           Success &&
                       data && format == 32 && count == 1;
    if (found) *value = *reinterpret_cast<const unsigned long*>(data);
    if (data) XFree(data);
    return found;
}

// The icon keeps its shape in a window the manager made oblong (some give
// a narrow slot the height of the panel): scaled to the shorter side,
// centred, transparent around it.
std::shared_ptr<Bitmap> IconPixels(const Icon* icon, int width, int height) {
    auto out = std::make_shared<Bitmap>(width, height, 32);
    if (!icon) return out;
    const int side = std::min(width, height);
    const auto square = ScaledIconPixels(*icon, side, side);
    const int left = (width - side) / 2, top = (height - side) / 2;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) out->Set(left + x, top + y, square->Get(x, y));
    return out;
}

}  // namespace

X11Tray::X11Tray(Display* display, int screen)
    : m_display(display), m_screen(screen), m_root(RootWindow(display, screen)), m_tip(display, screen) {
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    const char* names[] = {selection.c_str(),          "MANAGER",       "_NET_SYSTEM_TRAY_OPCODE", "_NET_SYSTEM_TRAY_ICON_SIZE",
                           "_NET_SYSTEM_TRAY_VISUAL", "_XEMBED_INFO",  "_NET_WM_NAME",            "UTF8_STRING"};
    Atom atoms[8];
    XInternAtoms(display, const_cast<char**>(names), 8, False, atoms);
    m_selection = atoms[0];
    m_managerAtom = atoms[1];
    m_opcode = atoms[2];
    m_iconSize = atoms[3];
    m_visualAtom = atoms[4];
    m_xembedInfo = atoms[5];
    m_netWmName = atoms[6];
    m_utf8 = atoms[7];
    FindManager();
    ReadManagerVisual();
}

void X11Tray::FindManager() {
    // Grabbed, so the owner cannot vanish between asking and watching it.
    XGrabServer(m_display);
    m_manager = XGetSelectionOwner(m_display, m_selection);
    if (m_manager) XSelectInput(m_display, m_manager, StructureNotifyMask);
    XUngrabServer(m_display);
    XFlush(m_display);
}

void X11Tray::ReadManagerVisual() {
    if (m_argb.colormap) XFreeColormap(m_display, m_argb.colormap);
    m_argb = IconVisual{};
    if (!m_manager) return;
    unsigned long id = 0;
    ReadProperty32(m_display, m_manager, m_visualAtom, XA_VISUALID, &id);
    if (!id || id == XVisualIDFromVisual(DefaultVisual(m_display, m_screen))) return;
    XVisualInfo wanted{};
    wanted.visualid = id;
    int n = 0;
    XVisualInfo* info = XGetVisualInfo(m_display, VisualIDMask, &wanted, &n);
    if (info && n > 0 && info->depth == 32) {
        m_argb.visual = info->visual;
        m_argb.depth = info->depth;
        m_argb.colormap = XCreateColormap(m_display, m_root, info->visual, AllocNone);
    }
    if (info) XFree(info);
}

int X11Tray::ManagerIconSize() {
    unsigned long size = 0;
    if (ReadProperty32(m_display, m_manager, m_iconSize, XA_CARDINAL, &size) && size > 0 && size <= 512) return int(size);
    return kDefaultIconSize;
}

void X11Tray::ManagerChanged() {
    const ::Window before = m_manager;
    FindManager();
    if (m_manager != before) Redock();
}

void X11Tray::Redock() {
    for (Entry& e : m_icons) Undock(e);
    ReadManagerVisual();  // after the windows that used the old one are gone
    if (m_manager)
        for (Entry& e : m_icons) Dock(e);
    XFlush(m_display);
}

void X11Tray::Dock(Entry& e) {
    const int size = ManagerIconSize();
    e.width = e.height = size;
    XSetWindowAttributes attrs;
    attrs.event_mask = kIconEvents;
    unsigned long mask = CWEventMask;
    Visual* visual = CopyFromParent;
    int depth = CopyFromParent;
    if (m_argb.visual) {
        visual = m_argb.visual;
        depth = m_argb.depth;
        attrs.colormap = m_argb.colormap;
        attrs.background_pixel = 0;
        attrs.border_pixel = 0;
        mask |= CWColormap | CWBackPixel | CWBorderPixel;
    } else {
        attrs.background_pixmap = ParentRelative;  // the manager's own background
        mask |= CWBackPixmap;
    }
    e.xid = XCreateWindow(m_display, m_root, 0, 0, unsigned(size), unsigned(size), 0, depth, InputOutput, visual, mask,
                          &attrs);
    e.gc = XCreateGC(m_display, e.xid, 0, nullptr);
    const long info[2] = {kXembedVersion, kXembedMapped};
    XChangeProperty(m_display, e.xid, m_xembedInfo, m_xembedInfo, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    // Some managers shrink a window that states no size of its own.
    XSizeHints hints{};
    hints.flags = PMinSize | PBaseSize;
    hints.min_width = hints.min_height = hints.base_width = hints.base_height = size;
    XSetWMNormalHints(m_display, e.xid, &hints);
    SetTitle(e);

    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = m_manager;
    ev.xclient.message_type = m_opcode;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = CurrentTime;
    ev.xclient.data.l[1] = kSystemTrayRequestDock;
    ev.xclient.data.l[2] = long(e.xid);
    XSendEvent(m_display, m_manager, False, NoEventMask, &ev);
}

void X11Tray::Undock(Entry& e) {
    if (m_tipFor && m_tipFor == e.xid) {
        m_tip.Hide();
        m_tipFor = None;
    }
    if (!e.xid) return;
    XFreeGC(m_display, e.gc);
    XDestroyWindow(m_display, e.xid);
    e.xid = None;
    e.gc = nullptr;
}

void X11Tray::SetTitle(const Entry& e) {
    // The tip names the window for managers and tools that list icons.
    const std::string title = Utf16ToUtf8(e.tip);
    XChangeProperty(m_display, e.xid, m_netWmName, m_utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    XStoreName(m_display, e.xid, title.c_str());
}

bool X11Tray::Show(const TrayIcon& icon, std::shared_ptr<const Icon> image, std::shared_ptr<const Bitmap> tip_image) {
    auto it = std::find_if(m_icons.begin(), m_icons.end(),
                           [&](const Entry& e) { return e.owner == icon.owner && e.id == icon.id; });
    if (it == m_icons.end()) {
        if (!m_manager) return false;
        Entry e;
        e.owner = icon.owner;
        e.id = icon.id;
        it = m_icons.insert(m_icons.end(), std::move(e));
    }
    Entry& e = *it;
    const bool fresh = !e.xid;
    e.tip = icon.tip;
    e.image = std::move(image);
    e.tipImage = std::move(tip_image);
    if (fresh && m_manager) {
        Dock(e);
    } else if (e.xid) {
        SetTitle(e);
        Paint(e);
        if (m_tipFor == e.xid) m_tip.Replace(e.tipImage);
    }
    XFlush(m_display);
    return true;
}

void X11Tray::Remove(HWND owner, UINT id) {
    auto it = std::find_if(m_icons.begin(), m_icons.end(), [&](const Entry& e) { return e.owner == owner && e.id == id; });
    if (it == m_icons.end()) return;
    Undock(*it);
    m_icons.erase(it);
    XFlush(m_display);
}

void X11Tray::Paint(Entry& e) {
    if (!e.xid || e.width <= 0 || e.height <= 0) return;
    auto pixels = IconPixels(e.image.get(), e.width, e.height);
    if (!m_argb.visual) return PaintOverParent(e, *pixels);
    Premultiply(*pixels);
    XImage* image = ConvertedImage(m_display, m_argb.visual, m_argb.depth, *pixels, pixels->Bounds(), true);
    if (!image) return;
    XPutImage(m_display, e.xid, e.gc, image, 0, 0, 0, 0, unsigned(e.width), unsigned(e.height));
    XDestroyImage(image);
}

// Without an alpha visual: the manager's background, then the icon's pixels
// that are at least half opaque, through a clip mask.
void X11Tray::PaintOverParent(Entry& e, const Bitmap& pixels) {
    const int row = (e.width + 7) / 8;
    std::vector<char> bits(std::size_t(row) * std::size_t(e.height), 0);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            if ((pixels.Get(x, y) >> 24) >= 128) bits[std::size_t(y * row + x / 8)] |= char(1 << (x % 8));
    XImage* image = ConvertedImage(m_display, DefaultVisual(m_display, m_screen), DefaultDepth(m_display, m_screen), pixels,
                                   pixels.Bounds(), false);
    if (!image) return;
    const Pixmap clip = XCreateBitmapFromData(m_display, e.xid, bits.data(), unsigned(e.width), unsigned(e.height));
    XClearWindow(m_display, e.xid);
    XSetClipMask(m_display, e.gc, clip);
    XPutImage(m_display, e.xid, e.gc, image, 0, 0, 0, 0, unsigned(e.width), unsigned(e.height));
    XSetClipMask(m_display, e.gc, None);
    XFreePixmap(m_display, clip);
    XDestroyImage(image);
}

X11Tray::Entry* X11Tray::Find(::Window xid) {
    if (!xid) return nullptr;
    for (Entry& e : m_icons)
        if (e.xid == xid) return &e;
    return nullptr;
}

bool X11Tray::Handle(const XEvent& ev, std::vector<TrayMouse>& mouse) {
    if (ev.type == ClientMessage && ev.xclient.window == m_root) {
        if (ev.xclient.message_type != m_managerAtom || Atom(ev.xclient.data.l[1]) != m_selection) return false;
        ManagerChanged();
        return true;
    }
    if (ev.type == DestroyNotify && m_manager && ev.xdestroywindow.window == m_manager) {
        // The icon windows inside it went too (or went back to the root
        // window, when it was the manager's connection that ended).
        m_manager = None;
        Redock();
        return true;
    }
    if (m_tip.Handle(ev)) return true;
    Entry* e = Find(ev.xany.window);
    if (!e) return false;
    HandleIcon(*e, ev, mouse);
    return true;
}

void X11Tray::HandleIcon(Entry& e, const XEvent& ev, std::vector<TrayMouse>& mouse) {
    switch (ev.type) {
        case DestroyNotify:
            // Destroyed with the manager's window: only the GC is left.
            XFreeGC(m_display, e.gc);
            e.xid = None;
            e.gc = nullptr;
            break;
        case ConfigureNotify:
            if (ev.xconfigure.width != e.width || ev.xconfigure.height != e.height) {
                e.width = ev.xconfigure.width;
                e.height = ev.xconfigure.height;
                Paint(e);
            }
            break;
        case Expose:
            if (ev.xexpose.count == 0) Paint(e);
            break;
        case ButtonPress: Press(e, ev.xbutton, mouse); break;
        case ButtonRelease:
            if (ev.xbutton.button <= Button3)
                mouse.push_back({e.owner, e.id, ButtonMessage(ev.xbutton.button, false, false),
                                 POINT{ev.xbutton.x_root, ev.xbutton.y_root}});
            break;
        case MotionNotify:
            // Only the latest position matters.
            if (!mouse.empty() && mouse.back().message == WM_MOUSEMOVE && mouse.back().owner == e.owner &&
                mouse.back().id == e.id)
                mouse.pop_back();
            mouse.push_back({e.owner, e.id, WM_MOUSEMOVE, POINT{ev.xmotion.x_root, ev.xmotion.y_root}});
            break;
        case EnterNotify:
            if (e.tipImage) {
                m_tip.Show(e.tipImage, ev.xcrossing.x_root, ev.xcrossing.y_root);
                m_tipFor = e.xid;
            }
            break;
        case LeaveNotify:
            if (m_tipFor == e.xid) m_tip.Hide();
            m_tipFor = None;
            break;
        default: break;
    }
    XFlush(m_display);
}

void X11Tray::Press(Entry& e, const XButtonEvent& ev, std::vector<TrayMouse>& mouse) {
    if (ev.button > Button3) return;  // the wheel
    if (m_tipFor == e.xid) m_tip.Hide();
    const bool double_click = e.pressed && ev.button == e.lastButton && ev.time - e.lastPress <= GetDoubleClickTime();
    e.pressed = !double_click;  // a third press starts anew
    e.lastButton = ev.button;
    e.lastPress = ev.time;
    mouse.push_back({e.owner, e.id, ButtonMessage(ev.button, true, double_click), POINT{ev.x_root, ev.y_root}});
}

void X11Tray::Close() {
    for (Entry& e : m_icons) Undock(e);
    m_icons.clear();
    m_tip.Close();
    if (m_argb.colormap) XFreeColormap(m_display, m_argb.colormap);
    m_argb = IconVisual{};
}

}  // namespace plat::ui
