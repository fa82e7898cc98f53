// TrackPopupMenu: the menu shows as a top-level popup at the point (left
// aligned, or right aligned with TPM_RIGHTALIGN; below the point, or above it
// with TPM_BOTTOMALIGN) after the owner has had WM_INITMENUPOPUP to update
// its items. Where the monitor's work area has no room on the side asked
// for, the menu shows on the point's other side, and it never leaves the
// work area.
//
// Submenus open beside their item (on the left when the monitor's work area
// has no room on the right) after the pointer has rested on the item for
// kSubmenuDelayMs of the platform clock, at once on a click, or with Right or
// Enter; the owner gets WM_INITMENUPOPUP for each before it shows, and the
// modal-shown hook hears of each. Left or Esc closes the innermost submenu
// only. Up and Down move between enabled items of the innermost menu,
// wrapping around; a mnemonic chooses its item (or opens its submenu), or
// highlights the next of several items sharing it. Releasing a button on an
// enabled item chooses it (the right button only with TPM_RIGHTBUTTON); Alt,
// Esc in the top menu or a click outside every menu window closes them all.
//
// The choice comes back as WM_COMMAND to the owner, or as the return value
// with TPM_RETURNCMD. The top menu's window holds the capture and the focus
// for the whole chain; the submenu windows only paint.
#include <algorithm>
#include <vector>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/control_state.h"
#include "ui/def_window_proc.h"
#include "ui/input.h"
#include "ui/menu_window.h"
#include "ui/message_queue.h"
#include "ui/mnemonic.h"
#include "ui/modal_loop.h"
#include "ui/monitor.h"
#include "ui/paint.h"
#include "ui/popup_menu.h"
#include "ui/rect.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

constexpr char16_t kMenuClass[] = u"#32768";
constexpr UINT_PTR kSubmenuTimer = 1;
constexpr UINT kSubmenuDelayMs = 400;

// One open menu of the chain: the top menu first, then each open submenu,
// opened from item `parentItem` of the level before it.
struct Level {
    HMENU menu = nullptr;
    HWND hwnd = nullptr;
    int parentItem = -1;
    int hover = -1;
};

struct Tracking {
    HWND owner = nullptr;
    UINT flags = 0;
    std::vector<Level> levels;
    int timerLevel = -1;  // the level whose hovered item the submenu timer acts on
    bool done = false;
    UINT chosen = 0;
};

// Each menu window knows the tracking it belongs to; the tracking lives on
// TrackPopupMenu's stack and outlives every window.
struct MenuWindow {
    Tracking* tracking = nullptr;
};

ControlStates<MenuWindow>& MenuWindows() {
    static ControlStates<MenuWindow> states;
    return states;
}

// The first finish counts: closing the windows afterwards must not undo a choice.
void Finish(Tracking& t, UINT id) {
    if (t.done) return;
    t.done = true;
    t.chosen = id;
}

const MenuItem* ItemOf(const Level& level, int index) {
    auto menu = LookupMenu(level.menu);
    return menu && index >= 0 && index < int(menu->items.size()) ? &menu->items[std::size_t(index)] : nullptr;
}

void SetHover(Level& level, int index) {
    if (level.hover == index) return;
    level.hover = index;
    InvalidateRect(level.hwnd, nullptr, TRUE);
}

void StopSubmenuTimer(Tracking& t) {
    if (t.timerLevel < 0) return;
    KillTimer(t.levels.front().hwnd, kSubmenuTimer);
    t.timerLevel = -1;
}

// Closes level `from` and every level after it.
void CloseFrom(Tracking& t, std::size_t from) {
    if (t.timerLevel >= int(from)) StopSubmenuTimer(t);
    while (t.levels.size() > from) {
        HWND hwnd = t.levels.back().hwnd;
        t.levels.pop_back();
        DestroyWindow(hwnd);
    }
}

HWND CreateMenuWindow(Tracking& t, HWND owner) {
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, kMenuClass, nullptr, WS_POPUP, 0, 0, 1, 1, owner, nullptr, nullptr,
                                nullptr);
    if (hwnd) MenuWindows().Of(hwnd)->tracking = &t;
    return hwnd;
}

