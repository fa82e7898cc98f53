#include "ui/window_pos.h"

#include <algorithm>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/message_queue.h"
#include "ui/monitor.h"
#include "ui/paint.h"
#include "ui/window_internal.h"

using namespace plat::ui;

namespace plat::ui {

void SetVisibleFlag(HWND hwnd, bool visible) {
    HWND parent = nullptr;
    RECT area{};
    bool topLevel = false;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(hwnd);
        if (!w || w->Visible() == visible) return;
        if (visible) w->style |= WS_VISIBLE;
        else w->style &= ~WS_VISIBLE;
        topLevel = !w->IsChild();
        parent = w->IsChild() ? w->parent : nullptr;
        area = w->rect;
    }
    if (visible) InvalidateArea(hwnd, nullptr, true, true);
    if (parent) {
        const Region uncovered(area);
        InvalidateArea(parent, &uncovered, true, false);
    }
    if (topLevel) {
        NotifyBackend(hwnd, kChangeVisibility);
        NotifyRestack();
    }
}

}  // namespace plat::ui

namespace {

bool IsTopmost(HWND h) {
    auto w = Lookup<Window>(h);
    return w && (w->exStyle & WS_EX_TOPMOST);
}

// Index of the first window of the non-topmost band.
std::size_t FirstNormal(const std::vector<HWND>& list) {
    std::size_t i = 0;
    while (i < list.size() && IsTopmost(list[i])) ++i;
    return i;
}

// Moves the window in its sibling list; returns whether anything changed.
bool ApplyZOrder(Window& w, HWND after) {
    std::vector<HWND>* list = &TopLevelWindows();
    if (w.IsChild()) {
        auto parent = Lookup<Window>(w.parent);
        if (!parent) return false;
        list = &parent->children;
    }
    const std::vector<HWND> before = *list;
    const DWORD exBefore = w.exStyle;
    auto old = std::find(list->begin(), list->end(), w.handle);
    const std::size_t oldIndex = std::size_t(old - list->begin());
    list->erase(old);
    std::size_t index = 0;
    if (w.IsChild()) {
        if (after == HWND_BOTTOM) index = list->size();
        else if (after != HWND_TOP && after != HWND_TOPMOST && after != HWND_NOTOPMOST) {
            auto it = std::find(list->begin(), list->end(), after);
            index = it == list->end() ? 0 : std::size_t(it - list->begin()) + 1;
        }
    } else if (after == HWND_TOPMOST) {
        w.exStyle |= WS_EX_TOPMOST;
    } else if (after == HWND_NOTOPMOST) {
        const bool was = w.exStyle & WS_EX_TOPMOST;
        w.exStyle &= ~WS_EX_TOPMOST;
        index = was ? FirstNormal(*list) : std::min(oldIndex, list->size());
    } else if (after == HWND_BOTTOM) {
        w.exStyle &= ~WS_EX_TOPMOST;
        index = list->size();
    } else if (after == HWND_TOP) {
        index = (w.exStyle & WS_EX_TOPMOST) ? 0 : FirstNormal(*list);
    } else {
        auto it = std::find(list->begin(), list->end(), after);
        index = it == list->end() ? 0 : std::size_t(it - list->begin()) + 1;
        // A window placed among topmost windows becomes one, and the reverse.
        if (it != list->end()) {
            if (IsTopmost(after)) w.exStyle |= WS_EX_TOPMOST;
            else w.exStyle &= ~WS_EX_TOPMOST;
        }
        index = std::clamp(index, (w.exStyle & WS_EX_TOPMOST) ? std::size_t(0) : FirstNormal(*list),
                           (w.exStyle & WS_EX_TOPMOST) ? FirstNormal(*list) : list->size());
    }
    list->insert(list->begin() + std::ptrdiff_t(index), w.handle);
    return *list != before || w.exStyle != exBefore;
}

void ResizeSurface(Window& w) {
    if (!w.surface) return;
    auto next = std::make_shared<Bitmap>(Width(w.rect), Height(w.rect), 32);
    std::lock_guard lock(w.surface->Mutex());
    const int rows = std::min(next->Height(), w.surface->Height());
    const int bytes = std::min(next->Stride(), w.surface->Stride());
    for (int y = 0; y < rows; ++y) std::copy_n(w.surface->Row(y), bytes, next->Row(y));
    w.surface = next;
}

struct PosOutcome {
    bool moved = false, sized = false, restacked = false, topmostChanged = false;
    bool child = false;
    HWND parent = nullptr;
    RECT oldRect{}, newRect{};
};

PosOutcome ApplyPos(HWND hwnd, WINDOWPOS& wp) {
    PosOutcome out;
    std::lock_guard lock(WindowsMutex());
    auto w = Lookup<Window>(hwnd);
    if (!w) return out;
    out.child = w->IsChild();
    out.parent = w->parent;
    out.oldRect = w->rect;
    RECT r = w->rect;
    if (!(wp.flags & SWP_NOMOVE)) r = Offset(r, wp.x - r.left, wp.y - r.top);
    if (!(wp.flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(wp.cx, 0);
        r.bottom = r.top + std::max(wp.cy, 0);
    }
    out.moved = r.left != w->rect.left || r.top != w->rect.top;
    out.sized = Width(r) != Width(w->rect) || Height(r) != Height(w->rect);
    w->rect = r;
    out.newRect = r;
    if (out.sized) ResizeSurface(*w);
    if (!(w->style & (WS_MINIMIZE | WS_MAXIMIZE))) w->normalRect = r;
    if (!(wp.flags & SWP_NOZORDER)) {
        const DWORD ex = w->exStyle;
        out.restacked = ApplyZOrder(*w, wp.hwndInsertAfter);
        out.topmostChanged = ex != w->exStyle;
    }
    if (!out.moved) wp.flags |= SWP_NOMOVE;
    if (!out.sized) wp.flags |= SWP_NOSIZE;
    wp.x = r.left;
    wp.y = r.top;
    wp.cx = Width(r);
    wp.cy = Height(r);
    return out;
}

}  // namespace

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int width, int height, UINT flags) {
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    WINDOWPOS wp{hwnd, insert_after, x, y, width, height, flags};
    {
        std::lock_guard lock(WindowsMutex());
        if (flags & SWP_NOMOVE) {
            wp.x = w->rect.left;
            wp.y = w->rect.top;
        }
        if (flags & SWP_NOSIZE) {
            wp.cx = Width(w->rect);
            wp.cy = Height(w->rect);
        }
    }
    if (!(flags & SWP_NOSENDCHANGING)) SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    wp.hwnd = hwnd;
    const PosOutcome out = ApplyPos(hwnd, wp);
    if (!IsWindow(hwnd)) return FALSE;

    if (wp.flags & SWP_SHOWWINDOW) SetVisibleFlag(hwnd, true);
    if (wp.flags & SWP_HIDEWINDOW) SetVisibleFlag(hwnd, false);
    if (out.sized && !(wp.flags & SWP_NOREDRAW)) InvalidateArea(hwnd, nullptr, true, true);
    if (out.child && (out.moved || out.sized || out.restacked) && !(wp.flags & SWP_NOREDRAW)) {
        const Region exposed = Region::FromRects(std::vector<RECT>{out.oldRect, out.newRect});
        InvalidateArea(out.parent, &exposed, true, false);
        InvalidateArea(hwnd, nullptr, true, true);
    }
    if (!out.child) {
        unsigned changes = 0;
        if (out.moved || out.sized) changes |= kChangeGeometry;
        if (out.topmostChanged) changes |= kChangeTopmost;
        if (changes) NotifyBackend(hwnd, changes);
        if (out.restacked) NotifyRestack();
        if (!(wp.flags & SWP_NOZORDER) && wp.hwndInsertAfter == HWND_BOTTOM) CurrentBackend().Lower(hwnd);
    }
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

namespace {

void SetStateBits(HWND hwnd, DWORD set, DWORD clear) {
    std::lock_guard lock(WindowsMutex());
    if (auto w = Lookup<Window>(hwnd)) {
        if (!(w->style & (WS_MINIMIZE | WS_MAXIMIZE))) w->normalRect = w->rect;
        w->style = (w->style & ~clear) | set;
    }
}

void Minimize(HWND hwnd, const Window& w) {
    if (w.style & WS_MINIMIZE) return;
    SetStateBits(hwnd, WS_MINIMIZE, WS_MAXIMIZE);
    ForgetWindowInput(hwnd);
    NotifyBackend(hwnd, kChangeVisibility);
    SendMessageW(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
}

void Maximize(HWND hwnd, const Window& w) {
    if (w.style & WS_MAXIMIZE) return;
    SetStateBits(hwnd, WS_MAXIMIZE, WS_MINIMIZE);
    MONITORINFO mi;
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi);
    SetWindowPos(hwnd, nullptr, mi.rcWork.left, mi.rcWork.top, Width(mi.rcWork), Height(mi.rcWork),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    NotifyBackend(hwnd, kChangeVisibility);
}

void Restore(HWND hwnd, const Window& w) {
    if (!(w.style & (WS_MINIMIZE | WS_MAXIMIZE))) return;
    RECT normal;
    {
        std::lock_guard lock(WindowsMutex());
        normal = w.normalRect;
    }
    SetStateBits(hwnd, 0, WS_MINIMIZE | WS_MAXIMIZE);
    SetWindowPos(hwnd, nullptr, normal.left, normal.top, Width(normal), Height(normal), SWP_NOZORDER | SWP_NOACTIVATE);
    NotifyBackend(hwnd, kChangeVisibility);
    InvalidateArea(hwnd, nullptr, true, true);
}

bool Activates(int command) {
    return command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE &&
           command != SW_MINIMIZE && command != SW_HIDE;
}

}  // namespace

BOOL ShowWindow(HWND hwnd, int command) {
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    const bool wasVisible = w->Visible();
    if (command == SW_HIDE) {
        if (!wasVisible) return FALSE;
        SendMessageW(hwnd, WM_SHOWWINDOW, FALSE, 0);
        ForgetWindowInput(hwnd);
        SetVisibleFlag(hwnd, false);
        return TRUE;
    }
    if (!wasVisible) SendMessageW(hwnd, WM_SHOWWINDOW, TRUE, 0);
    switch (command) {
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE: Minimize(hwnd, *w); break;
        case SW_SHOWMAXIMIZED: Maximize(hwnd, *w); break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOWDEFAULT: Restore(hwnd, *w); break;
        default: break;
    }
    SetVisibleFlag(hwnd, true);
    const bool iconic = w->style & WS_MINIMIZE;
    if (!w->IsChild() && !w->popup && !iconic && Activates(command) && !(w->exStyle & WS_EX_NOACTIVATE))
        ActivateWindow(hwnd, WA_ACTIVE);
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd) {
    std::lock_guard lock(WindowsMutex());
    auto w = Lookup<Window>(hwnd);
    return w && IsShown(*w);
}

BOOL IsIconic(HWND hwnd) {
    auto w = Lookup<Window>(hwnd);
    return w && (w->style & WS_MINIMIZE);
}

BOOL IsZoomed(HWND hwnd) {
    auto w = Lookup<Window>(hwnd);
    return w && (w->style & WS_MAXIMIZE);
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w || !rect) return FALSE;
    const POINT o = ScreenOrigin(*w);
    *rect = RECT{o.x, o.y, o.x + Width(w->rect), o.y + Height(w->rect)};
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, Width(w->rect), Height(w->rect)};
    return TRUE;
}

