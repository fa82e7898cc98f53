// The window shape of a skin, from its mask image: every pixel that is not
// the key colour (pure white, with a tolerance of 0x10 per channel above the
// key, which for white means exactly 255) belongs to the window.
//
// Rows are scanned from the top and, within a row, from the left; every
// maximal run of window pixels from x0 up to x1 becomes the rectangle
// (x0, y, x1, y + 1). The rectangles are collected in a region-data block
// that starts with room for 100 and grows by 100, and every 2,000 of them
// become one region combined into the result by union, so no single region
// call gets an unbounded list. An image without window pixels gives an
// empty region (the window shows nothing).
#pragma once

#include "skin/GdiHandle.h"
#include "skin/SkinPixels.h"

namespace skin {

struct MaskKey {
    COLORREF key = RGB(255, 255, 255);
    BYTE tolerance = 0x10;
};

constexpr int kRegionFlushCount = 2000;

// The shape of `mask`; null when the image is empty or a region cannot be made.
OwnedRegion RegionFromPixels(const PixelImage& mask, MaskKey key = {}, int flush_count = kRegionFlushCount);
// The same from a bitmap; null when it is missing or cannot be read.
OwnedRegion RegionFromMask(HBITMAP mask, MaskKey key = {});

}  // namespace skin
