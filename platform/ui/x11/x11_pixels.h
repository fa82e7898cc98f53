// Pixels of a bitmap in the pixel format of an X visual.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "ui/bitmap.h"

namespace plat::ui {

// `area` of `from` (0xAARRGGBB values, the caller holds its lock) as an
// XImage of the visual's format that owns its pixels (XDestroyImage frees
// them). With `with_alpha` each pixel's alpha goes into the bits no colour
// mask covers, for visuals with an alpha channel. Null on failure.
XImage* ConvertedImage(Display* display, Visual* visual, int depth, const Bitmap& from, const RECT& area, bool with_alpha);

}  // namespace plat::ui
