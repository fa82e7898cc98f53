// The USER/GDI handle types and records the GUI is written against. Records
// the GUI stores or exchanges keep the Windows layout (RECT, POINT,
// WINDOWPLACEMENT, LOGFONTW, BITMAPINFOHEADER); the size checks sit beside
// them.
#pragma once

#include <cstdint>

#include "base/wintypes.h"

#define LUMETRA_UI_HANDLE(name) \
    struct name##__ {           \
        int unused;             \
    };                          \
    using name = name##__*

LUMETRA_UI_HANDLE(HWND);
LUMETRA_UI_HANDLE(HDC);
LUMETRA_UI_HANDLE(HBITMAP);
LUMETRA_UI_HANDLE(HBRUSH);
LUMETRA_UI_HANDLE(HPEN);
LUMETRA_UI_HANDLE(HFONT);
LUMETRA_UI_HANDLE(HRGN);
LUMETRA_UI_HANDLE(HICON);
LUMETRA_UI_HANDLE(HMENU);
LUMETRA_UI_HANDLE(HINSTANCE);
LUMETRA_UI_HANDLE(HMONITOR);
LUMETRA_UI_HANDLE(HIMAGELIST_);
#undef LUMETRA_UI_HANDLE

using HIMAGELIST = HIMAGELIST___*;
using HGDIOBJ = void*;
using HCURSOR = HICON;
using HMODULE = HINSTANCE;

using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using ATOM = WORD;
using COLORREF = DWORD;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

inline constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16); }
inline constexpr BYTE GetRValue(COLORREF c) { return BYTE(c & 0xFF); }
inline constexpr BYTE GetGValue(COLORREF c) { return BYTE((c >> 8) & 0xFF); }
inline constexpr BYTE GetBValue(COLORREF c) { return BYTE((c >> 16) & 0xFF); }

inline constexpr LPARAM MAKELPARAM(int lo, int hi) {
    return LPARAM(DWORD(WORD(lo)) | (DWORD(WORD(hi)) << 16));
}
inline constexpr WPARAM MAKEWPARAM(int lo, int hi) { return WPARAM(MAKELPARAM(lo, hi)) & 0xFFFFFFFFu; }
// Signed coordinates packed into an LPARAM (mouse messages).
inline constexpr int GET_X_LPARAM(LPARAM lp) { return SHORT(WORD(lp & 0xFFFF)); }
inline constexpr int GET_Y_LPARAM(LPARAM lp) { return SHORT(WORD((lp >> 16) & 0xFFFF)); }
inline constexpr SHORT GET_WHEEL_DELTA_WPARAM(WPARAM wp) { return SHORT(WORD((wp >> 16) & 0xFFFF)); }

struct POINT {
    LONG x = 0;
    LONG y = 0;
};
static_assert(sizeof(POINT) == 8);

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};
static_assert(sizeof(SIZE) == 8);

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};
static_assert(sizeof(RECT) == 16);

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;
};

struct WINDOWPOS {
    HWND hwnd = nullptr;
    HWND hwndInsertAfter = nullptr;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
};

// The placement record the GUI stores in its settings as 44 bytes.
struct WINDOWPLACEMENT {
    UINT length = sizeof(WINDOWPLACEMENT);
    UINT flags = 0;
    UINT showCmd = 0;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};
static_assert(sizeof(WINDOWPLACEMENT) == 44);

struct CREATESTRUCTW {
    LPVOID lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HMENU hMenu = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    LONG style = 0;
    LPCWSTR lpszName = nullptr;
    LPCWSTR lpszClass = nullptr;
    DWORD dwExStyle = 0;
};

struct WNDCLASSEXW {
    UINT cbSize = sizeof(WNDCLASSEXW);
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    LPCWSTR lpszMenuName = nullptr;
    LPCWSTR lpszClassName = nullptr;
    HICON hIconSm = nullptr;
};

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;
    RECT rcPaint;
    BOOL fRestore = FALSE;
    BOOL fIncUpdate = FALSE;
    BYTE rgbReserved[32] = {};
};

struct MONITORINFO {
    DWORD cbSize = sizeof(MONITORINFO);
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags = 0;
};
static_assert(sizeof(MONITORINFO) == 40);

struct RGNDATAHEADER {
    DWORD dwSize = sizeof(RGNDATAHEADER);
    DWORD iType = 1;  // RDH_RECTANGLES
    DWORD nCount = 0;
    DWORD nRgnSize = 0;
    RECT rcBound;
};
static_assert(sizeof(RGNDATAHEADER) == 32);

// A header followed by nCount RECTs.
struct RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
};

struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 0;
    WORD bmBitsPixel = 0;
    LPVOID bmBits = nullptr;
};

struct BITMAPINFOHEADER {
    DWORD biSize = sizeof(BITMAPINFOHEADER);
    LONG biWidth = 0;
    LONG biHeight = 0;
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3] = {};
    HANDLE dshSection = nullptr;
    DWORD dsOffset = 0;
};

constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    WCHAR lfFaceName[LF_FACESIZE] = {};
};
static_assert(sizeof(LOGFONTW) == 92);

struct TEXTMETRICW {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
    LONG tmOverhang = 0;
    LONG tmDigitizedAspectX = 0;
    LONG tmDigitizedAspectY = 0;
    WCHAR tmFirstChar = 0;
    WCHAR tmLastChar = 0;
    WCHAR tmDefaultChar = 0;
    WCHAR tmBreakChar = 0;
    BYTE tmItalic = 0;
    BYTE tmUnderlined = 0;
    BYTE tmStruckOut = 0;
    BYTE tmPitchAndFamily = 0;
    BYTE tmCharSet = 0;
};

struct LOGBRUSH {
    UINT lbStyle = 0;
    COLORREF lbColor = 0;
    ULONG_PTR lbHatch = 0;
};

struct ICONINFO {
    BOOL fIcon = TRUE;
    DWORD xHotspot = 0;
    DWORD yHotspot = 0;
    HBITMAP hbmMask = nullptr;
    HBITMAP hbmColor = nullptr;
};

// WM_DRAWITEM's record for owner-drawn controls.
struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = 0;
    UINT itemState = 0;
    HWND hwndItem = nullptr;
    HDC hDC = nullptr;
    RECT rcItem;
    ULONG_PTR itemData = 0;
};

struct BLENDFUNCTION {
    BYTE BlendOp = 0;
    BYTE BlendFlags = 0;
    BYTE SourceConstantAlpha = 255;
    BYTE AlphaFormat = 0;
};
