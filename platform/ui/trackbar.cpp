// The trackbar, horizontal or, with TBS_VERT, vertical (the start at the
// top): a range, default 0 to 100, a position, a channel and a thumb. The thumb is dragged with the mouse; a click beside
// it pages towards the click; arrows, Page Up/Down, Home/End and the wheel
// move it; the trackbar keeps the arrow keys from the dialog and draws a
// focus rectangle while it has the focus. Every change made by the user is
// reported to the parent with WM_HSCROLL, or WM_VSCROLL when vertical (TB_THUMBTRACK with the position
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

bool Vertical(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE) & TBS_VERT; }

// The coordinate of `pt` along the trackbar's axis.
int Along(HWND hwnd, POINT pt) { return Vertical(hwnd) ? pt.y : pt.x; }

RECT ChannelRect(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    if (Vertical(hwnd)) {
        const int mid = (rc.left + rc.right) / 2;
        return RECT{mid - 2, rc.top + kMargin, mid + 2, std::max(rc.top + kMargin, rc.bottom - kMargin)};
    }
    const int mid = (rc.top + rc.bottom) / 2;
    return RECT{rc.left + kMargin, mid - 2, std::max(rc.left + kMargin, rc.right - kMargin), mid + 2};
}

// The channel's extent along the axis: [first, last].
std::pair<int, int> ChannelSpan(HWND hwnd) {
    const RECT ch = ChannelRect(hwnd);
    return Vertical(hwnd) ? std::pair{int(ch.top), int(ch.bottom)} : std::pair{int(ch.left), int(ch.right)};
}

int OffsetOfPosition(HWND hwnd, const TrackbarState& s) {
    const auto [first, last] = ChannelSpan(hwnd);
    if (s.max <= s.min) return first;
    return first + int((std::int64_t(s.pos - s.min) * (last - first)) / (s.max - s.min));
}

LONG PositionOfOffset(HWND hwnd, const TrackbarState& s, int along) {
    const auto [first, last] = ChannelSpan(hwnd);
    const int length = std::max(1, last - first);
    const std::int64_t offset = std::clamp<std::int64_t>(along - first, 0, length);
    // Round to the nearest position so the thumb lands where it was dropped.
    return s.min + LONG((offset * (s.max - s.min) + length / 2) / length);
}

RECT ThumbRect(HWND hwnd, const TrackbarState& s) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    const int start = OffsetOfPosition(hwnd, s) - kThumbWidth / 2;
    if (Vertical(hwnd)) return RECT{rc.left + 2, start, std::max(rc.left + 2, rc.right - 2), start + kThumbWidth};
    return RECT{start, rc.top + 2, start + kThumbWidth, std::max(rc.top + 2, rc.bottom - 2)};
}

void Notify(HWND hwnd, WORD code, LONG pos) {
    HWND parent = GetParent(hwnd);
    if (parent)
        SendMessageW(parent, Vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, WORD(pos)),
                     reinterpret_cast<LPARAM>(hwnd));
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
        s.dragOffset = Along(hwnd, pt) - OffsetOfPosition(hwnd, s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return;
    }
    s.paging = true;
    if (Along(hwnd, pt) < Along(hwnd, POINT{thumb.left, thumb.top})) UserMove(hwnd, s, TB_PAGEUP, s.pos - s.page);
    else UserMove(hwnd, s, TB_PAGEDOWN, s.pos + s.page);
}

void Drag(HWND hwnd, TrackbarState& s, POINT pt) {
    const LONG pos = PositionOfOffset(hwnd, s, Along(hwnd, pt) - s.dragOffset);
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
