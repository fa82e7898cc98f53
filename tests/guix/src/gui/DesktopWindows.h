// What a person sees on the screen of a LumexDesktop beyond lumex's own
// window: the viewable client windows with a given title (at any depth, as a
// window manager frames them), where a window lies now, and the pixels of
// any part of the screen, with every window that covers it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LumexDesktop.h"

namespace desktop {

// The viewable windows titled `title`, in stacking order (bottom first).
std::vector<Placed> WindowsTitled(_XDisplay* dpy, const std::string& title);
// Where a window lies now; an empty one (window 0) when it is gone or unmapped.
Placed Locate(_XDisplay* dpy, unsigned long window);

// The screen's pixels (0x00RRGGBB) in a rectangle, clipped to the screen;
// empty when they cannot be read.
struct ScreenArea {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // row by row
    std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};
ScreenArea Capture(_XDisplay* dpy, const Placed& area);
// The area as a PNG file.
bool WritePng(const std::string& path, const ScreenArea& area);

}  // namespace desktop
