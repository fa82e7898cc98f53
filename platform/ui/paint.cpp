#include <utility>
#include "ui/paint.h"

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/device_context.h"
#include "ui/message_queue.h"
#include "ui/present_queue.h"
#include "ui/window_internal.h"

namespace plat::ui {
namespace {

Region ClientArea(const Window& w) { return Region(RECT{0, 0, Width(w.rect), Height(w.rect)}); }

// Under WindowsMutex. Returns the threads to wake.
void AddUpdate(Window& w, const Region& area, bool erase, bool children, std::vector<DWORD>* wake) {
    const Region inside = Region::Combine(area, ClientArea(w), RGN_AND);
    if (inside.IsEmpty()) return;
    w.update = Region::Combine(w.update, inside, RGN_OR);
    w.erasePending = w.erasePending || erase;
    wake->push_back(w.thread);
    if (!children || (w.style & WS_CLIPCHILDREN)) return;
    for (HWND c : w.children) {
        auto child = Lookup<Window>(c);
        if (!child || !child->Visible()) continue;
        Region mine = inside;
        mine.Offset(-child->rect.left, -child->rect.top);
        AddUpdate(*child, mine, erase, true, wake);
    }
}

}  // namespace

void InvalidateArea(HWND hwnd, const Region* area, bool erase, bool children) {
    std::vector<DWORD> wake;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(hwnd);
        if (!w) return;
        AddUpdate(*w, area ? *area : ClientArea(*w), erase, children, &wake);
    }
    for (DWORD t : wake) WakeThread(t);
}

}  // namespace plat::ui

using namespace plat::ui;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    if (!hwnd) {
        std::vector<HWND> all;
        {
            std::lock_guard lock(WindowsMutex());
            all = TopLevelWindows();
        }
        for (HWND h : all) InvalidateArea(h, nullptr, erase, true);
        return TRUE;
    }
    if (!GetWindowObject(hwnd)) return FALSE;
    if (!rect) {
        InvalidateArea(hwnd, nullptr, erase, true);
    } else {
        const Region area(*rect);
        InvalidateArea(hwnd, &area, erase, true);
    }
    return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    if (!rgn) return InvalidateRect(hwnd, nullptr, erase);
    auto region = LookupRegion(rgn);
    if (!region || !GetWindowObject(hwnd)) return FALSE;
    InvalidateArea(hwnd, &region->region, erase, true);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    if (!rect) {
        w->update = Region();
        w->erasePending = false;
    } else {
        w->update = Region::Combine(w->update, Region(*rect), RGN_DIFF);
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = w->update.Bounds();
    return !w->update.IsEmpty();
}

BOOL UpdateWindow(HWND hwnd) {
    std::vector<HWND> children;
    bool paint = false;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return FALSE;
        paint = !w->update.IsEmpty() && IsShown(*w);
        children = w->children;
    }
    if (paint) SendMessageW(hwnd, WM_PAINT, 0, 0);
    for (HWND c : children) UpdateWindow(c);
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags) {
    if (!hwnd) {
        // The whole screen: every top-level window with its children.
        std::vector<HWND> all;
        {
            std::lock_guard lock(WindowsMutex());
            all = TopLevelWindows();
        }
        for (HWND h : all) RedrawWindow(h, nullptr, nullptr, flags | RDW_ALLCHILDREN);
        return TRUE;
    }
    if (!GetWindowObject(hwnd)) return FALSE;
    std::optional<Region> area;
    if (rgn) {
        auto r = LookupRegion(rgn);
        if (!r) return FALSE;
        area = r->region;
    } else if (rect) {
        area = Region(*rect);
    }
    const bool children = (flags & RDW_ALLCHILDREN) != 0;
    if (flags & RDW_INVALIDATE) InvalidateArea(hwnd, area ? &*area : nullptr, (flags & RDW_ERASE) != 0, children);
    if (flags & RDW_VALIDATE) ValidateRect(hwnd, rect);
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(hwnd);
    return TRUE;
}

namespace {

HDC MakeWindowDC(HWND hwnd, const Region* paint_area) {
    auto dc = std::make_shared<DeviceContext>();
    {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return nullptr;
        auto top = Lookup<Window>(TopLevelOf(hwnd));
        if (!top) return nullptr;
        dc->window = hwnd;
        dc->target = top->surface;
        dc->origin = SurfaceOrigin(*w);
        Region clip = VisibleRegion(*w, (w->style & WS_CLIPCHILDREN) != 0);
        if (paint_area) {
            Region area = *paint_area;
            area.Offset(dc->origin.x, dc->origin.y);
            clip = Region::Combine(clip, area, RGN_AND);
        }
        dc->systemClip = clip;
    }
    SelectDefaults(*dc);
    return RegisterDC(std::move(dc));
}

HDC ScreenDC() {
    auto dc = std::make_shared<DeviceContext>();
    dc->window = GetDesktopWindow();
    dc->target = std::make_shared<Bitmap>(1, 1, 32);
    dc->systemClip = Region();  // the screen belongs to nobody here
    SelectDefaults(*dc);
    return RegisterDC(std::move(dc));
}

}  // namespace

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    if (!ps) return nullptr;
    Region area;
    bool erase = false;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return nullptr;
        area = std::move(w->update);
        w->update = Region();
        erase = std::exchange(w->erasePending, false);
    }
    HDC hdc = MakeWindowDC(hwnd, &area);
    *ps = PAINTSTRUCT{};
    ps->hdc = hdc;
    ps->rcPaint = area.Bounds();
    ps->fErase = TRUE;
    if (hdc && erase) ps->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
    return hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (!ps) return FALSE;
    return ReleaseDC(hwnd, ps->hdc) ? TRUE : FALSE;
}

HDC GetDC(HWND hwnd) { return hwnd ? MakeWindowDC(hwnd, nullptr) : ScreenDC(); }
HDC GetWindowDC(HWND hwnd) { return GetDC(hwnd); }

int ReleaseDC(HWND, HDC hdc) {
    auto dc = Lookup<DeviceContext>(hdc);
    if (!dc || !dc->window) return 0;
    RemoveObject(hdc);
    if (Empty(dc->dirty)) return 1;
    HWND top;
    {
        std::lock_guard lock(WindowsMutex());
        top = TopLevelOf(dc->window);
    }
    // A window resized since the DC was made draws into its old surface;
    // that drawing is not shown.
    PresentArea(top, dc->target, dc->dirty);
    return 1;
}

int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw) {
    std::optional<Region> shape;
    if (rgn) {
        auto region = LookupRegion(rgn);
        if (!region) return 0;
        shape = region->region;
    }
    bool topLevel;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return 0;
        w->shape = shape;
        topLevel = !w->IsChild();
    }
    if (rgn) RemoveObject(rgn);  // the window owns the region now
    if (topLevel) NotifyBackend(hwnd, kChangeShape);
    if (redraw) InvalidateArea(hwnd, nullptr, true, true);
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN rgn) {
    auto target = LookupRegion(rgn);
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w || !target || !w->shape) return ERROR_REGION;
    target->region = *w->shape;
    return target->region.Kind();
}

BOOL GdiFlush() {
    CurrentBackend().Flush();
    return TRUE;
}
