// Bitmaps as GDI handles: device-dependent and device-independent creation
// and the GetDIBits / SetDIBits transfers between formats.
#pragma once

#include "ui/ui_constants.h"

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bits_per_pixel, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// Top-down when biHeight < 0. BI_RGB with 1, 16 (5-5-5), 24 or 32 bits.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
// With bits null and biBitCount 0, fills the header with the bitmap's own
// format. Otherwise converts scan lines [start, start + lines) into the
// header's format and returns how many were copied (0 on failure). The
// header's width must equal the bitmap's.
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
int SetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
