// The trackbar (horizontal): a range, default 0 to 100, a position, a
// channel and a thumb. The thumb is dragged with the mouse; a click beside
// it pages towards the click; arrows, Page Up/Down, Home/End and the wheel
// move it; the trackbar keeps the arrow keys from the dialog and draws a
// focus rectangle while it has the focus. Every change made by the user is
// reported to the parent with WM_HSCROLL (TB_THUMBTRACK with the position
// while dragging, TB_LINE*, TB_PAGE*, TB_TOP/TB_BOTTOM), and the end of each
// action with TB_ENDTRACK. Positions set by the program are not reported.
#include <algorithm>
#include <utility>

#include "ui/control_procs.h"
#include "ui/control_state.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/paint.h"
#include "ui/rect.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

constexpr int kThumbWidth = 11;
constexpr int kMargin = 8;  // channel inset, so the thumb fits at both ends

struct TrackbarState {
    LONG min = 0;
    LONG max = 100;
    LONG pos = 0;
    LONG line = 1;
    LONG page = 20;
    bool dragging = false;
    bool paging = false;
    int dragOffset = 0;
};

ControlStates<TrackbarState>& Trackbars() {
    static ControlStates<TrackbarState> states;
    return states;
}

RECT ChannelRect(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    const int mid = (rc.top + rc.bottom) / 2;
    return RECT{rc.left + kMargin, mid - 2, std::max(rc.left + kMargin, rc.right - kMargin), mid + 2};
}

int XOfPosition(HWND hwnd, const TrackbarState& s) {
    const RECT ch = ChannelRect(hwnd);
    if (s.max <= s.min) return ch.left;
    return ch.left + int((std::int64_t(s.pos - s.min) * (ch.right - ch.left)) / (s.max - s.min));
}

LONG PositionOfX(HWND hwnd, const TrackbarState& s, int x) {
    const RECT ch = ChannelRect(hwnd);
    const int width = std::max(1, int(ch.right - ch.left));
    const std::int64_t offset = std::clamp<std::int64_t>(x - ch.left, 0, width);
    // Round to the nearest position so the thumb lands where it was dropped.
    return s.min + LONG((offset * (s.max - s.min) + width / 2) / width);
}

RECT ThumbRect(HWND hwnd, const TrackbarState& s) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    const int x = XOfPosition(hwnd, s);
    return RECT{x - kThumbWidth / 2, rc.top + 2, x - kThumbWidth / 2 + kThumbWidth, std::max(rc.top + 2, rc.bottom - 2)};
}

void Notify(HWND hwnd, WORD code, LONG pos) {
    HWND parent = GetParent(hwnd);
    if (parent) SendMessageW(parent, WM_HSCROLL, MAKEWPARAM(code, WORD(pos)), reinterpret_cast<LPARAM>(hwnd));
}

void SetPosition(HWND hwnd, TrackbarState& s, LONG pos, bool redraw) {
    pos = std::clamp(pos, s.min, std::max(s.min, s.max));
    if (pos == s.pos) return;
    s.pos = pos;
    if (redraw) InvalidateRect(hwnd, nullptr, TRUE);
}

void SetRange(HWND hwnd, TrackbarState& s, LONG min, LONG max, bool redraw) {
    s.min = min;
    s.max = std::max(min, max);
    s.pos = std::clamp(s.pos, s.min, s.max);
    if (redraw) InvalidateRect(hwnd, nullptr, TRUE);
}

// Moves by the user's action and reports it.
void UserMove(HWND hwnd, TrackbarState& s, WORD code, LONG target) {
    SetPosition(hwnd, s, target, true);
    Notify(hwnd, code, s.pos);
}

bool KeyMove(HWND hwnd, TrackbarState& s, int vk) {
    switch (vk) {
        case VK_LEFT:
        case VK_UP: UserMove(hwnd, s, TB_LINEUP, s.pos - s.line); return true;
        case VK_RIGHT:
        case VK_DOWN: UserMove(hwnd, s, TB_LINEDOWN, s.pos + s.line); return true;
        case VK_PRIOR: UserMove(hwnd, s, TB_PAGEUP, s.pos - s.page); return true;
        case VK_NEXT: UserMove(hwnd, s, TB_PAGEDOWN, s.pos + s.page); return true;
        case VK_HOME: UserMove(hwnd, s, TB_TOP, s.min); return true;
        case VK_END: UserMove(hwnd, s, TB_BOTTOM, s.max); return true;
    }
    return false;
}

