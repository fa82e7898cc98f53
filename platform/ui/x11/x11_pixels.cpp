#include "ui/x11/x11_pixels.h"

#include <cstdlib>

namespace plat::ui {
namespace {

// An 8-bit channel value scaled into the bits of `mask`.
unsigned long Channel(std::uint32_t v, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const unsigned long max = mask >> shift;
    return ((v * max / 255) << shift) & mask;
}

}  // namespace

XImage* ConvertedImage(Display* display, Visual* visual, int depth, const Bitmap& from, const RECT& area, bool with_alpha) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return nullptr;
    XImage* image = XCreateImage(display, visual, unsigned(depth), ZPixmap, 0, nullptr, unsigned(width), unsigned(height), 32, 0);
    if (!image) return nullptr;
    image->data = static_cast<char*>(std::calloc(std::size_t(image->bytes_per_line) * std::size_t(height), 1));
    if (!image->data) {
        XDestroyImage(image);
        return nullptr;
    }
    const unsigned long colour = visual->red_mask | visual->green_mask | visual->blue_mask;
    const unsigned long all = depth >= 32 ? 0xFFFFFFFFul : (1ul << depth) - 1;
    const unsigned long alpha_mask = with_alpha ? all & ~colour : 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = from.Get(area.left + x, area.top + y);
            XPutPixel(image, x, y,
                      Channel((p >> 16) & 255, visual->red_mask) | Channel((p >> 8) & 255, visual->green_mask) |
                          Channel(p & 255, visual->blue_mask) | Channel(p >> 24, alpha_mask));
        }
    }
    return image;
}

}  // namespace plat::ui
