// The default window procedure.
#pragma once

#include "ui/ui_constants.h"

// Default handling: erasing with the class brush, painting (validation),
// text, WM_CLOSE -> DestroyWindow, WM_MOVE / WM_SIZE after a position change,
// hit tests against the window's shape, dragging on WM_NCLBUTTONDOWN with
// HTCAPTION, WM_CONTEXTMENU after a right-button release or from the
// keyboard (menu key, Shift+F10, point -1, -1), child windows passing
// WM_CONTEXTMENU and WM_MOUSEWHEEL to their parent, focus on activation.
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
