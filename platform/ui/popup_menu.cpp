// TrackPopupMenu: the menu shows as a top-level popup at the point (left
// aligned, or right aligned with TPM_RIGHTALIGN; below the point, or above it
// with TPM_BOTTOMALIGN) after the owner has had WM_INITMENUPOPUP to update
// its items. The mouse highlights items and a release over an enabled item
// chooses it (the right button too with TPM_RIGHTBUTTON); Up and Down move
// between enabled items, Enter chooses, Esc or a click outside closes it.
// The choice comes back as WM_COMMAND to the owner, or as the return value
// with TPM_RETURNCMD. Submenu items are shown but do not open.
#include <algorithm>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/control_state.h"
#include "ui/control_types.h"
#include "ui/def_window_proc.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
#include "ui/menu.h"
#include "ui/message_queue.h"
#include "ui/modal_loop.h"
#include "ui/paint.h"
#include "ui/popup_menu.h"
#include "ui/rect.h"
#include "ui/text.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 8;
constexpr char16_t kMenuClass[] = u"#32768";

struct Tracking {
    HMENU menu = nullptr;
    UINT flags = 0;
    int hover = -1;
    bool done = false;
    UINT chosen = 0;
};

ControlStates<Tracking>& Trackings() {
    static ControlStates<Tracking> states;
    return states;
}

int ItemTop(const Menu& menu, int index) {
    int y = 2;
    for (int i = 0; i < index; ++i) y += (menu.items[std::size_t(i)].flags & MF_SEPARATOR) ? kSeparatorHeight : kItemHeight;
    return y;
}

int ItemAt(const Menu& menu, POINT pt) {
    for (int i = 0; i < int(menu.items.size()); ++i) {
        const int top = ItemTop(menu, i);
        const int height = (menu.items[std::size_t(i)].flags & MF_SEPARATOR) ? kSeparatorHeight : kItemHeight;
        if (pt.y >= top && pt.y < top + height) return i;
    }
    return -1;
}

bool Selectable(const MenuItem& item) { return !(item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED | MF_POPUP)); }

void Finish(Tracking& t, UINT id) {
    t.done = true;
    t.chosen = id;
}

void Choose(const Menu& menu, Tracking& t, int index) {
    if (index >= 0 && Selectable(menu.items[std::size_t(index)])) Finish(t, menu.items[std::size_t(index)].id);
}

void Step(HWND hwnd, const Menu& menu, Tracking& t, int direction) {
    const int count = int(menu.items.size());
    for (int n = 1; n <= count; ++n) {
        const int i = ((t.hover < 0 ? (direction > 0 ? -1 : count) : t.hover) + direction * n + count * 2) % count;
        if (Selectable(menu.items[std::size_t(i)])) {
            t.hover = i;
            InvalidateRect(hwnd, nullptr, TRUE);
            return;
        }
    }
}

void Paint(HWND hwnd, const Menu& menu, const Tracking& t) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(hdc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(hdc, TRANSPARENT);
    for (int i = 0; i < int(menu.items.size()); ++i) {
        const MenuItem& item = menu.items[std::size_t(i)];
        const int top = ItemTop(menu, i);
        if (item.flags & MF_SEPARATOR) {
            RECT line{4, top + 3, rc.right - 4, top + 4};
            FillRect(hdc, &line, GetSysColorBrush(COLOR_GRAYTEXT));
            continue;
        }
        RECT row{2, top, rc.right - 2, top + kItemHeight};
        if (i == t.hover) FillRect(hdc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
        if (item.flags & MF_CHECKED) {
            RECT mark{8, top + 7, 14, top + 13};
            FillRect(hdc, &mark, GetSysColorBrush(COLOR_WINDOWTEXT));
        }
        SetTextColor(hdc, Selectable(item) || (item.flags & MF_POPUP) ? RGB(0, 0, 0) : RGB(128, 128, 128));
        RECT text{22, top, rc.right - 16, top + kItemHeight};
        DrawTextW(hdc, item.text.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        if (item.flags & MF_POPUP) {
            RECT arrow{rc.right - 14, top, rc.right - 4, top + kItemHeight};
            DrawTextW(hdc, u">", 1, &arrow, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }
    EndPaint(hwnd, &ps);
}

LRESULT MenuProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    auto t = Trackings().Find(hwnd);
    auto menu = t ? LookupMenu(t->menu) : nullptr;
    if (!t || !menu) return DefWindowProcW(hwnd, message, wp, lp);
    const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    RECT rc;
    GetClientRect(hwnd, &rc);
    switch (message) {
        case WM_PAINT: Paint(hwnd, *menu, *t); return 0;
        case WM_MOUSEMOVE: {
            const int hover = PtInRect(&rc, pt) ? ItemAt(*menu, pt) : -1;
            if (hover != t->hover) {
                t->hover = hover;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            if (!PtInRect(&rc, pt)) Finish(*t, 0);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            if (message == WM_RBUTTONUP && !(t->flags & TPM_RIGHTBUTTON)) return 0;
            if (PtInRect(&rc, pt)) Choose(*menu, *t, ItemAt(*menu, pt));
            return 0;
        case WM_KEYDOWN:
            if (wp == WPARAM(VK_ESCAPE)) Finish(*t, 0);
            else if (wp == WPARAM(VK_RETURN)) Choose(*menu, *t, t->hover);
            else if (wp == WPARAM(VK_DOWN)) Step(hwnd, *menu, *t, 1);
            else if (wp == WPARAM(VK_UP)) Step(hwnd, *menu, *t, -1);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != hwnd) Finish(*t, 0);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

SIZE MenuSize(HWND hwnd, const Menu& menu) {
    HDC hdc = GetDC(hwnd);
    int width = 80;
    for (const MenuItem& item : menu.items) {
        SIZE text{};
        GetTextExtentPoint32W(hdc, item.text.c_str(), int(item.text.size()), &text);
        width = std::max(width, int(text.cx) + 44);
    }
    ReleaseDC(hwnd, hdc);
    return SIZE{width, ItemTop(menu, int(menu.items.size())) + 2};
}

}  // namespace
}  // namespace plat::ui

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    using namespace plat::ui;
    auto object = LookupMenu(menu);
    if (!object || object->items.empty() || !IsWindow(owner)) {
        SetLastError(object ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    RegisterControlClass(kMenuClass, &MenuProc);
    HWND popup = CreateWindowExW(WS_EX_TOPMOST, kMenuClass, nullptr, WS_POPUP, 0, 0, 1, 1, owner, nullptr, nullptr,
                                 nullptr);
    if (!popup) return FALSE;
    auto tracking = Trackings().Of(popup);
    tracking->menu = menu;
    tracking->flags = flags;
    const SIZE size = MenuSize(popup, *object);
    const int left = (flags & TPM_RIGHTALIGN) ? x - size.cx : x;
    const int top = (flags & TPM_BOTTOMALIGN) ? y - size.cy : y;
    SetWindowPos(popup, HWND_TOPMOST, left, top, size.cx, size.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    SetCapture(popup);
    SetFocus(popup);
    NotifyModalShown(popup);
    RunModalLoop([&] { return tracking->done || !IsWindow(popup); });
    const UINT chosen = tracking->chosen;
    if (GetCapture() == popup) ReleaseCapture();
    Trackings().Drop(popup);
    DestroyWindow(popup);
    if (flags & TPM_RETURNCMD) return BOOL(chosen);
    if (chosen) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return chosen != 0;
}
