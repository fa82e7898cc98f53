// How a tooltip looks, shared by the tooltip control and tips drawn outside
// the window system (the tray icons' tips on X11).
#pragma once

#include <memory>
#include <string>

#include "ui/bitmap.h"

namespace plat::ui {

// The size of the tip for `text` in the font selected into `hdc`.
SIZE TipSize(HDC hdc, const std::u16string& text);
// The text centred on the pale background inside a black frame.
void DrawTip(HDC hdc, const RECT& rc, const std::u16string& text);
// The tip for `text` as a bitmap of its own size; null for empty text.
std::shared_ptr<Bitmap> TipImage(const std::u16string& text);

}  // namespace plat::ui
