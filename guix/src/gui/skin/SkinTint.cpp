#include "skin/SkinTint.h"

#include "skin/SkinBitmaps.h"
#include "skin/SkinColor.h"

namespace skin {
namespace {

std::uint32_t Channel(std::uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }

// The tinted value of one channel level `tint` at grey level `grey`.
std::uint32_t Scaled(std::uint32_t tint, std::uint32_t grey) {
    return std::uint32_t(double(tint) * double(grey) / 255.0);
}

}  // namespace

void TintPixels(PixelImage& image, int colour_index) {
    if (colour_index == 0) return;
    const COLORREF tint = TintColor(colour_index);
    const std::uint32_t red = GetRValue(tint), green = GetGValue(tint), blue = GetBValue(tint);
    for (std::uint32_t& p : image.pixels) {
        const std::uint32_t grey = Channel(p, 16);
        if (grey == 0 || Channel(p, 8) != grey || Channel(p, 0) != grey) continue;
        p = (p & 0xFF000000u) | (Scaled(red, grey) << 16) | (Scaled(green, grey) << 8) | Scaled(blue, grey);
    }
}

OwnedBitmap TintedCopy(HBITMAP source, int colour_index) {
    PixelImage image = ReadPixels(source);
    if (BitmapDepth(source) > 16) TintPixels(image, colour_index);
    return OwnedBitmap(MakeBitmap(image));
}

}  // namespace skin

void TintBitmap(HDC dc, int colour_index) {
    if (colour_index == 0) return;
    HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
    if (!bitmap || skin::BitmapDepth(bitmap) <= 16) return;
    skin::PixelImage image = skin::ReadPixels(bitmap);
    if (image.Empty()) return;
    skin::TintPixels(image, colour_index);
    skin::WritePixels(bitmap, image);
}
