#include "ui/image_list.h"

#include <vector>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/device_context.h"
#include "ui/icon.h"

namespace plat::ui {
namespace {

class ImageList final : public UiObject {
public:
    int cx = 0, cy = 0;
    UINT flags = 0;
    std::vector<Icon> images;
};

std::shared_ptr<ImageList> Find(HIMAGELIST h) {
    auto list = Lookup<ImageList>(h);
    if (!list) SetLastError(ERROR_INVALID_HANDLE);
    return list;
}

// Cuts image i of the strip out as an icon; masked pixels of the image are
// cleared so drawing through the mask leaves the destination untouched.
Icon Cut(const ImageList& list, const Bitmap& strip, const Bitmap* mask, int i) {
    Icon icon;
    icon.color = std::make_shared<Bitmap>(list.cx, list.cy, 32);
    if (mask && (list.flags & ILC_MASK)) icon.mask = std::make_shared<Bitmap>(list.cx, list.cy, 1);
    for (int y = 0; y < list.cy; ++y) {
        for (int x = 0; x < list.cx; ++x) {
            const int sx = i * list.cx + x;
            if (!strip.InBounds(sx, y)) continue;
            const bool masked = icon.mask && mask->InBounds(sx, y) && mask->Get(sx, y);
            if (icon.mask) icon.mask->Set(x, y, masked ? 0xFFFFFF : 0);
            icon.color->Set(x, y, masked ? 0 : strip.Get(sx, y));
        }
    }
    if ((list.flags & 0xFE) == ILC_COLOR32 && strip.BitsPerPixel() == 32) {
        for (int y = 0; y < list.cy && !icon.hasAlpha; ++y)
            for (int x = 0; x < list.cx && !icon.hasAlpha; ++x) icon.hasAlpha = (icon.color->Get(x, y) >> 24) != 0;
    }
    return icon;
}

int AddStrip(HIMAGELIST h, const Bitmap& strip, const Bitmap* mask) {
    auto list = Find(h);
    if (!list || list->cx <= 0) return -1;
    const int first = int(list->images.size());
    std::lock_guard lock(strip.Mutex());
    for (int i = 0; i < strip.Width() / list->cx; ++i) list->images.push_back(Cut(*list, strip, mask, i));
    return first;
}

// A mask bitmap from every pixel of one colour.
std::shared_ptr<Bitmap> MaskOf(const Bitmap& image, COLORREF color) {
    auto mask = std::make_shared<Bitmap>(image.Width(), image.Height(), 1);
    const std::uint32_t key = ArgbFromColorRef(color);
    std::lock_guard lock(image.Mutex());
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) mask->Set(x, y, (image.Get(x, y) & 0xFFFFFF) == key ? 0xFFFFFF : 0);
    return mask;
}

}  // namespace
}  // namespace plat::ui

using namespace plat::ui;

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int) {
    if (cx <= 0 || cy <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto list = std::make_shared<ImageList>();
    list->cx = cx;
    list->cy = cy;
    list->flags = flags;
    return static_cast<HIMAGELIST>(RegisterObject(std::move(list)));
}

BOOL ImageList_Destroy(HIMAGELIST h) { return Find(h) && RemoveObject(h); }

int ImageList_Add(HIMAGELIST h, HBITMAP image, HBITMAP mask) {
    auto strip = Lookup<Bitmap>(image);
    auto maskBits = mask ? Lookup<Bitmap>(mask) : nullptr;
    if (!strip || (mask && !maskBits)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    std::shared_ptr<Bitmap> maskCopy;
    if (maskBits) {
        std::lock_guard lock(maskBits->Mutex());
        maskCopy = CloneBitmap(*maskBits, 1);
    }
    return AddStrip(h, *strip, maskCopy.get());
}

int ImageList_AddMasked(HIMAGELIST h, HBITMAP image, COLORREF mask_color) {
    auto strip = Lookup<Bitmap>(image);
    if (!strip) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    auto mask = MaskOf(*strip, mask_color);
    return AddStrip(h, *strip, mask.get());
}

BOOL ImageList_Replace(HIMAGELIST h, int index, HBITMAP image, HBITMAP mask) {
    auto list = Find(h);
    auto strip = Lookup<Bitmap>(image);
    auto maskBits = mask ? Lookup<Bitmap>(mask) : nullptr;
    if (!list || !strip || index < 0 || index >= int(list->images.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<Bitmap> maskCopy;
    if (maskBits) {
        std::lock_guard lock(maskBits->Mutex());
        maskCopy = CloneBitmap(*maskBits, 1);
    }
    std::lock_guard lock(strip->Mutex());
    list->images[std::size_t(index)] = Cut(*list, *strip, maskCopy.get(), 0);
    return TRUE;
}

BOOL ImageList_Remove(HIMAGELIST h, int index) {
    auto list = Find(h);
    if (!list) return FALSE;
    if (index == -1) {
        list->images.clear();
        return TRUE;
    }
    if (index < 0 || index >= int(list->images.size())) return FALSE;
    list->images.erase(list->images.begin() + index);
    return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST h) {
    auto list = Find(h);
    return list ? int(list->images.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST h, int* cx, int* cy) {
    auto list = Find(h);
    if (!list || !cx || !cy) return FALSE;
    *cx = list->cx;
    *cy = list->cy;
    return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST h, int index, HDC hdc, int x, int y, UINT) {
    auto list = Find(h);
    if (!list || index < 0 || index >= int(list->images.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return DrawIconScaled(hdc, x, y, list->images[std::size_t(index)], list->cx, list->cy);
}

HICON ImageList_GetIcon(HIMAGELIST h, int index, UINT) {
    auto list = Find(h);
    if (!list || index < 0 || index >= int(list->images.size())) return nullptr;
    return static_cast<HICON>(RegisterObject(std::make_shared<Icon>(list->images[std::size_t(index)])));
}
