#include "ui/draw.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/device_context.h"

using namespace plat::ui;

namespace {

RECT Box(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

// A brush handle or a system colour index + 1.
std::shared_ptr<Brush> ResolveBrush(HBRUSH brush) {
    const auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value > 0 && value <= 31) return Lookup<Brush>(GetSysColorBrush(int(value - 1)));
    return Lookup<Brush>(brush);
}

void FillClip(Bitmap& bmp, const Region& clip, std::uint32_t argb) {
    for (const RECT& r : clip.Rects()) {
        for (int y = r.top; y < r.bottom; ++y) {
            if (bmp.BitsPerPixel() == 32) {
                auto* row = reinterpret_cast<std::uint32_t*>(bmp.Row(y));
                std::fill(row + r.left, row + r.right, argb);
            } else {
                for (int x = r.left; x < r.right; ++x) bmp.Set(x, y, argb);
            }
        }
    }
}

bool FillArea(HDC hdc, const RECT& area, const std::shared_ptr<Brush>& brush) {
    if (!brush) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (brush->isNull) return true;
    return DrawOn(hdc, area, [&](DeviceContext&, Bitmap& bmp, const Region& clip) {
        FillClip(bmp, clip, ArgbFromColorRef(brush->color));
    });
}

// Raster operations on 0x00RRGGBB values (destination, source, pattern).
bool RopFunction(DWORD rop, std::uint32_t (**fn)(std::uint32_t, std::uint32_t, std::uint32_t)) {
    switch (rop) {
        case SRCCOPY: *fn = [](std::uint32_t, std::uint32_t s, std::uint32_t) { return s; }; return true;
        case SRCPAINT: *fn = [](std::uint32_t d, std::uint32_t s, std::uint32_t) { return d | s; }; return true;
        case SRCAND: *fn = [](std::uint32_t d, std::uint32_t s, std::uint32_t) { return d & s; }; return true;
        case SRCINVERT: *fn = [](std::uint32_t d, std::uint32_t s, std::uint32_t) { return d ^ s; }; return true;
        case NOTSRCCOPY: *fn = [](std::uint32_t, std::uint32_t s, std::uint32_t) { return ~s & 0xFFFFFFu; }; return true;
        case PATCOPY: *fn = [](std::uint32_t, std::uint32_t, std::uint32_t p) { return p; }; return true;
        case BLACKNESS: *fn = [](std::uint32_t, std::uint32_t, std::uint32_t) { return 0u; }; return true;
        case WHITENESS: *fn = [](std::uint32_t, std::uint32_t, std::uint32_t) { return 0xFFFFFFu; }; return true;
        default: return false;
    }
}

bool UsesSource(DWORD rop) { return rop != PATCOPY && rop != BLACKNESS && rop != WHITENESS; }

// The snapshot's storage, kept per thread: a control's paint blits several
// times a frame, and none of them needs a fresh allocation.
std::vector<std::uint32_t>& SnapshotBuffer() {
    thread_local std::vector<std::uint32_t> buffer;
    return buffer;
}

// A snapshot of the source pixels a blit reads, so that copying within one
// surface works and only one surface lock is held at a time. One per thread
// at a time (blits do not nest).
struct SourcePixels {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint32_t>& pixels = SnapshotBuffer();  // 0xAARRGGBB; outside the source bounds reads as 0
    std::uint32_t At(int x, int y) const {
        x -= left;
        y -= top;
        if (x < 0 || y < 0 || x >= width || y >= height) return 0;
        return pixels[std::size_t(y) * width + x];
    }
};

bool ReadSource(HDC src, const RECT& logical, SourcePixels* out) {
    auto dc = LookupDC(src);
    if (!dc || !dc->target) return false;
    const RECT area = Offset(logical, dc->origin.x, dc->origin.y);
    out->left = area.left;
    out->top = area.top;
    out->width = Width(area);
    out->height = Height(area);
    Bitmap& bmp = *dc->target;
    std::lock_guard lock(bmp.Mutex());
    const RECT inside = Intersect(area, bmp.Bounds());
    const std::size_t count = std::size_t(std::max(out->width, 0)) * std::max(out->height, 0);
    // The buffer only grows: a resize after a smaller blit would zero the
    // new tail although every pixel inside the source is copied below.
    if (out->pixels.size() < count) out->pixels.resize(count);
    if (inside != area) std::fill_n(out->pixels.begin(), count, 0u);
    for (int y = inside.top; y < inside.bottom; ++y) {
        std::uint32_t* row = &out->pixels[std::size_t(y - area.top) * out->width + (inside.left - area.left)];
        if (bmp.BitsPerPixel() == 32) {
            std::memcpy(row, bmp.Row(y) + inside.left * 4, std::size_t(Width(inside)) * 4);
        } else {
            for (int x = inside.left; x < inside.right; ++x) row[x - inside.left] = bmp.Get(x, y);
        }
    }
    return true;
}

// Copies with scaling from `src` (logical source box) to the destination box
// through `combine(dest, source) -> new dest`.
template <typename Combine>
BOOL Transfer(HDC dst, const RECT& dbox, HDC src, const RECT& sbox, bool needs_source, Combine&& combine) {
    SourcePixels source;
    auto sdc = needs_source ? LookupDC(src) : nullptr;
    if (needs_source && (!sdc || !ReadSource(src, sbox, &source))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const int dw = Width(dbox), dh = Height(dbox), sw = Width(sbox), sh = Height(sbox);
    if (dw <= 0 || dh <= 0) return TRUE;
    return DrawOn(dst, dbox, [&](DeviceContext& dc, Bitmap& bmp, const Region& clip) {
        const int ox = dbox.left + dc.origin.x, oy = dbox.top + dc.origin.y;
        for (const RECT& r : clip.Rects()) {
            for (int y = r.top; y < r.bottom; ++y) {
                const int sy = source.top + (y - oy) * sh / dh;
                for (int x = r.left; x < r.right; ++x) {
                    const int sx = source.left + (x - ox) * sw / dw;
                    bmp.Set(x, y, combine(bmp.Get(x, y), needs_source ? source.At(sx, sy) : 0, dc));
                }
            }
        }
    });
}

// The bounds of what the destination DC's clip lets through of a box, in
// the DC's logical coordinates. An unknown DC keeps the box (DrawOn reports it).
RECT VisibleBox(HDC hdc, const RECT& logical) {
    auto dc = LookupDC(hdc);
    if (!dc || !dc->target) return logical;
    const RECT device = dc->Clip().Intersected(Offset(logical, dc->origin.x, dc->origin.y)).Bounds();
    if (Empty(device)) return RECT{logical.left, logical.top, logical.left, logical.top};
    return Offset(device, -dc->origin.x, -dc->origin.y);
}

// The source surface of a copy when its rows can be read in place: another
// surface than the destination's, 32 bits, holding the whole source box.
std::shared_ptr<Bitmap> DirectSource(HDC dst, HDC src, const RECT& sbox) {
    auto sdc = LookupDC(src);
    auto ddc = LookupDC(dst);
    if (!sdc || !sdc->target || !ddc || sdc->target == ddc->target || sdc->target->BitsPerPixel() != 32) return nullptr;
    const RECT area = Offset(sbox, sdc->origin.x, sdc->origin.y);
    if (Intersect(area, sdc->target->Bounds()) != area) return nullptr;
    return sdc->target;
}

// An unscaled SRCCOPY between 32-bit surfaces copies whole rows: straight
// from the source surface where it can, else from a snapshot. Only the source
// pixels the destination's clip lets through are read: a window's paint
// blits its whole face while its update area is often a small part.
BOOL CopyRows(HDC dst, const RECT& whole_dbox, HDC src, const RECT& whole_sbox) {
    const RECT dbox = VisibleBox(dst, whole_dbox);
    const RECT sbox = Offset(dbox, whole_sbox.left - whole_dbox.left, whole_sbox.top - whole_dbox.top);
    if (auto direct = DirectSource(dst, src, sbox)) {
        const POINT from = LookupDC(src)->origin;
        return DrawOn(dst, dbox, [&](DeviceContext& dc, Bitmap& bmp, const Region& clip) {
            const int dx = sbox.left + from.x - dbox.left - dc.origin.x, dy = sbox.top + from.y - dbox.top - dc.origin.y;
            for (const RECT& r : clip.Rects())
                for (int y = r.top; y < r.bottom; ++y)
                    std::memcpy(bmp.Row(y) + r.left * 4, direct->Row(y + dy) + (r.left + dx) * 4, std::size_t(Width(r)) * 4);
        }, direct.get());
    }
    SourcePixels source;
    if (!ReadSource(src, sbox, &source)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return DrawOn(dst, dbox, [&](DeviceContext& dc, Bitmap& bmp, const Region& clip) {
        const int ox = dbox.left + dc.origin.x, oy = dbox.top + dc.origin.y;
        for (const RECT& r : clip.Rects())
            for (int y = r.top; y < r.bottom; ++y)
                std::memcpy(bmp.Row(y) + r.left * 4, &source.pixels[std::size_t(y - oy) * source.width + (r.left - ox)],
                            std::size_t(Width(r)) * 4);
    });
}

bool Is32(HDC hdc) {
    auto dc = Lookup<DeviceContext>(hdc);
    return dc && dc->target && dc->target->BitsPerPixel() == 32;
}

BOOL RasterBlt(HDC dst, const RECT& dbox, HDC src, const RECT& sbox, DWORD rop) {
    if (rop == SRCCOPY && Width(dbox) == Width(sbox) && Height(dbox) == Height(sbox) && Width(dbox) >= 0 &&
        Height(dbox) >= 0 && Is32(dst))
        return CopyRows(dst, dbox, src, sbox);
    std::uint32_t (*fn)(std::uint32_t, std::uint32_t, std::uint32_t) = nullptr;
    if (!RopFunction(rop, &fn) || Width(dbox) < 0 || Height(dbox) < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Transfer(dst, dbox, src, sbox, UsesSource(rop), [fn, rop](std::uint32_t d, std::uint32_t s, DeviceContext& dc) {
        const std::uint32_t pattern = dc.brush && !dc.brush->isNull ? ArgbFromColorRef(dc.brush->color) : 0;
        const std::uint32_t rgb = fn(d & 0xFFFFFF, s & 0xFFFFFF, pattern) & 0xFFFFFF;
        // A straight copy keeps the source's alpha so 32-bit images survive.
        return rop == SRCCOPY ? (rgb | (s & 0xFF000000u)) : rgb;
    });
}

std::uint8_t Mix(unsigned d, unsigned s, unsigned sa, unsigned ca) {
    // Premultiplied source over destination, scaled by the constant alpha.
    const unsigned src = s * ca / 255, alpha = sa * ca / 255;
    return std::uint8_t(std::min(255u, src + d * (255 - alpha) / 255));
}

}  // namespace

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return 0;
    return FillArea(hdc, *rect, ResolveBrush(brush)) ? 1 : 0;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return 0;
    const RECT& r = *rect;
    auto b = ResolveBrush(brush);
    const RECT sides[] = {{r.left, r.top, r.right, r.top + 1},
                          {r.left, r.bottom - 1, r.right, r.bottom},
                          {r.left, r.top, r.left + 1, r.bottom},
                          {r.right - 1, r.top, r.right, r.bottom}};
    for (const RECT& side : sides)
        if (!FillArea(hdc, side, b)) return 0;
    return 1;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
    if (!rect) return FALSE;
    const RECT& r = *rect;
    auto ink = ResolveBrush(GetSysColorBrush(COLOR_WINDOWTEXT));
    auto dot = [&](LONG x, LONG y) { FillArea(hdc, RECT{x, y, x + 1, y + 1}, ink); };
    for (LONG x = r.left; x < r.right; x += 2) {
        dot(x, r.top);
        dot(x, r.bottom - 1);
    }
    for (LONG y = r.top; y < r.bottom; y += 2) {
        dot(r.left, y);
        dot(r.right - 1, y);
    }
    return TRUE;
}

BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush) {
    auto region = LookupRegion(rgn);
    auto b = ResolveBrush(brush);
    if (!region || !b) return FALSE;
    if (b->isNull) return TRUE;
    return DrawOn(hdc, region->region.Bounds(), [&](DeviceContext& dc, Bitmap& bmp, const Region& clip) {
        Region shape = region->region;
        shape.Offset(dc.origin.x, dc.origin.y);
        FillClip(bmp, Region::Combine(clip, shape, RGN_AND), ArgbFromColorRef(b->color));
    });
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    auto dc = LookupDC(hdc);
    if (!dc) return FALSE;
    const RECT outer{left, top, right, bottom};
    RECT inner = outer;
    if (dc->pen && !dc->pen->isNull) {
        HBRUSH penBrush = CreateSolidBrush(dc->pen->color);
        FrameRect(hdc, &outer, penBrush);
        DeleteObject(penBrush);
        inner = RECT{left + 1, top + 1, right - 1, bottom - 1};
    }
    return FillArea(hdc, inner, dc->brush);
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    if (UsesSource(rop)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return RasterBlt(hdc, Box(x, y, width, height), nullptr, RECT{}, rop);
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop) {
    return RasterBlt(dst, Box(x, y, width, height), src, Box(sx, sy, width, height), rop);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int swidth, int sheight, DWORD rop) {
    if (swidth < 0 || sheight < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return RasterBlt(dst, Box(x, y, width, height), src, Box(sx, sy, swidth, sheight), rop);
}

BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int swidth, int sheight,
                BLENDFUNCTION blend) {
    if (blend.BlendOp != AC_SRC_OVER || width < 0 || height < 0 || swidth < 0 || sheight < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool perPixel = blend.AlphaFormat & AC_SRC_ALPHA;
    const unsigned ca = blend.SourceConstantAlpha;
    return Transfer(dst, Box(x, y, width, height), src, Box(sx, sy, swidth, sheight), true,
                    [&](std::uint32_t d, std::uint32_t s, DeviceContext&) {
                        const unsigned sa = perPixel ? (s >> 24) : 255;
                        return (std::uint32_t(Mix((d >> 16) & 255, (s >> 16) & 255, sa, ca)) << 16) |
                               (std::uint32_t(Mix((d >> 8) & 255, (s >> 8) & 255, sa, ca)) << 8) |
                               Mix(d & 255, s & 255, sa, ca) |
                               (std::uint32_t(Mix(d >> 24, sa, sa, ca)) << 24);
                    });
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    COLORREF written = CLR_INVALID;
    DrawOn(hdc, Box(x, y, 1, 1), [&](DeviceContext& dc, Bitmap& bmp, const Region&) {
        bmp.Set(x + dc.origin.x, y + dc.origin.y, ArgbFromColorRef(color));
        written = ColorRefFromArgb(bmp.Get(x + dc.origin.x, y + dc.origin.y));
    });
    return written;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    auto dc = LookupDC(hdc);
    if (!dc || !dc->target) return CLR_INVALID;
    const POINT p{x + dc->origin.x, y + dc->origin.y};
    if (!dc->Clip().Contains(p)) return CLR_INVALID;
    std::lock_guard lock(dc->target->Mutex());
    return ColorRefFromArgb(dc->target->Get(p.x, p.y));
}
