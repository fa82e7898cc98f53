#include "ui/object_table.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace plat::ui {
namespace {

struct Entry {
    std::shared_ptr<UiObject> object;
    bool permanent = false;
};

struct Table {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, Entry> entries;
    // Start well away from small integers so that HWND_BOTTOM (1), -1 and
    // -2 can never collide with a real handle.
    std::uintptr_t next = 0x10000;
};

Table& TheTable() {
    static Table* table = new Table;  // outlives static destructors that release handles
    return *table;
}

void* Register(std::shared_ptr<UiObject> object, bool permanent) {
    if (!object) return nullptr;
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    const std::uintptr_t value = t.next;
    t.next += 4;
    t.entries.emplace(value, Entry{std::move(object), permanent});
    return reinterpret_cast<void*>(value);
}

}  // namespace

void* RegisterObject(std::shared_ptr<UiObject> object) { return Register(std::move(object), false); }
void* RegisterPermanentObject(std::shared_ptr<UiObject> object) { return Register(std::move(object), true); }

std::shared_ptr<UiObject> LookupObject(const void* handle) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.entries.end() ? nullptr : it->second.object;
}

bool IsPermanentObject(const void* handle) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(handle));
    return it != t.entries.end() && it->second.permanent;
}

bool RemoveObject(const void* handle) {
    std::shared_ptr<UiObject> released;  // destroyed outside the lock
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == t.entries.end() || it->second.permanent) return false;
    released = std::move(it->second.object);
    t.entries.erase(it);
    return true;
}

std::size_t ObjectCount() {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    return t.entries.size();
}

}  // namespace plat::ui
