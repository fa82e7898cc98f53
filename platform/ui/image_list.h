// Image lists: equally sized images cut from a strip bitmap, each with an
// optional mask or per-pixel alpha, drawn by index.
#pragma once

#include "ui/ui_constants.h"

// Flags: ILC_COLOR16/24/32 and ILC_MASK. Without ILC_MASK images draw opaque.
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
// Cuts the strip into width / cx images (partial columns are ignored).
// Returns the index of the first new image, or -1. Mask bits of 1 are
// transparent; a 32-bit image with any alpha draws alpha-blended instead.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
// The mask is every pixel of colour `mask_color`.
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask_color);
BOOL ImageList_Replace(HIMAGELIST list, int index, HBITMAP image, HBITMAP mask);
// index -1 removes every image.
BOOL ImageList_Remove(HIMAGELIST list, int index);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC hdc, int x, int y, UINT style);
HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags);