namespace {

bool OriginOf(HWND hwnd, POINT* origin) {
    if (!hwnd) {
        *origin = POINT{};
        return true;
    }
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return false;
    *origin = hwnd == GetDesktopWindow() ? POINT{} : ScreenOrigin(*w);
    return true;
}

}  // namespace

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    POINT o;
    if (!point || !hwnd || !OriginOf(hwnd, &o)) return FALSE;
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    POINT o;
    if (!point || !hwnd || !OriginOf(hwnd, &o)) return FALSE;
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT a, b;
    if (!OriginOf(from, &a) || !OriginOf(to, &b)) return 0;
    const int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    SetLastError(ERROR_SUCCESS);
    return int(MAKELPARAM(dx, dy));
}

namespace {

// Workspace coordinates are relative to the primary work area's top-left.
POINT WorkspaceOffset(const Window& w) {
    if (w.IsChild() || (w.exStyle & WS_EX_TOOLWINDOW)) return POINT{};
    const RECT work = PrimaryWorkArea();
    const RECT screen = PrimaryMonitorRect();
    return POINT{work.left - screen.left, work.top - screen.top};
}

// A rectangle that lies on no monitor is moved into the nearest work area.
RECT OnSomeMonitor(RECT r) {
    if (MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) return r;
    MONITORINFO mi;
    GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& work = mi.rcWork;
    const int w = std::min(Width(r), Width(work)), h = std::min(Height(r), Height(work));
    const int x = std::clamp(int(r.left), int(work.left), int(work.right) - w);
    const int y = std::clamp(int(r.top), int(work.top), int(work.bottom) - h);
    return RECT{x, y, x + Width(r), y + Height(r)};
}

}  // namespace

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* wp) {
    if (!wp || wp->length != sizeof(WINDOWPLACEMENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    const bool iconic = w->style & WS_MINIMIZE, zoomed = w->style & WS_MAXIMIZE;
    wp->flags = 0;
    wp->showCmd = iconic ? SW_SHOWMINIMIZED : zoomed ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    wp->ptMinPosition = POINT{-1, -1};
    wp->ptMaxPosition = POINT{-1, -1};
    const POINT off = WorkspaceOffset(*w);
    wp->rcNormalPosition = Offset((iconic || zoomed) ? w->normalRect : w->rect, -off.x, -off.y);
    return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* wp) {
    if (!wp || wp->length != sizeof(WINDOWPLACEMENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    POINT off;
    {
        std::lock_guard lock(WindowsMutex());
        off = WorkspaceOffset(*w);
    }
    RECT normal = Offset(wp->rcNormalPosition, off.x, off.y);
    if (!w->IsChild()) normal = OnSomeMonitor(normal);
    {
        std::lock_guard lock(WindowsMutex());
        w->normalRect = normal;
    }
    const int cmd = int(wp->showCmd);
    const bool keepsState = cmd == SW_SHOWMINIMIZED || cmd == SW_MINIMIZE || cmd == SW_SHOWMINNOACTIVE ||
                            cmd == SW_SHOWMAXIMIZED;
    if (!keepsState) {
        SetStateBits(hwnd, 0, WS_MINIMIZE | WS_MAXIMIZE);
        SetWindowPos(hwnd, nullptr, normal.left, normal.top, Width(normal), Height(normal), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(hwnd, cmd);
    return TRUE;
}

namespace {

bool Hit(const Window& w, POINT parentPoint) {
    if (!w.Visible() || (w.style & WS_MINIMIZE) || !Contains(w.rect, parentPoint)) return false;
    return !w.shape || w.shape->Contains(POINT{parentPoint.x - w.rect.left, parentPoint.y - w.rect.top});
}

// The deepest child under a point of `w`'s client area.
HWND DeepestChild(const Window& w, POINT client) {
    for (HWND c : w.children) {
        auto child = Lookup<Window>(c);
        if (!child || !Hit(*child, client)) continue;
        if (child->style & WS_DISABLED) return w.handle;
        return DeepestChild(*child, POINT{client.x - child->rect.left, client.y - child->rect.top});
    }
    return w.handle;
}

}  // namespace

HWND WindowFromPoint(POINT point) {
    std::lock_guard lock(WindowsMutex());
    for (HWND h : TopLevelWindows()) {
        auto w = Lookup<Window>(h);
        if (!w || !Hit(*w, point)) continue;
        if (w->style & WS_DISABLED) return nullptr;
        return DeepestChild(*w, POINT{point.x - w->rect.left, point.y - w->rect.top});
    }
    return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT client_point) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(parent);
    if (!w || !Contains(RECT{0, 0, Width(w->rect), Height(w->rect)}, client_point)) return nullptr;
    for (HWND c : w->children) {
        auto child = Lookup<Window>(c);
        if (child && Contains(child->rect, client_point)) return c;
    }
    return parent;
}
