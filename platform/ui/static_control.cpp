// Static text: the window text on the background and in the colour the
// parent chooses (WM_CTLCOLORSTATIC), left or centred by style.
#include "ui/control_procs.h"
#include "ui/control_state.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/paint.h"
#include "ui/text.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

struct StaticState {
    HFONT font = nullptr;
};

ControlStates<StaticState>& Statics() {
    static ControlStates<StaticState> states;
    return states;
}

void Paint(HWND hwnd, HFONT font) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    WCHAR text[512];
    GetWindowTextW(hwnd, text, 512);
    HGDIOBJ old_font = font ? SelectObject(hdc, font) : nullptr;
    FillRect(hdc, &rc, ControlBackground(hwnd, hdc));
    SetBkMode(hdc, TRANSPARENT);
    if (!IsWindowEnabled(hwnd)) SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
    const UINT align = (GetWindowLongW(hwnd, GWL_STYLE) & SS_CENTER) ? DT_CENTER : DT_LEFT;
    DrawTextW(hdc, text, -1, &rc, align | DT_WORDBREAK);
    if (old_font) SelectObject(hdc, old_font);
    EndPaint(hwnd, &ps);
}

}  // namespace

LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
        case WM_NCDESTROY: Statics().Drop(hwnd); break;
        case WM_PAINT: Paint(hwnd, Statics().Of(hwnd)->font); return 0;
        case WM_ERASEBKGND: return 1;  // painted with the parent's brush in WM_PAINT
        case WM_NCHITTEST: return HTTRANSPARENT;  // clicks go to what lies below
        case WM_GETDLGCODE: return DLGC_STATIC;
        case WM_SETFONT: Statics().Of(hwnd)->font = reinterpret_cast<HFONT>(wp); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(Statics().Of(hwnd)->font);
        case WM_SETTEXT: return SetTextAndRedraw(hwnd, wp, lp, TRUE);
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

}  // namespace plat::ui
