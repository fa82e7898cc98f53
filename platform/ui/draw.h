// Filling and copying pixels: FillRect, PatBlt, BitBlt, StretchBlt,
// AlphaBlend, SetPixel and GetPixel. Every operation clips to the
// destination DC's clip and the surface; GDI writes an alpha byte of 0.
#pragma once

#include "ui/ui_constants.h"

// `brush` may also be a system colour index plus one, as on Windows.
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
// A dotted frame in the window-text colour marking the focused control. It
// is drawn, not inverted as on Windows, so drawing it twice does not remove it.
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush);
// Outline with the selected pen, inside filled with the selected brush.
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);
// SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, NOTSRCCOPY, PATCOPY, BLACKNESS and
// WHITENESS; other raster operations fail with ERROR_INVALID_PARAMETER.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
// Nearest-pixel scaling.
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int swidth, int sheight, DWORD rop);
// Premultiplied per-pixel alpha (AC_SRC_ALPHA) and a constant alpha.
BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int swidth, int sheight,
                BLENDFUNCTION blend);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);
