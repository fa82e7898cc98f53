// Decoding of the image files a resource library carries: BMP (uncompressed
// 8, 24 and 32 bits per pixel) and PNG, into 32-bit top-down bitmaps.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "ui/bitmap.h"

namespace plat::ui {

// Null for an unknown, damaged or unsupported file.
std::shared_ptr<Bitmap> DecodeImage(std::span<const std::uint8_t> file);

}  // namespace plat::ui
