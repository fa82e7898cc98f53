// Bitmap building blocks of the skin: copies, pieces cut out of a
// full-window image, repetitions side by side, one image appended to
// another, and the column and row stretches (SkinStretch.h). Each returns a
// new 32-bit bitmap that the caller owns, or null when the source is
// missing or empty: an empty slot stays empty and draws nothing.
#pragma once

#include "skin/GdiHandle.h"

namespace skin {

OwnedBitmap CopyBitmap(HBITMAP source);
// The rectangle's pixels (its size; parts outside the source are black).
OwnedBitmap CutPiece(HBITMAP source, const RECT& rect);
// The source `count` times side by side (count below 1 counts as 1).
OwnedBitmap RepeatHorizontally(HBITMAP source, int count);
// `left` followed on the right by `right`, as high as `right`.
OwnedBitmap AppendRight(HBITMAP left, HBITMAP right);
OwnedBitmap StretchToWidth(HBITMAP source, int width, int column);
OwnedBitmap StretchToHeight(HBITMAP source, int height, int row);

// Copies the whole bitmap to `dc` at (x, y); nothing for a missing one.
void DrawBitmap(HDC dc, int x, int y, HBITMAP bitmap);
// Copies the top-left `width` x `height` of the bitmap to `dc` at (x, y).
void DrawBitmapPart(HDC dc, int x, int y, int width, int height, HBITMAP bitmap);

}  // namespace skin
