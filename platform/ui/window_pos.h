// Window geometry, visibility, z-order and placement.
//
// A window's client area is its whole rectangle: the system's windows are
// skinned popups and child controls that draw everything themselves, and on
// X11 the window manager draws any frame outside the window.
//
// Z-order: topmost top-level windows stay above the others. HWND_TOPMOST
// makes a window topmost, HWND_NOTOPMOST and HWND_BOTTOM end that (as on
// Windows). Placement rectangles are in workspace coordinates (relative to
// the primary work area) for top-level windows, as on Windows; a placement
// that would put the window on no monitor is moved into the nearest work
// area so a window stored on a monitor that is gone comes back into view.
#pragma once

#include "ui/ui_constants.h"

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND hwnd);
// Returns whether the window was visible before.
BOOL ShowWindow(HWND hwnd, int command);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// The 44-byte record; length must be sizeof(WINDOWPLACEMENT).
BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement);
BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement);
// The deepest visible, enabled window under a screen point, honouring
// window shapes; a disabled child yields its parent.
HWND WindowFromPoint(POINT point);
HWND ChildWindowFromPoint(HWND parent, POINT client_point);
