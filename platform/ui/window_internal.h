// Window-system internals shared between its files; not for callers.
#pragma once

#include <memory>

#include "ui/window.h"

namespace plat::ui {

std::shared_ptr<WindowClass> FindClass(LPCWSTR name);

// Input state that refers to a window being destroyed is cleared.
void ForgetWindowInput(HWND hwnd);
// Focus, activation, capture (input.cpp).
void ActivateWindow(HWND hwnd, WORD how);

// Changes visibility without messages to the window (used by ShowWindow and
// SetWindowPos), invalidating what appears or disappears.
void SetVisibleFlag(HWND hwnd, bool visible);
// Adds `area` (client coordinates; null for all) to the update region.
void InvalidateArea(HWND hwnd, const Region* area, bool erase, bool children);

}  // namespace plat::ui
