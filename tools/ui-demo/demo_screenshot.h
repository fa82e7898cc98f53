// Saves what the screen shows of a window as a PNG file, so a person (or a
// test) sees exactly what the window system put on the display.
#pragma once

#include <string>

#include "ui/ui_types.h"

namespace demo {

bool SaveScreenshot(HWND hwnd, const std::string& path);

}  // namespace demo
