#include "ui/resource_images.h"

#include "base/last_error.h"
#include "base/win_errors.h"
#include "resource/module.h"
#include "ui/icon.h"
#include "ui/image_decode.h"
#include "ui/object_table.h"

namespace {

std::shared_ptr<plat::ui::Bitmap> LoadImageResource(HINSTANCE instance, LPCWSTR name, WORD type) {
    if (!IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const auto data = plat::resource::FindResourceData(instance, type, UINT(reinterpret_cast<std::uintptr_t>(name)));
    if (!data) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto bitmap = plat::ui::DecodeImage(*data);
    if (!bitmap) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return bitmap;
}

}  // namespace

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
    auto bitmap = LoadImageResource(instance, name, RT_BITMAP);
    return bitmap ? static_cast<HBITMAP>(plat::ui::RegisterObject(std::move(bitmap))) : nullptr;
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    auto bitmap = LoadImageResource(instance, name, RT_ICON);
    return bitmap ? plat::ui::MakeIcon(*bitmap, nullptr) : nullptr;
}
