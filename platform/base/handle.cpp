#include "base/handle.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "base/last_error.h"
#include "base/win_errors.h"

namespace plat {
namespace {

// Looked up on every wait and every event change, by many threads at once:
// look-ups share the lock.
struct HandleTable {
    std::shared_mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<HandleObject>> objects;
    std::uintptr_t next = 0x1000;  // steps by 4, like Windows handle values
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;  // outlives static destructors
    return *table;
}

}  // namespace

HANDLE RegisterHandle(std::shared_ptr<HandleObject> object) {
    if (!object) return nullptr;
    auto& t = Table();
    std::lock_guard lock(t.mutex);
    const std::uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<HandleObject> LookupHandle(HANDLE handle) {
    auto& t = Table();
    std::shared_lock lock(t.mutex);
    const auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

std::size_t OpenHandleCount() {
    auto& t = Table();
    std::shared_lock lock(t.mutex);
    return t.objects.size();
}

}  // namespace plat

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<plat::HandleObject> object;
    {
        auto& t = plat::Table();
        std::lock_guard lock(t.mutex);
        const auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == t.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        t.objects.erase(it);
    }
    object->OnClose();
    return TRUE;
}
