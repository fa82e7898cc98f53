#include "ui/x11/x11_tip_window.h"

#include <algorithm>

#include "ui/x11/x11_pixels.h"

namespace plat::ui {

void X11TipWindow::Show(std::shared_ptr<const Bitmap> image, int x, int y) {
    if (!image || image->Width() <= 0 || image->Height() <= 0) return Hide();
    m_image = std::move(image);
    m_pointerX = x;
    m_pointerY = y;
    const int w = m_image->Width(), h = m_image->Height();
    // Below and right of the pointer as tooltips show; above it near the
    // bottom of the screen.
    const int sw = DisplayWidth(m_display, m_screen), sh = DisplayHeight(m_display, m_screen);
    const int left = std::clamp(x + 2, 0, std::max(0, sw - w));
    const int top = y + 20 + h <= sh ? y + 20 : std::max(0, y - 4 - h);
    if (!m_xid) {
        XSetWindowAttributes attrs;
        attrs.override_redirect = True;
        attrs.background_pixmap = None;
        attrs.event_mask = ExposureMask;
        m_xid = XCreateWindow(m_display, RootWindow(m_display, m_screen), left, top, unsigned(w), unsigned(h), 0,
                              CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixmap | CWEventMask,
                              &attrs);
        m_gc = XCreateGC(m_display, m_xid, 0, nullptr);
    } else {
        XMoveResizeWindow(m_display, m_xid, left, top, unsigned(w), unsigned(h));
    }
    XMapRaised(m_display, m_xid);
    m_shown = true;
    Paint();
}

void X11TipWindow::Replace(std::shared_ptr<const Bitmap> image) {
    if (m_shown) Show(std::move(image), m_pointerX, m_pointerY);
}

void X11TipWindow::Hide() {
    if (m_shown) XUnmapWindow(m_display, m_xid);
    m_shown = false;
}

bool X11TipWindow::Handle(const XEvent& ev) {
    if (!m_xid || ev.xany.window != m_xid) return false;
    if (ev.type == Expose && ev.xexpose.count == 0) Paint();
    return true;
}

void X11TipWindow::Paint() {
    if (!m_shown || !m_image) return;
    XImage* image = nullptr;
    {
        std::lock_guard pixels(m_image->Mutex());
        image = ConvertedImage(m_display, DefaultVisual(m_display, m_screen), DefaultDepth(m_display, m_screen), *m_image,
                               m_image->Bounds(), false);
    }
    if (!image) return;
    XPutImage(m_display, m_xid, m_gc, image, 0, 0, 0, 0, unsigned(m_image->Width()), unsigned(m_image->Height()));
    XDestroyImage(image);
}

void X11TipWindow::Close() {
    if (!m_xid) return;
    XFreeGC(m_display, m_gc);
    XDestroyWindow(m_display, m_xid);
    m_xid = None;
    m_shown = false;
}

}  // namespace plat::ui
