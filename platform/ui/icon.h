// Icons: a colour bitmap with an AND mask (or per-pixel alpha in a 32-bit
// colour bitmap whose alpha is not all zero), drawn with DrawIcon.
#pragma once

#include <memory>

#include "ui/bitmap.h"

namespace plat::ui {

class Icon final : public UiObject {
public:
    std::shared_ptr<Bitmap> color;  // 32 bits
    std::shared_ptr<Bitmap> mask;   // 1 bit: 1 keeps the destination
    bool hasAlpha = false;
    POINT hotspot;
    bool isIcon = true;
};

// Copies an image and its mask into an icon; null mask means opaque unless
// the colour bitmap has alpha.
HICON MakeIcon(const Bitmap& color, const Bitmap* mask);
// Draws `icon` scaled to width x height at (x, y): alpha blended or masked.
bool DrawIconScaled(HDC hdc, int x, int y, const Icon& icon, int width, int height);
// `icon` scaled to width x height as 0xAARRGGBB with straight alpha: the
// icon's own alpha, or from its mask (where the mask keeps the destination
// the pixel is transparent; an inverting pixel cannot be shown this way and
// is transparent too).
std::shared_ptr<Bitmap> ScaledIconPixels(const Icon& icon, int width, int height);

}  // namespace plat::ui

HICON CreateIconIndirect(ICONINFO* info);
BOOL GetIconInfo(HICON icon, ICONINFO* info);
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon);
BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH flicker_free, UINT flags);
BOOL DestroyIcon(HICON icon);
HICON CopyIcon(HICON icon);
