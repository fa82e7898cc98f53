// The list box (single selection, no scroll bar): lines of text of which one
// may be selected. A click selects the line under it; Up, Down, Home, End,
// Page Up and Page Down move the selection and keep it in view; the wheel
// scrolls three lines a notch. With LBS_NOTIFY the parent is told of the
// user's selection changes (LBN_SELCHANGE), double-clicks on a line
// (LBN_DBLCLK) and focus changes; selections made by the program are not
// reported.
#include <algorithm>
#include <string>
#include <vector>

#include "ui/control_procs.h"
#include "ui/control_state.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/paint.h"
#include "ui/text.h"
#include "ui/window.h"

namespace plat::ui {
namespace {

constexpr int kPadding = 2;      // above and below each line's text
constexpr int kWheelLines = 3;   // lines scrolled per wheel notch

struct ListBoxState {
    std::vector<std::u16string> items;
    int selected = -1;
    int top = 0;  // the first line shown
    HFONT font = nullptr;
};

ControlStates<ListBoxState>& ListBoxes() {
    static ControlStates<ListBoxState> states;
    return states;
}

int Count(const ListBoxState& s) { return int(s.items.size()); }
bool Valid(const ListBoxState& s, int index) { return index >= 0 && index < Count(s); }

int ItemHeight(HWND hwnd, const ListBoxState& s) { return LineHeight(hwnd, s.font) + 2 * kPadding; }

// Whole lines that fit, at least one.
int VisibleLines(HWND hwnd, const ListBoxState& s) {
    const RECT area = FieldArea(hwnd);
    return std::max(1, int(area.bottom - area.top) / ItemHeight(hwnd, s));
}

RECT ItemRect(HWND hwnd, const ListBoxState& s, int index) {
    const RECT area = FieldArea(hwnd);
    const int height = ItemHeight(hwnd, s);
    const int y = area.top + (index - s.top) * height;
    return RECT{area.left, y, area.right, y + height};
}

int IndexAt(HWND hwnd, const ListBoxState& s, POINT pt) {
    const RECT area = FieldArea(hwnd);
    if (!PtInRect(&area, pt)) return -1;
    const int index = s.top + int(pt.y - area.top) / ItemHeight(hwnd, s);
    return Valid(s, index) ? index : -1;
}

void ScrollTo(HWND hwnd, ListBoxState& s, int top) {
    top = std::clamp(top, 0, std::max(0, Count(s) - VisibleLines(hwnd, s)));
    if (top == s.top) return;
    s.top = top;
    InvalidateRect(hwnd, nullptr, FALSE);
}

void ScrollIntoView(HWND hwnd, ListBoxState& s, int index) {
    const int visible = VisibleLines(hwnd, s);
    if (index < s.top) ScrollTo(hwnd, s, index);
    else if (index >= s.top + visible) ScrollTo(hwnd, s, index - visible + 1);
}

bool Notifies(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE) & LBS_NOTIFY; }

void Notify(HWND hwnd, WORD code) {
    if (Notifies(hwnd)) NotifyParentCommand(hwnd, code);
}

void Select(HWND hwnd, ListBoxState& s, int index) {
    if (Valid(s, index)) ScrollIntoView(hwnd, s, index);
    if (index == s.selected) return;
    s.selected = index;
    InvalidateRect(hwnd, nullptr, FALSE);
}

// A selection made by the user: reported when it changes.
void UserSelect(HWND hwnd, ListBoxState& s, int index) {
    const int before = s.selected;
    Select(hwnd, s, index);
    if (s.selected != before) Notify(hwnd, LBN_SELCHANGE);
}

bool KeyDown(HWND hwnd, ListBoxState& s, int vk) {
    const int last = Count(s) - 1;
    const int page = std::max(1, VisibleLines(hwnd, s) - 1);
    const int from = std::max(s.selected, 0);
    int to;
    switch (vk) {
        case VK_UP: to = s.selected < 0 ? 0 : from - 1; break;
        case VK_DOWN: to = s.selected < 0 ? 0 : from + 1; break;
        case VK_PRIOR: to = from - page; break;
        case VK_NEXT: to = from + page; break;
        case VK_HOME: to = 0; break;
        case VK_END: to = last; break;
        default: return false;
    }
    if (last >= 0) UserSelect(hwnd, s, std::clamp(to, 0, last));
    return true;
}

void Paint(HWND hwnd, const ListBoxState& s) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    const RECT area = PaintField(hwnd, hdc);
    IntersectClipRect(hdc, area.left, area.top, area.right, area.bottom);
    HGDIOBJ old_font = s.font ? SelectObject(hdc, s.font) : nullptr;
    SetBkMode(hdc, TRANSPARENT);
    const int end = std::min(Count(s), s.top + VisibleLines(hwnd, s) + 1);
    for (int i = s.top; i < end; ++i) {
        RECT row = ItemRect(hwnd, s, i);
        const bool selected = i == s.selected;
        if (selected) FillRect(hdc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(hdc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        row.left += 2 * kPadding;
        DrawTextW(hdc, s.items[std::size_t(i)].c_str(), -1, &row,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (old_font) SelectObject(hdc, old_font);
    EndPaint(hwnd, &ps);
}

POINT PointOf(LPARAM lp) { return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

void Click(HWND hwnd, ListBoxState& s, LPARAM lp, bool twice) {
    SetFocus(hwnd);
    const int index = IndexAt(hwnd, s, PointOf(lp));
    if (index < 0) return;
    UserSelect(hwnd, s, index);
    if (twice) Notify(hwnd, LBN_DBLCLK);
}

LRESULT AddString(HWND hwnd, ListBoxState& s, LPCWSTR text) {
    if (!text) return LB_ERR;
    s.items.emplace_back(text);
    InvalidateRect(hwnd, nullptr, FALSE);
    return Count(s) - 1;
}

void Reset(HWND hwnd, ListBoxState& s) {
    s.items.clear();
    s.selected = -1;
    s.top = 0;
    InvalidateRect(hwnd, nullptr, FALSE);
}

// LB_SETCURSEL: -1 clears the selection and, as on Windows, answers LB_ERR.
LRESULT SetCurrent(HWND hwnd, ListBoxState& s, int index) {
    if (index == -1) Select(hwnd, s, -1);
    if (!Valid(s, index)) return LB_ERR;
    Select(hwnd, s, index);
    return index;
}

LRESULT GetText(const ListBoxState& s, int index, LPWSTR buffer) {
    if (!Valid(s, index) || !buffer) return LB_ERR;
    const std::u16string& text = s.items[std::size_t(index)];
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return LRESULT(text.size());
}

LRESULT GetItemRect(HWND hwnd, const ListBoxState& s, int index, RECT* rect) {
    if (!Valid(s, index) || !rect) return LB_ERR;
    *rect = ItemRect(hwnd, s, index);
    return LB_OKAY;
}

}  // namespace

LRESULT ListBoxProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCDESTROY) {
        ListBoxes().Drop(hwnd);
        return DefWindowProcW(hwnd, message, wp, lp);
    }
    auto s = ListBoxes().Of(hwnd);
    const int index = int(INT_PTR(wp));
    switch (message) {
        case LB_ADDSTRING: return AddString(hwnd, *s, reinterpret_cast<LPCWSTR>(lp));
        case LB_RESETCONTENT: Reset(hwnd, *s); return 0;
        case LB_GETCOUNT: return Count(*s);
        case LB_GETCURSEL: return s->selected >= 0 ? s->selected : LB_ERR;
        case LB_SETCURSEL: return SetCurrent(hwnd, *s, index);
        case LB_GETTEXT: return GetText(*s, index, reinterpret_cast<LPWSTR>(lp));
        case LB_GETTEXTLEN: return Valid(*s, index) ? LRESULT(s->items[std::size_t(index)].size()) : LB_ERR;
        case LB_GETTOPINDEX: return s->top;
        case LB_SETTOPINDEX:
            if (!Valid(*s, index)) return LB_ERR;
            ScrollTo(hwnd, *s, index);
            return LB_OKAY;
        case LB_GETITEMRECT: return GetItemRect(hwnd, *s, index, reinterpret_cast<RECT*>(lp));
        case LB_GETITEMHEIGHT: return ItemHeight(hwnd, *s);
        case WM_PAINT: Paint(hwnd, *s); return 0;
        case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_LBUTTONDOWN: Click(hwnd, *s, lp, false); return 0;
        case WM_LBUTTONDBLCLK: Click(hwnd, *s, lp, true); return 0;
        case WM_KEYDOWN: return KeyDown(hwnd, *s, int(wp)) ? 0 : DefWindowProcW(hwnd, message, wp, lp);
        case WM_MOUSEWHEEL: ScrollTo(hwnd, *s, s->top - GET_WHEEL_DELTA_WPARAM(wp) * kWheelLines / WHEEL_DELTA); return 0;
        case WM_SETFONT: s->font = reinterpret_cast<HFONT>(wp); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
        case WM_SETFOCUS:
            InvalidateRect(hwnd, nullptr, FALSE);
            Notify(hwnd, LBN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            InvalidateRect(hwnd, nullptr, FALSE);
            Notify(hwnd, LBN_KILLFOCUS);
            return 0;
        case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

}  // namespace plat::ui
