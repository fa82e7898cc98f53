// Open keys as handles, the predefined roots, the per-process cache of
// stores and the access rules shared by the Win32 and the native calls.
#pragma once

#include <memory>

#include "base/handle.h"
#include "base/nt_types.h"
#include "registry/key_path.h"
#include "registry/store.h"

namespace plat::reg {

enum class Hive { Machine, User };

// The store of a hive for the current LUMETRA_ROOT, boot id and process. Stores are
// shared by every handle of the process; one that no handle uses any more is
// closed once the variables point elsewhere.
std::shared_ptr<Store> StoreFor(Hive hive);

// A key as an operation sees it: where, which, and the rights granted.
struct KeyRef {
    std::shared_ptr<Store> store;
    KeyId id = 0;
    ACCESS_MASK access = 0;
};

class KeyObject final : public HandleObject {
public:
    explicit KeyObject(KeyRef ref) : m_ref(std::move(ref)) {}
    const KeyRef& Ref() const { return m_ref; }

private:
    const KeyRef m_ref;
};

KeyRef RootKey(Hive hive);

// An opened key or a predefined root (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
// STATUS_INVALID_HANDLE otherwise.
NTSTATUS ResolveKey(HANDLE handle, KeyRef* out);

// ResolveKey, then RequireAccess.
NTSTATUS ResolveKeyWith(HANDLE handle, ACCESS_MASK needed, KeyRef* out);

// STATUS_ACCESS_DENIED unless every right of `needed` was granted.
NTSTATUS RequireAccess(const KeyRef& key, ACCESS_MASK needed);

// Opens the key at `path` below `parent` and returns a new handle. Asking
// for write rights on a store this process cannot write is
// STATUS_ACCESS_DENIED.
NTSTATUS OpenKeyHandle(const KeyRef& parent, const KeyPath& path, ACCESS_MASK desired, HANDLE* out);

// Opens or creates (see Store::CreatePath); `created` tells which.
NTSTATUS CreateKeyHandle(const KeyRef& parent, const KeyPath& path, ACCESS_MASK desired, bool make_volatile,
                         bool only_last, HANDLE* out, bool* created);

}  // namespace plat::reg
