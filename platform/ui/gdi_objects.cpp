#include "ui/gdi_objects.h"

#include <array>
#include <cstring>

#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "ui/bitmap.h"
#include "ui/font.h"

using namespace plat::ui;

namespace {

// The classic light system palette; skins draw their own colours, so these
// only matter for default backgrounds and controls.
COLORREF SysColor(int index) {
    switch (index) {
        case COLOR_WINDOW: return RGB(255, 255, 255);
        case COLOR_WINDOWTEXT:
        case COLOR_BTNTEXT:
        case COLOR_INFOTEXT: return RGB(0, 0, 0);
        case COLOR_BTNFACE: return RGB(240, 240, 240);
        case COLOR_HIGHLIGHT: return RGB(0, 120, 215);
        case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
        case COLOR_GRAYTEXT: return RGB(109, 109, 109);
        case COLOR_INFOBK: return RGB(255, 255, 225);
        default: return RGB(192, 192, 192);
    }
}

LOGFONTW StockLogFont(int kind) {
    LOGFONTW log;
    log.lfHeight = kind == DEFAULT_GUI_FONT ? -11 : -13;
    log.lfWeight = kind == SYSTEM_FONT ? FW_BOLD : FW_NORMAL;
    log.lfCharSet = DEFAULT_CHARSET;
    plat::CopyToField(log.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
    return log;
}

std::shared_ptr<UiObject> MakeStock(int kind) {
    switch (kind) {
        case WHITE_BRUSH: return std::make_shared<Brush>(RGB(255, 255, 255), false);
        case LTGRAY_BRUSH: return std::make_shared<Brush>(RGB(192, 192, 192), false);
        case GRAY_BRUSH: return std::make_shared<Brush>(RGB(128, 128, 128), false);
        case DKGRAY_BRUSH: return std::make_shared<Brush>(RGB(64, 64, 64), false);
        case BLACK_BRUSH: return std::make_shared<Brush>(RGB(0, 0, 0), false);
        case NULL_BRUSH: return std::make_shared<Brush>(0, true);
        case WHITE_PEN: return std::make_shared<Pen>(RGB(255, 255, 255), 1, false);
        case BLACK_PEN: return std::make_shared<Pen>(RGB(0, 0, 0), 1, false);
        case NULL_PEN: return std::make_shared<Pen>(0, 0, true);
        case ANSI_VAR_FONT:
        case SYSTEM_FONT:
        case DEFAULT_GUI_FONT: return std::make_shared<Font>(StockLogFont(kind));
        case DEFAULT_BITMAP: return std::make_shared<Bitmap>(1, 1, 1);
        default: return nullptr;
    }
}

}  // namespace

HBRUSH CreateSolidBrush(COLORREF color) {
    return static_cast<HBRUSH>(RegisterObject(std::make_shared<Brush>(color & 0xFFFFFF, false)));
}

HPEN CreatePen(int style, int width, COLORREF color) {
    return static_cast<HPEN>(RegisterObject(std::make_shared<Pen>(color & 0xFFFFFF, std::max(width, 1), style == PS_NULL)));
}

HGDIOBJ GetStockObject(int kind) {
    static std::mutex mutex;
    static std::array<HGDIOBJ, 32> stock{};
    if (kind < 0 || kind >= int(stock.size())) return nullptr;
    std::lock_guard lock(mutex);
    if (!stock[kind]) {
        if (auto object = MakeStock(kind)) stock[kind] = RegisterPermanentObject(std::move(object));
    }
    return stock[kind];
}

BOOL DeleteObject(HGDIOBJ object) {
    auto obj = LookupObject(object);
    // Only drawing objects: a window, DC, icon or image list handle is refused.
    const bool drawingObject = std::dynamic_pointer_cast<Bitmap>(obj) || std::dynamic_pointer_cast<Brush>(obj) ||
                               std::dynamic_pointer_cast<Pen>(obj) || std::dynamic_pointer_cast<Font>(obj) ||
                               std::dynamic_pointer_cast<RegionObject>(obj);
    if (!drawingObject) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (IsPermanentObject(object)) return TRUE;
    if (auto bitmap = std::dynamic_pointer_cast<Bitmap>(obj); bitmap && bitmap->selectedInto) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    return RemoveObject(object);
}

namespace {

template <typename T>
int CopyOut(const T& value, int size, LPVOID buffer) {
    if (!buffer) return int(sizeof(T));
    const int n = std::min(size, int(sizeof(T)));
    if (n <= 0) return 0;
    std::memcpy(buffer, &value, std::size_t(n));
    return n;
}

BITMAP DescribeBitmap(Bitmap& bitmap) {
    BITMAP bm;
    bm.bmWidth = bitmap.Width();
    bm.bmHeight = bitmap.Height();
    bm.bmWidthBytes = bitmap.Stride();
    bm.bmPlanes = 1;
    bm.bmBitsPixel = WORD(bitmap.BitsPerPixel());
    bm.bmBits = bitmap.dibSection ? bitmap.Bits() : nullptr;
    return bm;
}

}  // namespace

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
    auto obj = LookupObject(object);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (auto bitmap = std::dynamic_pointer_cast<Bitmap>(obj)) {
        const BITMAP bm = DescribeBitmap(*bitmap);
        if (bitmap->dibSection && size >= int(sizeof(DIBSECTION))) {
            DIBSECTION ds;
            ds.dsBm = bm;
            ds.dsBmih.biWidth = bm.bmWidth;
            ds.dsBmih.biHeight = bitmap->BottomUp() ? bm.bmHeight : -bm.bmHeight;
            ds.dsBmih.biBitCount = bm.bmBitsPixel;
            ds.dsBmih.biSizeImage = DWORD(bitmap->ByteSize());
            return CopyOut(ds, size, buffer);
        }
        return CopyOut(bm, size, buffer);
    }
    if (auto font = std::dynamic_pointer_cast<Font>(obj)) return CopyOut(font->Log(), size, buffer);
    if (auto brush = std::dynamic_pointer_cast<Brush>(obj)) {
        LOGBRUSH lb;
        lb.lbStyle = brush->isNull ? 1 : 0;  // BS_NULL : BS_SOLID
        lb.lbColor = brush->color;
        return CopyOut(lb, size, buffer);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

COLORREF GetSysColor(int index) { return SysColor(index); }

HBRUSH GetSysColorBrush(int index) {
    static std::mutex mutex;
    static std::array<HGDIOBJ, 32> brushes{};
    if (index < 0 || index >= int(brushes.size())) return nullptr;
    std::lock_guard lock(mutex);
    if (!brushes[index]) brushes[index] = RegisterPermanentObject(std::make_shared<Brush>(SysColor(index), false));
    return static_cast<HBRUSH>(brushes[index]);
}