RECT WorkAreaNear(const RECT& rect) {
    MONITORINFO info;
    if (!GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) return PrimaryWorkArea();
    return info.rcWork;
}

// Beside the parent menu at height `top`; on the left of the parent when the
// right side has no room, and moved up when the bottom has none.
POINT SubmenuOrigin(const RECT& parent, int top, SIZE size) {
    const RECT work = WorkAreaNear(parent);
    POINT origin{parent.right, top};
    if (origin.x + size.cx > work.right) origin.x = std::max<LONG>(work.left, parent.left - size.cx);
    if (origin.y + size.cy > work.bottom) origin.y = std::max<LONG>(work.top, work.bottom - size.cy);
    return origin;
}

// One axis of a menu's place: the extent before or after `at`, on the
// other side of it when the work area (low to high) has no room, and kept
// inside the work area when neither side has.
int Along(int at, int extent, bool before, int low, int high) {
    int start = before ? at - extent : at;
    if (start + extent > high) start = at - extent;
    if (start < low) start = at;
    return std::max(low, std::min(start, high - extent));
}

// Where the menu shows for a point: aligned as `flags` ask, and on screen
// (a tray icon at the bottom of the screen opens its menu above itself).
POINT MenuOrigin(UINT flags, int x, int y, SIZE size) {
    const RECT work = WorkAreaNear(RECT{x, y, x + 1, y + 1});
    return POINT{Along(x, int(size.cx), (flags & TPM_RIGHTALIGN) != 0, int(work.left), int(work.right)),
                 Along(y, int(size.cy), (flags & TPM_BOTTOMALIGN) != 0, int(work.top), int(work.bottom))};
}

void Step(Level& level, int direction);

