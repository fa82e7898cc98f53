#include "x11_test_tray.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace xvfbtest {
namespace {

// A 32-bit client message to `window`: the current time, then l1 to l3.
void SendClientMessage(Display* dpy, ::Window window, Atom type, long mask, long l1, long l2, long l3) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = type;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = CurrentTime;
    ev.xclient.data.l[1] = l1;
    ev.xclient.data.l[2] = l2;
    ev.xclient.data.l[3] = l3;
    XSendEvent(dpy, window, False, mask, &ev);
    XFlush(dpy);
}

}  // namespace

TestTray::TestTray(Display* dpy, const Look& look) : m_dpy(dpy), m_embedSize(look.embedSize) {
    const ::Window root = DefaultRootWindow(dpy);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = look.panel ? True : False;
    attributes.background_pixel = look.background;
    m_window = XCreateWindow(dpy, root, look.x, look.y, unsigned(look.width), unsigned(look.height), 0,
                             CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
                             &attributes);
    XSelectInput(dpy, m_window, SubstructureNotifyMask);
    if (look.iconSize)
        XChangeProperty(dpy, m_window, Intern("_NET_SYSTEM_TRAY_ICON_SIZE"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&look.iconSize), 1);
    XVisualInfo argb;
    if (look.offerAlphaVisual && XMatchVisualInfo(dpy, DefaultScreen(dpy), 32, TrueColor, &argb)) {
        const long id = long(argb.visualid);
        XChangeProperty(dpy, m_window, Intern("_NET_SYSTEM_TRAY_VISUAL"), XA_VISUALID, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&id), 1);
        m_offersAlpha = true;
    }
    XMapWindow(dpy, m_window);
    const Atom selection = Intern("_NET_SYSTEM_TRAY_S0");
    XSetSelectionOwner(dpy, selection, m_window, CurrentTime);
    SendClientMessage(dpy, root, Intern("MANAGER"), StructureNotifyMask, long(selection), long(m_window), 0);
}

void TestTray::Quit() {
    if (!m_window) return;
    XDestroyWindow(m_dpy, m_window);
    XFlush(m_dpy);
    m_window = 0;
}

void TestTray::Serve() {
    while (XPending(m_dpy)) {
        XEvent ev;
        XNextEvent(m_dpy, &ev);
        if (ev.type == ClientMessage && ev.xclient.window == m_window &&
            ev.xclient.message_type == Intern("_NET_SYSTEM_TRAY_OPCODE") && ev.xclient.data.l[1] == 0)
            Dock(::Window(ev.xclient.data.l[2]));
        if (ev.type == DestroyNotify) {
            std::lock_guard lock(m_lock);
            std::erase(m_docked, ev.xdestroywindow.window);
        }
    }
}

std::vector<::Window> TestTray::Docked() const {
    std::lock_guard lock(m_lock);
    return m_docked;
}

void TestTray::Dock(::Window icon) {
    std::lock_guard lock(m_lock);
    XReparentWindow(m_dpy, icon, m_window, int(m_docked.size()) * 30, 4);
    if (m_embedSize) XResizeWindow(m_dpy, icon, unsigned(m_embedSize), unsigned(m_embedSize));
    XMapWindow(m_dpy, icon);
    constexpr long kEmbeddedNotify = 0;  // XEMBED_EMBEDDED_NOTIFY
    SendClientMessage(m_dpy, icon, Intern("_XEMBED"), NoEventMask, kEmbeddedNotify, 0, long(m_window));
    m_docked.push_back(icon);
}

}  // namespace xvfbtest
