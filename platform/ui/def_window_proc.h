// The default window procedure.
#pragma once

#include "ui/ui_constants.h"

constexpr UINT WM_KEYF1 = 0x004D;
constexpr UINT WM_HELP = 0x0053;
constexpr int HELPINFO_WINDOW = 1;

struct HELPINFO {
    UINT cbSize = sizeof(HELPINFO);
    int iContextType = HELPINFO_WINDOW;
    int iCtrlId = 0;
    HANDLE hItemHandle = nullptr;  // the window
    DWORD_PTR dwContextId = 0;
    POINT MousePos{};
};

// Default handling: erasing with the class brush, painting (validation),
// text, WM_CLOSE -> DestroyWindow, WM_MOVE / WM_SIZE after a position change,
// hit tests against the window's shape, dragging on WM_NCLBUTTONDOWN with
// HTCAPTION, WM_CONTEXTMENU after a right-button release or from the
// keyboard (menu key, Shift+F10, point -1, -1), child windows passing
// WM_CONTEXTMENU and WM_MOUSEWHEEL to their parent, focus on activation.
// F1: a WM_KEYDOWN of VK_F1 taken from the queue posts WM_KEYF1 to its
// window, whatever its procedure does with the key, and the default
// handling of WM_KEYF1 sends WM_HELP with a HELPINFO about that window; a
// WM_HELP left to the default goes on to the parent of a child window, or
// the owner of a top-level one, so the application hears it.
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
