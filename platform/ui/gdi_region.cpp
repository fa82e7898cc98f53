// Region handles over plat::ui::Region.
#include <cmath>
#include <cstring>
#include <vector>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/gdi_objects.h"

using plat::ui::Region;
using plat::ui::RegionObject;

namespace plat::ui {

std::shared_ptr<RegionObject> LookupRegion(HRGN rgn) {
    auto object = Lookup<RegionObject>(rgn);
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

}  // namespace plat::ui

namespace {

HRGN NewRegion(Region r) {
    return static_cast<HRGN>(plat::ui::RegisterObject(std::make_shared<RegionObject>(std::move(r))));
}

RECT Normalized(int l, int t, int r, int b) {
    return RECT{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

// One rectangle per scan line of a rounded rectangle whose corners are
// quarter-ellipses of ew x eh; an ellipse is the case ew = width, eh = height.
Region RoundedRegion(const RECT& box, int ew, int eh) {
    const int w = plat::ui::Width(box), h = plat::ui::Height(box);
    ew = std::min(std::max(ew, 0), w);
    eh = std::min(std::max(eh, 0), h);
    if (ew < 2 || eh < 2) return Region(box);
    const double a = ew / 2.0, b = eh / 2.0;
    std::vector<RECT> rows;
    for (int y = 0; y < h; ++y) {
        const double cy = y + 0.5;
        double inset = 0;
        const double dy = cy < b ? b - cy : (cy > h - b ? cy - (h - b) : 0);
        if (dy > 0) inset = a - a * std::sqrt(std::max(0.0, 1.0 - (dy * dy) / (b * b)));
        const int in = int(std::lround(inset));
        if (w - 2 * in > 0) rows.push_back(RECT{box.left + in, box.top + y, box.right - in, box.top + y + 1});
    }
    return Region::FromRects(rows);
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    return NewRegion(Region(Normalized(left, top, right, bottom)));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
    const RECT box = Normalized(left, top, right, bottom);
    return NewRegion(RoundedRegion(box, plat::ui::Width(box), plat::ui::Height(box)));
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height) {
    return NewRegion(RoundedRegion(Normalized(left, top, right, bottom), width, height));
}

HRGN ExtCreateRegion(const void* transform, DWORD size, const RGNDATA* data) {
    // Transforms are not supported; a region from a list is all the GUI needs.
    if (transform || !data || size < sizeof(RGNDATAHEADER) || data->rdh.dwSize < sizeof(RGNDATAHEADER) ||
        data->rdh.iType != 1 ||
        std::uint64_t(data->rdh.dwSize) + std::uint64_t(data->rdh.nCount) * sizeof(RECT) > size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<RECT> rects(data->rdh.nCount);
    if (!rects.empty())  // an empty list has no storage to copy into
        std::memcpy(rects.data(), reinterpret_cast<const char*>(data) + data->rdh.dwSize, rects.size() * sizeof(RECT));
    for (RECT& r : rects) r = Normalized(r.left, r.top, r.right, r.bottom);
    return NewRegion(Region::FromRects(rects));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    auto d = plat::ui::LookupRegion(dest);
    auto a = plat::ui::LookupRegion(src1);
    if (!d || !a || mode < RGN_AND || mode > RGN_COPY) return ERROR_REGION;
    if (mode == RGN_COPY) {
        d->region = a->region;
        return d->region.Kind();
    }
    auto b = plat::ui::LookupRegion(src2);
    if (!b) return ERROR_REGION;
    d->region = Region::Combine(a->region, b->region, mode);
    return d->region.Kind();
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    auto r = plat::ui::LookupRegion(rgn);
    if (!r) return FALSE;
    r->region = Region(Normalized(left, top, right, bottom));
    return TRUE;
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
    auto r = plat::ui::LookupRegion(rgn);
    if (!r) return ERROR_REGION;
    r->region.Offset(dx, dy);
    return r->region.Kind();
}

int GetRgnBox(HRGN rgn, RECT* rect) {
    auto r = plat::ui::LookupRegion(rgn);
    if (!r || !rect) return ERROR_REGION;
    *rect = r->region.Bounds();
    return r->region.Kind();
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    auto r = plat::ui::LookupRegion(rgn);
    return r && r->region.Contains(POINT{x, y});
}

BOOL RectInRegion(HRGN rgn, const RECT* rect) {
    auto r = plat::ui::LookupRegion(rgn);
    return r && rect && r->region.Intersects(*rect);
}

BOOL EqualRgn(HRGN a, HRGN b) {
    auto ra = plat::ui::LookupRegion(a);
    auto rb = plat::ui::LookupRegion(b);
    return ra && rb && ra->region == rb->region;
}

DWORD GetRegionData(HRGN rgn, DWORD size, RGNDATA* data) {
    auto r = plat::ui::LookupRegion(rgn);
    if (!r) return 0;
    const auto& rects = r->region.Rects();
    const DWORD needed = DWORD(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (!data || size < needed) return needed;
    data->rdh = RGNDATAHEADER{};
    data->rdh.nCount = DWORD(rects.size());
    data->rdh.nRgnSize = DWORD(rects.size() * sizeof(RECT));
    data->rdh.rcBound = r->region.Bounds();
    std::memcpy(reinterpret_cast<char*>(data) + sizeof(RGNDATAHEADER), rects.data(), rects.size() * sizeof(RECT));
    return needed;
}
