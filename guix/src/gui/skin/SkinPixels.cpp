#include "skin/SkinPixels.h"

namespace skin {
namespace {

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

int BitmapDepth(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return 0;
    return info.bmBitsPixel;
}

PixelImage ReadPixels(HBITMAP bitmap) {
    const SIZE size = BitmapSize(bitmap);
    if (size.cx <= 0 || size.cy <= 0) return {};
    PixelImage image(size.cx, size.cy);
    BITMAPINFO info = TopDown32(size.cx, size.cy);
    if (GetDIBits(nullptr, bitmap, 0, UINT(size.cy), image.pixels.data(), &info, DIB_RGB_COLORS) != size.cy) return {};
    return image;
}

bool WritePixels(HBITMAP bitmap, const PixelImage& image) {
    if (image.Empty()) return false;
    const BITMAPINFO info = TopDown32(image.width, image.height);
    return SetDIBits(nullptr, bitmap, 0, UINT(image.height), image.pixels.data(), &info, DIB_RGB_COLORS) ==
           image.height;
}

HBITMAP MakeBitmap(const PixelImage& image) {
    if (image.Empty()) return nullptr;
    return CreateBitmap(image.width, image.height, 1, 32, image.pixels.data());
}

}  // namespace skin
