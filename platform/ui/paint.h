// Update regions and painting: invalidation, WM_PAINT with BeginPaint /
// EndPaint, window device contexts, and window shapes (SetWindowRgn).
//
// A window DC draws into the top-level window's retained surface, clipped
// to what of the window is visible; releasing it (ReleaseDC, EndPaint)
// presents the drawn area in one copy, so nothing flickers. GetDC and
// ReleaseDC may be called from any thread.
#pragma once

#include "ui/ui_constants.h"

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND hwnd);
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
// GetDC(nullptr) is a screen DC for creating compatible objects and reading
// device capabilities; drawing on it touches nothing.
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
// The window takes over the region: the handle is no longer valid after a
// successful call. A null region removes the shape.
int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw);
// Copies the shape into `rgn`; ERROR_REGION when the window has none.
int GetWindowRgn(HWND hwnd, HRGN rgn);
BOOL GdiFlush();