// Closes any level after `at` and opens the submenu of its item `index`
// (when it has one), with the submenu's first item level with that item.
void OpenSubmenu(Tracking& t, std::size_t at, int index, bool highlight_first) {
    CloseFrom(t, at + 1);
    auto parent_menu = LookupMenu(t.levels[at].menu);
    const MenuItem* item = ItemOf(t.levels[at], index);
    if (!parent_menu || !item || !MenuItemOpens(*item)) return;
    const HMENU submenu = item->submenu;
    const int item_top = MenuItemTop(*parent_menu, index);
    SendMessageW(t.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(submenu), MAKELPARAM(index, FALSE));
    auto menu = LookupMenu(submenu);
    if (t.done || !menu || menu->items.empty()) return;
    HWND hwnd = CreateMenuWindow(t, t.levels.front().hwnd);
    if (!hwnd) return;
    RECT parent;
    GetWindowRect(t.levels[at].hwnd, &parent);
    const SIZE size = MenuWindowSize(hwnd, *menu);
    const POINT origin = SubmenuOrigin(parent, parent.top + item_top - MenuItemTop(*menu, 0), size);
    t.levels.push_back(Level{submenu, hwnd, index, -1});
    SetWindowPos(hwnd, HWND_TOPMOST, origin.x, origin.y, size.cx, size.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (highlight_first) Step(t.levels.back(), 1);
    NotifyModalShown(hwnd);
}

// Chooses an enabled item, or opens it when it is a submenu.
void Activate(Tracking& t, std::size_t at, int index, bool highlight_first) {
    const MenuItem* item = ItemOf(t.levels[at], index);
    if (!item || !MenuItemEnabled(*item)) return;
    if (item->flags & MF_POPUP) OpenSubmenu(t, at, index, highlight_first);
    else Finish(t, item->id);
}

void Step(Level& level, int direction) {
    auto menu = LookupMenu(level.menu);
    const int count = menu ? int(menu->items.size()) : 0;
    const int start = level.hover < 0 ? (direction > 0 ? -1 : count) : level.hover;
    for (int n = 1; n <= count; ++n) {
        const int i = ((start + direction * n) % count + count) % count;
        if (MenuItemEnabled(menu->items[std::size_t(i)])) return SetHover(level, i);
    }
}

// Whether the submenu open after level `at` is that of its item `index`.
bool IsOpenFrom(const Tracking& t, std::size_t at, int index) {
    return t.levels.size() > at + 1 && t.levels[at + 1].parentItem == index;
}

// Makes the levels after `at` follow its hovered item: the submenu it opened
// stays (losing any deeper level), anything else closes and a hovered
// submenu item opens.
void FollowHover(Tracking& t, std::size_t at) {
    const int hover = t.levels[at].hover;
    if (IsOpenFrom(t, at, hover)) CloseFrom(t, at + 2);
    else OpenSubmenu(t, at, hover, false);
}

bool FollowingHoverChangesSomething(const Tracking& t, std::size_t at) {
    const Level& level = t.levels[at];
    if (IsOpenFrom(t, at, level.hover)) return t.levels.size() > at + 2;
    const MenuItem* item = ItemOf(level, level.hover);
    return t.levels.size() > at + 1 || (item && MenuItemOpens(*item));
}

struct Hit {
    int level = -1;
    int item = -1;
};

// The level and item under a screen point, the innermost menu first.
Hit HitTest(const Tracking& t, POINT screen) {
    for (int l = int(t.levels.size()) - 1; l >= 0; --l) {
        const Level& level = t.levels[std::size_t(l)];
        RECT rect;
        auto menu = LookupMenu(level.menu);
        if (!menu || !GetWindowRect(level.hwnd, &rect) || !PtInRect(&rect, screen)) continue;
        POINT client = screen;
        ScreenToClient(level.hwnd, &client);
        return Hit{l, MenuItemAt(*menu, client)};
    }
    return Hit{};
}

void MouseMove(Tracking& t, POINT screen) {
    const Hit hit = HitTest(t, screen);
    if (hit.level < 0) {
        // Off the menus the innermost one loses its highlight.
        StopSubmenuTimer(t);
        SetHover(t.levels.back(), -1);
        return;
    }
    const std::size_t at = std::size_t(hit.level);
    if (t.levels[at].hover == hit.item && t.timerLevel == hit.level) return;
    SetHover(t.levels[at], hit.item);
    StopSubmenuTimer(t);
    if (!FollowingHoverChangesSomething(t, at)) return;
    t.timerLevel = hit.level;
    SetTimer(t.levels.front().hwnd, kSubmenuTimer, kSubmenuDelayMs, nullptr);
}

void SubmenuTimer(Tracking& t) {
    const int at = t.timerLevel;
    StopSubmenuTimer(t);
    if (at >= 0 && at < int(t.levels.size())) FollowHover(t, std::size_t(at));
}

void ButtonDown(Tracking& t, POINT screen) {
    const Hit hit = HitTest(t, screen);
    if (hit.level < 0) return Finish(t, 0);
    const std::size_t at = std::size_t(hit.level);
    const MenuItem* item = ItemOf(t.levels[at], hit.item);
    if (!item || !MenuItemOpens(*item)) return;
    StopSubmenuTimer(t);
    SetHover(t.levels[at], hit.item);
    if (!IsOpenFrom(t, at, hit.item)) OpenSubmenu(t, at, hit.item, false);
}

void ButtonUp(Tracking& t, POINT screen) {
    const Hit hit = HitTest(t, screen);
    const MenuItem* item = hit.level < 0 ? nullptr : ItemOf(t.levels[std::size_t(hit.level)], hit.item);
    if (item && !(item->flags & MF_POPUP)) Activate(t, std::size_t(hit.level), hit.item, false);
}

// The first enabled item after the hovered one whose mnemonic is `c`; it is
// chosen when no other item shares the mnemonic, else only highlighted.
void Mnemonic(Tracking& t, char16_t c) {
    const std::size_t at = t.levels.size() - 1;
    Level& level = t.levels[at];
    auto menu = LookupMenu(level.menu);
    StopSubmenuTimer(t);
    if (!menu || c == 0) return;
    const int count = int(menu->items.size());
    int first = -1, matches = 0;
    for (int n = 1; n <= count; ++n) {
        const int i = (level.hover + n + count) % count;
        const MenuItem& item = menu->items[std::size_t(i)];
        if (!MenuItemEnabled(item) || MnemonicOf(item.text) != c) continue;
        if (first < 0) first = i;
        ++matches;
    }
    if (first < 0) return;
    SetHover(level, first);
    if (matches == 1) Activate(t, at, first, true);
}

void KeyDown(Tracking& t, int vk) {
    StopSubmenuTimer(t);
    const std::size_t innermost = t.levels.size() - 1;
    Level& level = t.levels[innermost];
    switch (vk) {
        case VK_ESCAPE:
            if (innermost > 0) CloseFrom(t, innermost);
            else Finish(t, 0);
            break;
        case VK_LEFT:
            if (innermost > 0) CloseFrom(t, innermost);
            break;
        case VK_RIGHT: {
            const MenuItem* item = ItemOf(level, level.hover);
            if (item && MenuItemOpens(*item)) OpenSubmenu(t, innermost, level.hover, true);
            break;
        }
        case VK_RETURN: Activate(t, innermost, level.hover, true); break;
        case VK_DOWN: Step(level, 1); break;
        case VK_UP: Step(level, -1); break;
    }
}

POINT ScreenPoint(HWND hwnd, LPARAM lp) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ClientToScreen(hwnd, &pt);
    return pt;
}

