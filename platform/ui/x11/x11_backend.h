// The X11 backend (Xlib): one X window per top-level window.
#pragma once

#include <memory>

#include "ui/backend.h"

namespace plat::ui {

// Null when no display can be opened.
std::unique_ptr<Backend> MakeX11Backend();

// The X window id of a top-level window (0 when none or not on X11), for
// tests that check the window from the server's side.
unsigned long NativeWindowId(HWND hwnd);

}  // namespace plat::ui
