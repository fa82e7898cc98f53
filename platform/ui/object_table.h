// The table behind every USER and GDI handle (windows, device contexts,
// bitmaps, brushes, pens, fonts, regions, icons, image lists). Handle values
// are never reused, so a stale handle is reported as invalid instead of
// reaching a newer object. Safe to call from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>
#include <typeinfo>

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

// Every handle class is final, so comparing the exact type is the whole
// cast: it costs a pointer comparison where dynamic_cast walks the type
// hierarchy, and look-ups happen hundreds of times a frame.
template <typename T>
std::shared_ptr<T> Lookup(const void* handle) {
    static_assert(std::is_final_v<T>, "handle classes are final");
    std::shared_ptr<UiObject> object = LookupObject(handle);
    if (!object) return nullptr;
    const UiObject& found = *object;
    if (typeid(found) != typeid(T)) return nullptr;
    return std::static_pointer_cast<T>(std::move(object));
}

}  // namespace plat::ui
