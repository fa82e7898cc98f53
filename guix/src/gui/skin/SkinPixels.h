// The pixels of a bitmap as a plain top-down array of 32-bit values
// (0x00RRGGBB with whatever the bitmap kept in the top byte), and the way
// back to a bitmap. Every image operation of the skin (cutting, tinting,
// tiling, stretching, region building) reads a bitmap once, works on the
// array and makes one new bitmap of the result.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/ui.h"

namespace skin {

struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // row after row, top row first

    PixelImage() = default;
    PixelImage(int w, int h) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), 0) {}
    bool Empty() const { return width <= 0 || height <= 0; }
    std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    std::uint32_t& At(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// The size of a bitmap; {0, 0} for none.
SIZE BitmapSize(HBITMAP bitmap);
// Bits per pixel of a bitmap; 0 for none.
int BitmapDepth(HBITMAP bitmap);

// The bitmap converted to 32 bits; an empty image when there is none or it
// cannot be read.
PixelImage ReadPixels(HBITMAP bitmap);
// Writes `image` back into `bitmap` (same width), converting to its format.
bool WritePixels(HBITMAP bitmap, const PixelImage& image);
// A new 32-bit bitmap holding the image; null for an empty image. The
// caller owns it.
HBITMAP MakeBitmap(const PixelImage& image);

}  // namespace skin
