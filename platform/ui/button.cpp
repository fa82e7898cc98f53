// Push buttons. An owner-drawn button asks its parent to draw it with
// WM_DRAWITEM, passing the selected (pressed), disabled, focus and default
// states; a plain one draws a face, a frame, its centred text and, when
// focused, a focus rectangle. A click is a press and a release inside the
// button, or Space pressed and released while it has the focus, reported as
// BN_CLICKED. The second press of a double-click is BN_DOUBLECLICKED for
// owner-drawn, radio and BS_NOTIFY buttons and a press for the others, as on
// Windows. Push buttons tell the dialog so in WM_GETDLGCODE, the default
// one apart (owner-drawn buttons are plain buttons to the dialog).
#include <utility>

#include "ui/control_procs.h"
#include "ui/control_state.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/paint.h"
#include "ui/rect.h"
#include "ui/text.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

struct ButtonState {
    bool pushed = false;
    bool tracking = false;
    bool spaceDown = false;
    HFONT font = nullptr;
};

ControlStates<ButtonState>& Buttons() {
    static ControlStates<ButtonState> states;
    return states;
}

DWORD Style(HWND hwnd) { return DWORD(GetWindowLongW(hwnd, GWL_STYLE)); }

UINT DrawState(HWND hwnd, const ButtonState& state) {
    UINT s = 0;
    if (state.pushed) s |= ODS_SELECTED;
    if (!IsWindowEnabled(hwnd)) s |= ODS_DISABLED;
    if (GetFocus() == hwnd) s |= ODS_FOCUS;
    if ((Style(hwnd) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) s |= ODS_DEFAULT;
    return s;
}

void DrawPlain(HWND hwnd, HDC hdc, const RECT& rc, UINT state, HFONT font) {
    FillRect(hdc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    HBRUSH frame = CreateSolidBrush(state & ODS_DEFAULT ? RGB(0, 0, 0) : RGB(100, 100, 100));
    FrameRect(hdc, &rc, frame);
    DeleteObject(frame);
    WCHAR text[256];
    GetWindowTextW(hwnd, text, 256);
    RECT inner = rc;
    if (state & ODS_SELECTED) OffsetRect(&inner, 1, 1);
    HGDIOBJ old_font = font ? SelectObject(hdc, font) : nullptr;
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, state & ODS_DISABLED ? RGB(128, 128, 128) : RGB(0, 0, 0));
    DrawTextW(hdc, text, -1, &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (old_font) SelectObject(hdc, old_font);
    if (state & ODS_FOCUS) {
        RECT focus{rc.left + 3, rc.top + 3, rc.right - 3, rc.bottom - 3};
        DrawFocusRect(hdc, &focus);
    }
}

void Paint(HWND hwnd, const ButtonState& state) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = UINT(GetDlgCtrlID(hwnd));
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = DrawState(hwnd, state);
    dis.hwndItem = hwnd;
    dis.hDC = hdc;
    GetClientRect(hwnd, &dis.rcItem);
    if ((Style(hwnd) & BS_TYPEMASK) == BS_OWNERDRAW)
        SendMessageW(GetParent(hwnd), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    else
        DrawPlain(hwnd, hdc, dis.rcItem, dis.itemState, state.font);
    EndPaint(hwnd, &ps);
}

void SetPushed(HWND hwnd, ButtonState& state, bool pushed) {
    if (state.pushed == pushed) return;
    state.pushed = pushed;
    InvalidateRect(hwnd, nullptr, FALSE);
}

LRESULT DialogCode(HWND hwnd) {
    switch (Style(hwnd) & BS_TYPEMASK) {
        case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        default: return DLGC_BUTTON;
    }
}

bool ReportsDoubleClicks(HWND hwnd) {
    const DWORD type = Style(hwnd) & BS_TYPEMASK;
    return (Style(hwnd) & BS_NOTIFY) || type == BS_OWNERDRAW || type == BS_RADIOBUTTON || type == BS_USERBUTTON ||
           type == BS_AUTORADIOBUTTON;
}

bool Inside(HWND hwnd, LPARAM lp) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    return PtInRect(&rc, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
}

}  // namespace

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCDESTROY) {
        Buttons().Drop(hwnd);
        return DefWindowProcW(hwnd, message, wp, lp);
    }
    auto state = Buttons().Of(hwnd);
    switch (message) {
        case WM_PAINT: Paint(hwnd, *state); return 0;
        case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
        case WM_LBUTTONDBLCLK:
            if (ReportsDoubleClicks(hwnd)) {
                NotifyParentCommand(hwnd, BN_DOUBLECLICKED);
                return 0;
            }
            [[fallthrough]];
        case WM_LBUTTONDOWN:
            state->tracking = true;
            SetCapture(hwnd);
            SetFocus(hwnd);
            SetPushed(hwnd, *state, true);
            return 0;
        case WM_MOUSEMOVE:
            if (state->tracking) SetPushed(hwnd, *state, Inside(hwnd, lp));
            return 0;
        case WM_LBUTTONUP: {
            if (!state->tracking) return 0;
            const bool click = Inside(hwnd, lp);
            state->tracking = false;
            ReleaseCapture();
            SetPushed(hwnd, *state, false);
            if (click) NotifyParentCommand(hwnd, BN_CLICKED);
            return 0;
        }
        case WM_CAPTURECHANGED:
            state->tracking = false;
            SetPushed(hwnd, *state, state->spaceDown);
            return 0;
        case WM_KEYDOWN:
            if (wp == WPARAM(VK_SPACE) && !state->tracking) {
                state->spaceDown = true;
                SetPushed(hwnd, *state, true);
            }
            return 0;
        case WM_KEYUP:
            if (wp == WPARAM(VK_SPACE) && state->spaceDown) {
                state->spaceDown = false;
                SetPushed(hwnd, *state, false);
                NotifyParentCommand(hwnd, BN_CLICKED);
            }
            return 0;
        case WM_GETDLGCODE: return DialogCode(hwnd);
        case BM_CLICK: NotifyParentCommand(hwnd, BN_CLICKED); return 0;
        case BM_GETSTATE: return (state->pushed ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0);
        case BM_SETSTATE: SetPushed(hwnd, *state, wp != 0); return 0;
        case BM_SETSTYLE:
            SetWindowLongW(hwnd, GWL_STYLE, LONG((Style(hwnd) & ~BS_TYPEMASK) | (DWORD(wp) & BS_TYPEMASK)));
            if (lp) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_SETFONT: state->font = reinterpret_cast<HFONT>(wp); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
        case WM_KILLFOCUS:  // a Space press ends without a click
            if (std::exchange(state->spaceDown, false) && !state->tracking) SetPushed(hwnd, *state, false);
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_ENABLE:
        case WM_SETFOCUS: InvalidateRect(hwnd, nullptr, FALSE); return 0;
        case WM_SETTEXT: return SetTextAndRedraw(hwnd, wp, lp, FALSE);
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

}  // namespace plat::ui