void ButtonDown(HWND hwnd, TrackbarState& s, POINT pt) {
    SetFocus(hwnd);
    SetCapture(hwnd);
    const RECT thumb = ThumbRect(hwnd, s);
    if (PtInRect(&thumb, pt)) {
        s.dragging = true;
        s.dragOffset = pt.x - XOfPosition(hwnd, s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return;
    }
    s.paging = true;
    if (pt.x < thumb.left) UserMove(hwnd, s, TB_PAGEUP, s.pos - s.page);
    else UserMove(hwnd, s, TB_PAGEDOWN, s.pos + s.page);
}

void Drag(HWND hwnd, TrackbarState& s, POINT pt) {
    const LONG pos = PositionOfX(hwnd, s, pt.x - s.dragOffset);
    if (pos == s.pos) return;
    SetPosition(hwnd, s, pos, true);
    Notify(hwnd, TB_THUMBTRACK, s.pos);
}

void ButtonUp(HWND hwnd, TrackbarState& s) {
    if (!s.dragging && !s.paging) return;
    s.dragging = s.paging = false;
    ReleaseCapture();
    InvalidateRect(hwnd, nullptr, TRUE);
    Notify(hwnd, TB_ENDTRACK, s.pos);
}

void Paint(HWND hwnd, const TrackbarState& s) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(hdc, &rc, ControlBackground(hwnd, hdc));
    HBRUSH channel = CreateSolidBrush(RGB(120, 120, 120));
    const RECT ch = ChannelRect(hwnd);
    FillRect(hdc, &ch, channel);
    DeleteObject(channel);
    HBRUSH thumb = CreateSolidBrush(s.dragging ? RGB(0, 90, 200) : RGB(30, 130, 230));
    const RECT th = ThumbRect(hwnd, s);
    FillRect(hdc, &th, thumb);
    DeleteObject(thumb);
    if (GetFocus() == hwnd) DrawFocusRect(hdc, &rc);
    EndPaint(hwnd, &ps);
}

POINT PointOf(LPARAM lp) { return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

}  // namespace

LRESULT TrackbarProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCDESTROY) {
        Trackbars().Drop(hwnd);
        return DefWindowProcW(hwnd, message, wp, lp);
    }
    auto s = Trackbars().Of(hwnd);
    switch (message) {
        case TBM_GETPOS: return s->pos;
        case TBM_SETPOS: SetPosition(hwnd, *s, LONG(lp), wp != 0); return 0;
        case TBM_GETRANGEMIN: return s->min;
        case TBM_GETRANGEMAX: return s->max;
        case TBM_SETRANGE: SetRange(hwnd, *s, SHORT(LOWORD(DWORD(lp))), SHORT(HIWORD(DWORD(lp))), wp != 0); return 0;
        case TBM_SETRANGEMIN: SetRange(hwnd, *s, LONG(lp), s->max, wp != 0); return 0;
        case TBM_SETRANGEMAX: SetRange(hwnd, *s, s->min, LONG(lp), wp != 0); return 0;
        case TBM_SETPAGESIZE: return std::exchange(s->page, LONG(lp));
        case TBM_GETPAGESIZE: return s->page;
        case TBM_SETLINESIZE: return std::exchange(s->line, LONG(lp));
        case TBM_GETLINESIZE: return s->line;
        case TBM_GETTHUMBRECT: *reinterpret_cast<RECT*>(lp) = ThumbRect(hwnd, *s); return 0;
        case TBM_GETCHANNELRECT: *reinterpret_cast<RECT*>(lp) = ChannelRect(hwnd); return 0;
        case WM_PAINT: Paint(hwnd, *s); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_LBUTTONDOWN: ButtonDown(hwnd, *s, PointOf(lp)); return 0;
        case WM_MOUSEMOVE:
            if (s->dragging) Drag(hwnd, *s, PointOf(lp));
            return 0;
        case WM_LBUTTONUP: ButtonUp(hwnd, *s); return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != hwnd) ButtonUp(hwnd, *s);
            return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, TRUE); return 0;
        case WM_KEYDOWN: return KeyMove(hwnd, *s, int(wp)) ? 0 : DefWindowProcW(hwnd, message, wp, lp);
        case WM_KEYUP:
            if (int(wp) >= VK_PRIOR && int(wp) <= VK_DOWN) Notify(hwnd, TB_ENDTRACK, s->pos);
            return 0;
        case WM_MOUSEWHEEL: {
            const int steps = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
            if (steps == 0) return 0;
            // Turning the wheel away from the user moves towards the start, as the Up key does.
            UserMove(hwnd, *s, steps > 0 ? TB_LINEUP : TB_LINEDOWN, s->pos - steps * s->line);
            Notify(hwnd, TB_ENDTRACK, s->pos);
            return 0;
        }
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

}  // namespace plat::ui
