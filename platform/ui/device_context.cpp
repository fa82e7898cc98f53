#include <utility>
#include "ui/device_context.h"

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/font.h"

namespace plat::ui {

Region DeviceContext::Clip() const {
    Region clip(target ? target->Bounds() : RECT{});
    if (systemClip) clip = Region::Combine(clip, *systemClip, RGN_AND);
    if (userClip) {
        Region user = *userClip;
        user.Offset(origin.x, origin.y);
        clip = Region::Combine(clip, user, RGN_AND);
    }
    return clip;
}

void DeviceContext::MarkDirty(const RECT& target_rect) { dirty = Union(dirty, target_rect); }

std::shared_ptr<DeviceContext> LookupDC(HDC hdc) {
    auto dc = Lookup<DeviceContext>(hdc);
    if (!dc) SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

HDC RegisterDC(std::shared_ptr<DeviceContext> dc) {
    auto* raw = dc.get();
    raw->handle = static_cast<HDC>(RegisterObject(std::move(dc)));
    return raw->handle;
}

void SelectDefaults(DeviceContext& dc) {
    dc.brushHandle = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    dc.brush = Lookup<Brush>(dc.brushHandle);
    dc.penHandle = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    dc.pen = Lookup<Pen>(dc.penHandle);
    dc.fontHandle = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    dc.font = Lookup<Font>(dc.fontHandle);
}

bool DrawOn(HDC hdc, const RECT& logical, const std::function<void(DeviceContext&, Bitmap&, const Region&)>& draw,
            const Bitmap* source) {
    auto dc = LookupDC(hdc);
    if (!dc || !dc->target) return false;
    const RECT area = Offset(logical, dc->origin.x, dc->origin.y);
    Region clip = dc->Clip().Intersected(area);
    if (clip.IsEmpty()) return true;
    if (source && source != dc->target.get()) {
        std::scoped_lock lock(dc->target->Mutex(), source->Mutex());
        draw(*dc, *dc->target, clip);
    } else {
        std::lock_guard lock(dc->target->Mutex());
        draw(*dc, *dc->target, clip);
    }
    dc->MarkDirty(clip.Bounds());
    return true;
}

}  // namespace plat::ui

using namespace plat::ui;

HDC CreateCompatibleDC(HDC) {
    auto dc = std::make_shared<DeviceContext>();
    // A new memory DC holds the stock 1 x 1 monochrome bitmap until one is selected.
    dc->bitmapHandle = static_cast<HBITMAP>(GetStockObject(DEFAULT_BITMAP));
    dc->target = Lookup<Bitmap>(dc->bitmapHandle);
    SelectDefaults(*dc);
    return RegisterDC(std::move(dc));
}

BOOL DeleteDC(HDC hdc) {
    auto dc = LookupDC(hdc);
    if (!dc) return FALSE;
    if (dc->window) {
        SetLastError(ERROR_INVALID_HANDLE);  // window DCs go back through ReleaseDC
        return FALSE;
    }
    if (dc->target->selectedInto == hdc) dc->target->selectedInto = nullptr;
    return RemoveObject(hdc);
}

namespace {

HGDIOBJ SelectBitmap(DeviceContext& dc, HBITMAP handle, const std::shared_ptr<Bitmap>& bitmap) {
    // A bitmap lives in one DC at a time; the stock bitmap is shared.
    const bool stock = IsPermanentObject(handle);
    if (dc.window || (!stock && bitmap->selectedInto && bitmap->selectedInto != dc.handle)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HGDIOBJ previous = dc.bitmapHandle;
    if (dc.target->selectedInto == dc.handle) dc.target->selectedInto = nullptr;
    if (!stock) bitmap->selectedInto = dc.handle;
    dc.target = bitmap;
    dc.bitmapHandle = handle;
    return previous;
}

}  // namespace

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    auto dc = LookupDC(hdc);
    auto obj = LookupObject(object);
    if (!dc || !obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (auto bitmap = std::dynamic_pointer_cast<Bitmap>(obj)) return SelectBitmap(*dc, static_cast<HBITMAP>(object), bitmap);
    if (auto brush = std::dynamic_pointer_cast<Brush>(obj)) {
        HGDIOBJ previous = dc->brushHandle;
        dc->brush = brush;
        dc->brushHandle = static_cast<HBRUSH>(object);
        return previous;
    }
    if (auto pen = std::dynamic_pointer_cast<Pen>(obj)) {
        HGDIOBJ previous = dc->penHandle;
        dc->pen = pen;
        dc->penHandle = static_cast<HPEN>(object);
        return previous;
    }
    if (auto font = std::dynamic_pointer_cast<Font>(obj)) {
        HGDIOBJ previous = dc->fontHandle;
        dc->font = font;
        dc->fontHandle = static_cast<HFONT>(object);
        return previous;
    }
    if (std::dynamic_pointer_cast<RegionObject>(obj)) {
        return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(SelectClipRgn(hdc, static_cast<HRGN>(object))));
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT kind) {
    auto dc = LookupDC(hdc);
    if (!dc) return nullptr;
    switch (kind) {
        case OBJ_BRUSH: return dc->brushHandle;
        case OBJ_PEN: return dc->penHandle;
        case OBJ_FONT: return dc->fontHandle;
        case OBJ_BITMAP: return dc->bitmapHandle;
        default: return nullptr;
    }
}

namespace {

template <typename T, typename F>
T SwapField(HDC hdc, T failure, F&& field) {
    auto dc = LookupDC(hdc);
    return dc ? field(*dc) : failure;
}

}  // namespace

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    return SwapField(hdc, CLR_INVALID, [&](DeviceContext& dc) { return std::exchange(dc.textColor, color); });
}
COLORREF GetTextColor(HDC hdc) { return SwapField(hdc, CLR_INVALID, [](DeviceContext& dc) { return dc.textColor; }); }
COLORREF SetBkColor(HDC hdc, COLORREF color) {
    return SwapField(hdc, CLR_INVALID, [&](DeviceContext& dc) { return std::exchange(dc.bkColor, color); });
}
COLORREF GetBkColor(HDC hdc) { return SwapField(hdc, CLR_INVALID, [](DeviceContext& dc) { return dc.bkColor; }); }
int SetBkMode(HDC hdc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return SwapField(hdc, 0, [&](DeviceContext& dc) { return std::exchange(dc.bkMode, mode); });
}
int GetBkMode(HDC hdc) { return SwapField(hdc, 0, [](DeviceContext& dc) { return dc.bkMode; }); }

int SelectClipRgn(HDC hdc, HRGN rgn) {
    auto dc = LookupDC(hdc);
    if (!dc) return ERROR_REGION;
    if (!rgn) {
        dc->userClip.reset();
    } else {
        auto region = LookupRegion(rgn);
        if (!region) return ERROR_REGION;
        dc->userClip = region->region;  // copied: the caller keeps its region
    }
    return dc->Clip().Kind();
}

int GetClipRgn(HDC hdc, HRGN rgn) {
    auto dc = LookupDC(hdc);
    auto region = LookupRegion(rgn);
    if (!dc || !region) return -1;
    if (!dc->userClip) return 0;
    region->region = *dc->userClip;
    return 1;
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    auto dc = LookupDC(hdc);
    if (!dc) return ERROR_REGION;
    const Region rect(RECT{left, top, right, bottom});
    if (dc->userClip) {
        dc->userClip = Region::Combine(*dc->userClip, rect, RGN_AND);
    } else {
        // Without a clip of its own the DC's clip is its whole surface.
        Region whole = dc->Clip();
        whole.Offset(-dc->origin.x, -dc->origin.y);
        dc->userClip = Region::Combine(whole, rect, RGN_AND);
    }
    return dc->Clip().Kind();
}

int GetClipBox(HDC hdc, RECT* rect) {
    auto dc = LookupDC(hdc);
    if (!dc || !rect) return ERROR_REGION;
    const Region clip = dc->Clip();
    *rect = Offset(clip.Bounds(), -dc->origin.x, -dc->origin.y);
    if (clip.IsEmpty()) *rect = RECT{};
    return clip.Kind();
}

BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous) {
    auto dc = LookupDC(hdc);
    if (!dc) return FALSE;
    if (previous) *previous = dc->origin;
    dc->origin.x += dx;
    dc->origin.y += dy;
    return TRUE;
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous) {
    auto dc = LookupDC(hdc);
    if (!dc) return FALSE;
    if (previous) *previous = dc->origin;
    dc->origin = POINT{x, y};
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
    auto dc = LookupDC(hdc);
    switch (index) {
        case LOGPIXELSX:
        case LOGPIXELSY: return 96;
        case BITSPIXEL: return (dc && dc->target && dc->bitmapHandle) ? dc->target->BitsPerPixel() : 32;
        case HORZRES: return dc && dc->target ? dc->target->Width() : 0;
        case VERTRES: return dc && dc->target ? dc->target->Height() : 0;
        default: return 0;
    }
}

HWND WindowFromDC(HDC hdc) {
    auto dc = LookupDC(hdc);
    return dc ? dc->window : nullptr;
}