LRESULT MenuProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCDESTROY) MenuWindows().Drop(hwnd);
    auto window = MenuWindows().Find(hwnd);
    Tracking* t = window ? window->tracking : nullptr;
    if (!t || t->levels.empty()) return DefWindowProcW(hwnd, message, wp, lp);
    switch (message) {
        case WM_PAINT:
            for (const Level& level : t->levels) {
                auto menu = LookupMenu(level.menu);
                if (level.hwnd == hwnd && menu) PaintMenuWindow(hwnd, *menu, level.hover);
            }
            return 0;
        case WM_MOUSEMOVE: MouseMove(*t, ScreenPoint(hwnd, lp)); return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN: ButtonDown(*t, ScreenPoint(hwnd, lp)); return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            if (message == WM_LBUTTONUP || (t->flags & TPM_RIGHTBUTTON)) ButtonUp(*t, ScreenPoint(hwnd, lp));
            return 0;
        case WM_TIMER:
            if (wp == kSubmenuTimer) SubmenuTimer(*t);
            return 0;
        case WM_KEYDOWN: KeyDown(*t, int(wp)); return 0;
        case WM_CHAR: Mnemonic(*t, FoldMnemonic(char16_t(wp))); return 0;
        case WM_SYSKEYDOWN:
            if (wp == WPARAM(VK_MENU)) Finish(*t, 0);
            return 0;
        case WM_SYSKEYUP:
        case WM_SYSCHAR: return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != t->levels.front().hwnd) Finish(*t, 0);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wp, lp);
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
    // A save-bits class, as menus have: their windows are the program's own
    // popups, which a window manager neither frames nor places.
    RegisterControlClass(kMenuClass, &MenuProc, CS_SAVEBITS);
    Tracking tracking;
    tracking.owner = owner;
    tracking.flags = flags;
    HWND popup = CreateMenuWindow(tracking, owner);
    if (!popup) return FALSE;
    tracking.levels.push_back(Level{menu, popup});
    const SIZE size = MenuWindowSize(popup, *object);
    const POINT origin = MenuOrigin(flags, x, y, size);
    SetWindowPos(popup, HWND_TOPMOST, origin.x, origin.y, size.cx, size.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    SetCapture(popup);
    SetFocus(popup);
    NotifyModalShown(popup);
    RunModalLoop([&] { return tracking.done || !IsWindow(popup); });
    if (GetCapture() == popup) ReleaseCapture();
    CloseFrom(tracking, 0);
    const UINT chosen = tracking.chosen;
    if (flags & TPM_RETURNCMD) return BOOL(chosen);
    if (chosen) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return chosen != 0;
}
