// Writing bitmaps to PNG and BMP files (screenshots, test evidence).
#pragma once

#include <string>

#include "ui/bitmap.h"

namespace plat::ui {

// With `keep_alpha` the PNG carries the alpha byte (0 outside a window's
// shape in a capture); otherwise every pixel is opaque. False on I/O errors.
bool WritePng(const std::string& path, const Bitmap& bitmap, bool keep_alpha = false);
// A 24-bit bottom-up BMP with a BITMAPINFOHEADER.
bool WriteBmp(const std::string& path, const Bitmap& bitmap);

}  // namespace plat::ui
