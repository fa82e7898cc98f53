#include "ui/bitmap.h"

#include <algorithm>

namespace plat::ui {
namespace {

int ValidBpp(int bpp) { return (bpp == 1 || bpp == 16 || bpp == 24 || bpp == 32) ? bpp : 32; }

}  // namespace

Bitmap::Bitmap(int width, int height, int bits_per_pixel, bool bottom_up)
    : m_width(std::max(width, 0)),
      m_height(std::max(height, 0)),
      m_bpp(ValidBpp(bits_per_pixel)),
      m_stride(StrideFor(m_width, m_bpp)),
      m_bottomUp(bottom_up),
      m_bits(std::size_t(m_stride) * m_height, 0) {}

std::uint32_t ReadPixel(const std::uint8_t* row, int x, int bpp) {
    switch (bpp) {
        case 32: {
            const std::uint8_t* p = row + x * 4;
            return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
                   (std::uint32_t(p[3]) << 24);
        }
        case 24: {
            const std::uint8_t* p = row + x * 3;
            return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
        }
        case 16: {
            const std::uint16_t v = std::uint16_t(row[x * 2] | (row[x * 2 + 1] << 8));
            // Expand 5 bits to 8 by repeating the top bits, so white stays white.
            auto expand = [](unsigned c) { return (c << 3) | (c >> 2); };
            return (expand((v >> 10) & 31) << 16) | (expand((v >> 5) & 31) << 8) | expand(v & 31);
        }
        default:
            return (row[x / 8] & (0x80 >> (x % 8))) ? 0x00FFFFFFu : 0;
    }
}

void WritePixel(std::uint8_t* row, int x, int bpp, std::uint32_t argb) {
    const unsigned r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (bpp) {
        case 32: {
            std::uint8_t* p = row + x * 4;
            p[0] = std::uint8_t(b);
            p[1] = std::uint8_t(g);
            p[2] = std::uint8_t(r);
            p[3] = std::uint8_t(argb >> 24);
            break;
        }
        case 24: {
            std::uint8_t* p = row + x * 3;
            p[0] = std::uint8_t(b);
            p[1] = std::uint8_t(g);
            p[2] = std::uint8_t(r);
            break;
        }
        case 16: {
            const std::uint16_t v = std::uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
            row[x * 2] = std::uint8_t(v & 0xFF);
            row[x * 2 + 1] = std::uint8_t(v >> 8);
            break;
        }
        default: {
            // A monochrome pixel is white when the colour is nearer white.
            const bool white = (r * 30 + g * 59 + b * 11) >= 128 * 100;
            if (white) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
            else row[x / 8] &= std::uint8_t(~(0x80 >> (x % 8)));
        }
    }
}

std::shared_ptr<Bitmap> CloneBitmap(const Bitmap& from, int bpp) {
    auto to = std::make_shared<Bitmap>(from.Width(), from.Height(), bpp);
    for (int y = 0; y < from.Height(); ++y)
        for (int x = 0; x < from.Width(); ++x) to->Set(x, y, from.Get(x, y));
    return to;
}

std::uint32_t Bitmap::GetSlow(int x, int y) const { return ReadPixel(Row(y), x, m_bpp); }
void Bitmap::SetSlow(int x, int y, std::uint32_t argb) { WritePixel(Row(y), x, m_bpp, argb); }

}  // namespace plat::ui
