// Layered windows: whole-window opacity. Where nothing can show opacity (X11
// without a compositor, or a headless run told so) SetLayeredWindowAttributes
// fails with ERROR_NOT_SUPPORTED, so the program knows transparency is not
// available instead of believing it worked.
#pragma once

#include "ui/ui_constants.h"

// Needs WS_EX_LAYERED (ERROR_INVALID_PARAMETER otherwise). LWA_ALPHA sets the
// opacity; LWA_COLORKEY is stored and reported but not shown.
BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags);
BOOL GetLayeredWindowAttributes(HWND hwnd, COLORREF* key, BYTE* alpha, DWORD* flags);
