// A hover tip drawn outside the window system: an override-redirect X
// window showing a ready-made image below and right of the pointer, kept on
// the screen. Used by the tray icons, whose events arrive on the backend's
// event thread where no window of the window system can be made.
//
// Thread rule: every call runs under the backend's display lock.
#pragma once

#include <X11/Xlib.h>

#include <memory>

#include "ui/bitmap.h"

namespace plat::ui {

class X11TipWindow {
public:
    X11TipWindow(Display* display, int screen) : m_display(display), m_screen(screen) {}
    X11TipWindow(const X11TipWindow&) = delete;
    X11TipWindow& operator=(const X11TipWindow&) = delete;

    // Shows `image` for a pointer at (x, y) on the root window.
    void Show(std::shared_ptr<const Bitmap> image, int x, int y);
    // Shows another image where the tip is, when it shows.
    void Replace(std::shared_ptr<const Bitmap> image);
    void Hide();
    // Takes the tip window's exposures.
    bool Handle(const XEvent& ev);
    void Close();

private:
    void Paint();

    Display* m_display;
    int m_screen;
    ::Window m_xid = None;
    GC m_gc = nullptr;
    std::shared_ptr<const Bitmap> m_image;
    bool m_shown = false;
    int m_pointerX = 0;
    int m_pointerY = 0;
};

}  // namespace plat::ui
