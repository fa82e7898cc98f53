#include "ui/icon.h"

#include <algorithm>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/device_context.h"

namespace plat::ui {
namespace {

bool AnyAlpha(const Bitmap& b) {
    if (b.BitsPerPixel() != 32) return false;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Get(x, y) >> 24) return true;
    return false;
}

std::uint8_t Over(unsigned d, unsigned s, unsigned a) { return std::uint8_t((s * a + d * (255 - a) + 127) / 255); }

// The source pixel shown at (tx, ty) of the icon scaled to width x height.
int SourceCoord(int t, int target_size, int source_size) { return t * source_size / target_size; }

}  // namespace

HICON MakeIcon(const Bitmap& color, const Bitmap* mask) {
    auto icon = std::make_shared<Icon>();
    {
        std::lock_guard lock(color.Mutex());
        icon->color = CloneBitmap(color, 32);
    }
    if (mask) {
        std::lock_guard lock(mask->Mutex());
        icon->mask = CloneBitmap(*mask, 1);
    }
    icon->hasAlpha = AnyAlpha(*icon->color);
    return static_cast<HICON>(RegisterObject(std::move(icon)));
}

bool DrawIconScaled(HDC hdc, int x, int y, const Icon& icon, int width, int height) {
    const Bitmap& c = *icon.color;
    if (c.Width() == 0 || c.Height() == 0) return true;
    return DrawOn(hdc, RECT{x, y, x + width, y + height}, [&](DeviceContext& dc, Bitmap& bmp, const Region& clip) {
        const int ox = x + dc.origin.x, oy = y + dc.origin.y;
        for (const RECT& r : clip.Rects()) {
            for (int ty = r.top; ty < r.bottom; ++ty) {
                const int sy = SourceCoord(ty - oy, height, c.Height());
                for (int tx = r.left; tx < r.right; ++tx) {
                    const int sx = SourceCoord(tx - ox, width, c.Width());
                    const std::uint32_t s = c.Get(sx, sy);
                    const std::uint32_t d = bmp.Get(tx, ty);
                    if (icon.hasAlpha) {
                        const unsigned a = s >> 24;
                        bmp.Set(tx, ty, (std::uint32_t(Over((d >> 16) & 255, (s >> 16) & 255, a)) << 16) |
                                            (std::uint32_t(Over((d >> 8) & 255, (s >> 8) & 255, a)) << 8) |
                                            Over(d & 255, s & 255, a));
                    } else if (icon.mask && icon.mask->InBounds(sx, sy) && icon.mask->Get(sx, sy)) {
                        // Mask 1: the destination shows through, XORed with the colour.
                        bmp.Set(tx, ty, (d ^ s) & 0xFFFFFF);
                    } else {
                        bmp.Set(tx, ty, s & 0xFFFFFF);
                    }
                }
            }
        }
    });
}

std::shared_ptr<Bitmap> ScaledIconPixels(const Icon& icon, int width, int height) {
    auto out = std::make_shared<Bitmap>(std::max(width, 0), std::max(height, 0), 32);
    const Bitmap& c = *icon.color;
    if (c.Width() == 0 || c.Height() == 0) return out;
    for (int ty = 0; ty < height; ++ty) {
        const int sy = SourceCoord(ty, height, c.Height());
        for (int tx = 0; tx < width; ++tx) {
            const int sx = SourceCoord(tx, width, c.Width());
            const std::uint32_t s = c.Get(sx, sy);
            if (icon.hasAlpha) out->Set(tx, ty, s);
            else if (icon.mask && icon.mask->InBounds(sx, sy) && icon.mask->Get(sx, sy)) out->Set(tx, ty, 0);
            else out->Set(tx, ty, s | 0xFF000000u);
        }
    }
    return out;
}

}  // namespace plat::ui

using namespace plat::ui;

HICON CreateIconIndirect(ICONINFO* info) {
    auto color = info ? Lookup<Bitmap>(info->hbmColor) : nullptr;
    auto mask = info ? Lookup<Bitmap>(info->hbmMask) : nullptr;
    if (!info || !mask || (info->hbmColor && !color)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // A monochrome icon without colour keeps its image in the mask's lower half.
    std::shared_ptr<Bitmap> image = color;
    if (!image) image = std::make_shared<Bitmap>(mask->Width(), mask->Height() / 2, 1);
    HICON icon = MakeIcon(*image, mask.get());
    if (auto obj = Lookup<Icon>(icon)) {
        obj->hotspot = POINT{LONG(info->xHotspot), LONG(info->yHotspot)};
        obj->isIcon = info->fIcon != FALSE;
    }
    return icon;
}

BOOL GetIconInfo(HICON hicon, ICONINFO* info) {
    auto icon = Lookup<Icon>(hicon);
    if (!icon || !info) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    info->fIcon = icon->isIcon;
    info->xHotspot = DWORD(icon->hotspot.x);
    info->yHotspot = DWORD(icon->hotspot.y);
    info->hbmColor = static_cast<HBITMAP>(RegisterObject(CloneBitmap(*icon->color, 32)));
    auto mask = icon->mask ? CloneBitmap(*icon->mask, 1) : std::make_shared<Bitmap>(icon->color->Width(), icon->color->Height(), 1);
    info->hbmMask = static_cast<HBITMAP>(RegisterObject(mask));
    return TRUE;
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON hicon) {
    auto icon = Lookup<Icon>(hicon);
    if (!icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return DrawIconScaled(hdc, x, y, *icon, icon->color->Width(), icon->color->Height());
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON hicon, int width, int height, UINT, HBRUSH, UINT) {
    auto icon = Lookup<Icon>(hicon);
    if (!icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return DrawIconScaled(hdc, x, y, *icon, width ? width : icon->color->Width(), height ? height : icon->color->Height());
}

BOOL DestroyIcon(HICON icon) {
    if (!Lookup<Icon>(icon)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return RemoveObject(icon);
}

HICON CopyIcon(HICON hicon) {
    auto icon = Lookup<Icon>(hicon);
    if (!icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<HICON>(RegisterObject(std::make_shared<Icon>(*icon)));
}
