// Device contexts: a drawing target (a memory bitmap or a window's surface),
// an origin, clipping, and the selected brush, pen, font and colours.
// A DC is used by one thread at a time (the thread that got it); the pixels
// it draws into are guarded by the target bitmap's lock, so a window DC on
// one thread and painting on another can share a surface safely.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "ui/bitmap.h"
#include "ui/gdi_objects.h"

namespace plat::ui {

class Font;

class DeviceContext final : public UiObject {
public:
    HDC handle = nullptr;
    HWND window = nullptr;  // window DC; null for a memory DC
    std::shared_ptr<Bitmap> target;
    HBITMAP bitmapHandle = nullptr;  // bitmap selected into a memory DC
    POINT origin;                    // target position of logical (0, 0)
    std::optional<Region> systemClip;  // target coordinates (window visibility, paint area)
    std::optional<Region> userClip;    // logical coordinates (SelectClipRgn)

    std::shared_ptr<Brush> brush;
    HBRUSH brushHandle = nullptr;
    std::shared_ptr<Pen> pen;
    HPEN penHandle = nullptr;
    std::shared_ptr<Font> font;
    HFONT fontHandle = nullptr;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;

    RECT dirty;  // target area drawn since the last presentation (window DCs)

    // Effective clip in target coordinates: target bounds, system and user clip.
    Region Clip() const;
    void MarkDirty(const RECT& target_rect);
};

std::shared_ptr<DeviceContext> LookupDC(HDC hdc);  // sets ERROR_INVALID_HANDLE
HDC RegisterDC(std::shared_ptr<DeviceContext> dc);
// Selects the default brush, pen and font into a new DC.
void SelectDefaults(DeviceContext& dc);

// Calls `draw` with the DC's target locked and the clip of `logical` (the
// area the operation may touch, logical coordinates) in target coordinates.
// Returns false when the DC is invalid; marks the drawn area dirty. With
// `source`, that bitmap is locked too (both together, so two threads copying
// between the same two surfaces in opposite directions cannot deadlock).
bool DrawOn(HDC hdc, const RECT& logical, const std::function<void(DeviceContext&, Bitmap&, const Region&)>& draw,
            const Bitmap* source = nullptr);

}  // namespace plat::ui

HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC hdc, UINT kind);
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
int SelectClipRgn(HDC hdc, HRGN rgn);
// Copies the DC's own clip (SelectClipRgn, IntersectClipRect) into `rgn`:
// 1, or 0 when it has none (rgn untouched), -1 on bad handles.
int GetClipRgn(HDC hdc, HRGN rgn);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int GetClipBox(HDC hdc, RECT* rect);
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous);
int GetDeviceCaps(HDC hdc, int index);
HWND WindowFromDC(HDC hdc);

constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_FONT = 6;
constexpr UINT OBJ_BITMAP = 7;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
