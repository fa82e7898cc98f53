// Key handles, predefined roots, store cache and access rights.
#include "registry/key_handle.h"

#include <unistd.h>

#include <map>
#include <mutex>

#include "base/ntstatus.h"
#include "registry/paths.h"
#include "registry/registry.h"

namespace plat::reg {
namespace {

constexpr ACCESS_MASK kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

struct StoreCache {
    std::mutex mutex;  // guards both maps; never held while a store works
    std::map<std::string, std::weak_ptr<Store>> open;
    std::map<Hive, std::shared_ptr<Store>> current;
};

StoreCache& Cache() {
    static StoreCache* cache = new StoreCache;  // outlives static destructors
    return *cache;
}

ACCESS_MASK MapGeneric(ACCESS_MASK desired, bool writable) {
    ACCESS_MASK mapped = desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED |
                                     KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    if (desired & GENERIC_READ) mapped |= KEY_READ;
    if (desired & GENERIC_WRITE) mapped |= KEY_WRITE;
    if (desired & GENERIC_EXECUTE) mapped |= KEY_EXECUTE;
    if (desired & GENERIC_ALL) mapped |= KEY_ALL_ACCESS;
    if (desired & MAXIMUM_ALLOWED) mapped |= writable ? KEY_ALL_ACCESS : KEY_READ;
    return mapped;
}

NTSTATUS Grant(const Store& store, ACCESS_MASK desired, ACCESS_MASK* granted) {
    *granted = MapGeneric(desired, store.Writable());
    return (*granted & kWriteRights) && !store.Writable() ? STATUS_ACCESS_DENIED : STATUS_SUCCESS;
}

HANDLE NewHandle(const KeyRef& parent, KeyId id, ACCESS_MASK granted) {
    return RegisterHandle(std::make_shared<KeyObject>(KeyRef{parent.store, id, granted}));
}

}  // namespace

std::shared_ptr<Store> StoreFor(Hive hive) {
    const std::string directory = hive == Hive::Machine ? MachineStoreDirectory() : UserStoreDirectory();
    const std::string boot = BootId();
    // A forked child must not use its parent's connection: the process id is
    // part of the key, so the child opens its own.
    const std::string id = directory + '\n' + boot + '\n' + std::to_string(getpid());
    auto& cache = Cache();
    std::lock_guard lock(cache.mutex);
    auto& slot = cache.open[id];
    std::shared_ptr<Store> store = slot.lock();
    if (!store) {
        store = Store::Open(directory, boot);
        slot = store;
        std::erase_if(cache.open, [](const auto& entry) { return entry.second.expired(); });
    }
    cache.current[hive] = store;  // keeps the store in use alive between calls
    return store;
}

KeyRef RootKey(Hive hive) {
    auto store = StoreFor(hive);
    const ACCESS_MASK access = store->Writable() ? KEY_ALL_ACCESS : KEY_READ;
    return KeyRef{std::move(store), kRootKeyId, access};
}

NTSTATUS ResolveKey(HANDLE handle, KeyRef* out) {
    const auto key = reinterpret_cast<HKEY>(handle);
    if (key == HKEY_LOCAL_MACHINE) {
        *out = RootKey(Hive::Machine);
    } else if (key == HKEY_CURRENT_USER) {
        *out = RootKey(Hive::User);
    } else if (const auto object = LookupHandleAs<KeyObject>(handle)) {
        *out = object->Ref();
    } else {
        return STATUS_INVALID_HANDLE;
    }
    return STATUS_SUCCESS;
}

NTSTATUS ResolveKeyWith(HANDLE handle, ACCESS_MASK needed, KeyRef* out) {
    const NTSTATUS status = ResolveKey(handle, out);
    return NT_SUCCESS(status) ? RequireAccess(*out, needed) : status;
}

NTSTATUS RequireAccess(const KeyRef& key, ACCESS_MASK needed) {
    return (key.access & needed) == needed ? STATUS_SUCCESS : STATUS_ACCESS_DENIED;
}

NTSTATUS OpenKeyHandle(const KeyRef& parent, const KeyPath& path, ACCESS_MASK desired, HANDLE* out) {
    ACCESS_MASK granted = 0;
    if (const NTSTATUS status = Grant(*parent.store, desired, &granted); !NT_SUCCESS(status)) return status;
    KeyInfo info;
    if (const NTSTATUS status = parent.store->OpenPath(parent.id, path, &info); !NT_SUCCESS(status)) {
        return status;
    }
    *out = NewHandle(parent, info.id, granted);
    return STATUS_SUCCESS;
}

NTSTATUS CreateKeyHandle(const KeyRef& parent, const KeyPath& path, ACCESS_MASK desired, bool make_volatile,
                         bool only_last, HANDLE* out, bool* created) {
    *created = false;
    // Without the right to create sub keys the call can still open one.
    if (!NT_SUCCESS(RequireAccess(parent, KEY_CREATE_SUB_KEY))) {
        const NTSTATUS status = OpenKeyHandle(parent, path, desired, out);
        return status == STATUS_OBJECT_NAME_NOT_FOUND ? STATUS_ACCESS_DENIED : status;
    }
    ACCESS_MASK granted = 0;
    if (const NTSTATUS status = Grant(*parent.store, desired, &granted); !NT_SUCCESS(status)) return status;
    KeyInfo info;
    const NTSTATUS status = parent.store->CreatePath(parent.id, path, make_volatile, only_last, &info, created);
    if (!NT_SUCCESS(status)) return status;
    *out = NewHandle(parent, info.id, granted);
    return STATUS_SUCCESS;
}

}  // namespace plat::reg
