// The product's about box: the product name, the texts of resource strings
// 276 and 277 beside bitmap 295, and an OK button. Modal to the LED window:
// the window is disabled until the box is closed (OK, Esc, Enter or its
// close box).
#pragma once

#include "resource/resource_types.h"
#include "ui/ui_types.h"

namespace cmd {

// Shows the box and returns once it is closed.
void ShowAboutBox(HWND owner, HMODULE resources);

// The box's window, shown but not yet run (ShowAboutBox runs it).
HWND CreateAboutBox(HWND owner, HMODULE resources);

}  // namespace cmd
