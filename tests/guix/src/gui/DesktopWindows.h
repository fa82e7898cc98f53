// What a person sees of the windows on an X display: the viewable client
// windows with a title (at any depth, as a window manager frames them), the
// popups (menus: override-redirect windows straight below the root), where
// each lies on the screen, and pictures of parts of the screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace desktop {

struct ShownWindow {
    unsigned long xid = 0;
    int x = 0, y = 0;  // the top-left corner in screen coordinates
    int width = 0, height = 0;
    int CentreX() const { return x + width / 2; }
    int CentreY() const { return y + height / 2; }
};

// The viewable windows titled `title`, in stacking order (bottom first).
std::vector<ShownWindow> WindowsTitled(_XDisplay* dpy, const std::string& title);
// The viewable popups, in stacking order (bottom first).
std::vector<ShownWindow> Popups(_XDisplay* dpy);
// Where a window lies now; an empty one (xid 0) when it is gone or unmapped.
ShownWindow Locate(_XDisplay* dpy, unsigned long xid);

// The screen's pixels (0x00RRGGBB) in a rectangle, clipped to the screen;
// empty when they cannot be read.
struct ScreenArea {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // row by row
    std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};
ScreenArea Capture(_XDisplay* dpy, int x, int y, int width, int height);
ScreenArea Capture(_XDisplay* dpy, const ShownWindow& w);
// The area as a PNG file.
bool WritePng(const std::string& path, const ScreenArea& area);

}  // namespace desktop
