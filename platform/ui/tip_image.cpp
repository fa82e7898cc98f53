#include "ui/tip_image.h"

#include "ui/device_context.h"
#include "ui/dib.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/text.h"

namespace plat::ui {

SIZE TipSize(HDC hdc, const std::u16string& text) {
    SIZE size{};
    GetTextExtentPoint32W(hdc, text.c_str(), int(text.size()), &size);
    return SIZE{size.cx + 8, size.cy + 4};
}

void DrawTip(HDC hdc, const RECT& rc, const std::u16string& text) {
    HBRUSH back = CreateSolidBrush(RGB(255, 255, 225));
    FillRect(hdc, &rc, back);
    DeleteObject(back);
    HBRUSH frame = CreateSolidBrush(RGB(0, 0, 0));
    FrameRect(hdc, &rc, frame);
    DeleteObject(frame);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(0, 0, 0));
    RECT inner = rc;
    DrawTextW(hdc, text.c_str(), int(text.size()), &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

std::shared_ptr<Bitmap> TipImage(const std::u16string& text) {
    if (text.empty()) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    const SIZE size = TipSize(dc, text);
    HBITMAP target = CreateBitmap(size.cx, size.cy, 1, 32, nullptr);
    auto pixels = Lookup<Bitmap>(target);
    if (pixels) {
        HGDIOBJ old = SelectObject(dc, target);
        DrawTip(dc, RECT{0, 0, size.cx, size.cy}, text);
        SelectObject(dc, old);
    }
    DeleteDC(dc);
    DeleteObject(target);  // the image lives on in `pixels`
    return pixels;
}

}  // namespace plat::ui
