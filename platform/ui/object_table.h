// The table behind every USER and GDI handle (windows, device contexts,
// bitmaps, brushes, pens, fonts, regions, icons, image lists). Handle values
// are never reused, so a stale handle is reported as invalid instead of
// reaching a newer object. Safe to call from any thread.
#pragma once

#include <cstddef>
#include <memory>

namespace plat::ui {

class UiObject {
public:
    virtual ~UiObject() = default;
};

void* RegisterObject(std::shared_ptr<UiObject> object);
// Stock objects: their handles survive DeleteObject.
void* RegisterPermanentObject(std::shared_ptr<UiObject> object);
std::shared_ptr<UiObject> LookupObject(const void* handle);
bool IsPermanentObject(const void* handle);
// Removes the handle; false when it was unknown or permanent.
bool RemoveObject(const void* handle);
std::size_t ObjectCount();

template <typename T>
std::shared_ptr<T> Lookup(const void* handle) {
    return std::dynamic_pointer_cast<T>(LookupObject(handle));
}

}  // namespace plat::ui
