// Tinting: the skin's grey pixels take the colour of a colour index, in
// proportion to their grey level; every other pixel keeps its value.
//
// For a grey pixel (red = green = blue = g), each channel of the tint colour
// t (skin::TintColor) becomes the integer part of t.c x g / 255, computed in
// floating point, so (128, 128, 128) tinted with index 16 (255, 75, 75) is
// (128, 37, 37) and black stays black. Index 0 changes nothing, nor do
// bitmaps of 16 bits per pixel or fewer.
#pragma once

#include "skin/GdiHandle.h"
#include "skin/SkinPixels.h"

// Tints the bitmap selected into `dc` in place.
void TintBitmap(HDC dc, int colour_index);

namespace skin {

void TintPixels(PixelImage& image, int colour_index);
// A tinted copy of `source` (an untinted copy for index 0); null for none.
OwnedBitmap TintedCopy(HBITMAP source, int colour_index);

}  // namespace skin
