// GDI drawing objects (brushes, pens, regions), the stock objects, system
// colours, and the calls shared by every object kind: GetObject,
// DeleteObject.
#pragma once

#include "ui/object_table.h"
#include "ui/region.h"
#include "ui/ui_constants.h"

namespace plat::ui {

class Brush final : public UiObject {
public:
    Brush(COLORREF c, bool is_null) : color(c), isNull(is_null) {}
    const COLORREF color;
    const bool isNull;
};

class Pen final : public UiObject {
public:
    Pen(COLORREF c, int w, bool is_null) : color(c), width(w), isNull(is_null) {}
    const COLORREF color;
    const int width;
    const bool isNull;
};

class RegionObject final : public UiObject {
public:
    explicit RegionObject(Region r = {}) : region(std::move(r)) {}
    Region region;
};

// The region behind a handle, or nullptr (last error ERROR_INVALID_HANDLE).
std::shared_ptr<RegionObject> LookupRegion(HRGN rgn);

}  // namespace plat::ui

HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
// DEFAULT_BITMAP is the 1 x 1 monochrome bitmap of a new memory DC.
constexpr int DEFAULT_BITMAP = 21;
HGDIOBJ GetStockObject(int kind);
// Fails (FALSE) for an unknown handle and for a bitmap still selected into
// a device context; stock objects are never deleted but report success.
BOOL DeleteObject(HGDIOBJ object);
// BITMAP (or DIBSECTION for a DIB section), LOGFONTW or LOGBRUSH. With a null
// buffer returns the size needed.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
COLORREF GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);

// Regions.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height);
HRGN ExtCreateRegion(const void* transform, DWORD size, const RGNDATA* data);
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, RECT* rect);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);
// Size needed with a null buffer or too small a size; else fills the buffer.
DWORD GetRegionData(HRGN rgn, DWORD size, RGNDATA* data);
