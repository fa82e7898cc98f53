#include "skin/SkinBitmaps.h"

#include <algorithm>

#include "skin/SkinPixels.h"
#include "skin/SkinStretch.h"

namespace skin {
namespace {

OwnedBitmap Owned(const PixelImage& image) { return OwnedBitmap(MakeBitmap(image)); }

// Copies `from` into `to` with its top-left corner at (x, y), clipped.
void Paste(PixelImage& to, const PixelImage& from, int x, int y) {
    for (int row = 0; row < from.height; ++row) {
        if (y + row < 0 || y + row >= to.height) continue;
        for (int col = 0; col < from.width; ++col)
            if (x + col >= 0 && x + col < to.width) to.At(x + col, y + row) = from.At(col, row);
    }
}

}  // namespace

OwnedBitmap CopyBitmap(HBITMAP source) { return Owned(ReadPixels(source)); }

OwnedBitmap CutPiece(HBITMAP source, const RECT& rect) {
    const PixelImage image = ReadPixels(source);
    if (image.Empty() || rect.right <= rect.left || rect.bottom <= rect.top) return {};
    PixelImage piece(rect.right - rect.left, rect.bottom - rect.top);
    Paste(piece, image, -rect.left, -rect.top);
    return Owned(piece);
}

OwnedBitmap RepeatHorizontally(HBITMAP source, int count) {
    const PixelImage image = ReadPixels(source);
    if (image.Empty()) return {};
    count = std::max(count, 1);
    PixelImage out(image.width * count, image.height);
    for (int i = 0; i < count; ++i) Paste(out, image, i * image.width, 0);
    return Owned(out);
}

OwnedBitmap AppendRight(HBITMAP left, HBITMAP right) {
    const PixelImage first = ReadPixels(left);
    const PixelImage second = ReadPixels(right);
    if (second.Empty()) return Owned(first);
    PixelImage out(first.width + second.width, second.height);
    Paste(out, first, 0, 0);
    Paste(out, second, first.width, 0);
    return Owned(out);
}

OwnedBitmap StretchToWidth(HBITMAP source, int width, int column) {
    const PixelImage image = ReadPixels(source);
    const std::vector<int> map = StretchColumnMap(image.width, width, column);
    if (map.empty() || image.Empty()) return {};
    PixelImage out(int(map.size()), image.height);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) out.At(x, y) = image.At(map[std::size_t(x)], y);
    return Owned(out);
}

OwnedBitmap StretchToHeight(HBITMAP source, int height, int row) {
    const PixelImage image = ReadPixels(source);
    const std::vector<int> map = StretchRowMap(image.height, height, row);
    if (map.empty() || image.Empty()) return {};
    PixelImage out(image.width, int(map.size()));
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) out.At(x, y) = image.At(x, map[std::size_t(y)]);
    return Owned(out);
}

void DrawBitmap(HDC dc, int x, int y, HBITMAP bitmap) {
    const SIZE size = BitmapSize(bitmap);
    DrawBitmapPart(dc, x, y, size.cx, size.cy, bitmap);
}

void DrawBitmapPart(HDC dc, int x, int y, int width, int height, HBITMAP bitmap) {
    if (!bitmap || width <= 0 || height <= 0) return;
    MemoryDC source(bitmap);
    if (source) BitBlt(dc, x, y, width, height, source.Get(), 0, 0, SRCCOPY);
}

}  // namespace skin
