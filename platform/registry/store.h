// One root's keys and values in one SQLite database (WAL mode). The store
// file is <directory>/registry.db. Every process opens its own connection;
// SQLite's locking makes each change one atomic transaction, so concurrent
// writers never lose or tear a value and a writer killed mid-way leaves the
// old or the new state. See docs/registry.md.
//
// Thread rule: every method is safe from any thread; one mutex per store
// serialises the use of the connection. No other lock is taken inside.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "base/wintypes.h"
#include "registry/key_path.h"
#include "registry/sqlite_db.h"

namespace plat::reg {

using KeyId = std::int64_t;
constexpr KeyId kRootKeyId = 1;

struct KeyInfo {
    KeyId id = 0;
    bool is_volatile = false;
};

struct StoredValue {
    std::u16string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct SubkeyInfo {
    std::u16string name;
    std::uint64_t written = 0;  // FILETIME of the last change
};

class Store {
public:
    // Opens (creating when allowed) the store in `directory`. Volatile keys
    // of another boot are removed. A store this process cannot write opens
    // read-only; one that cannot be read at all opens as an empty read-only
    // root. A file that is not a database is moved aside and reported.
    static std::shared_ptr<Store> Open(const std::string& directory, const std::string& boot_id);

    bool Writable() const { return m_writable; }
    const std::string& FilePath() const { return m_path; }

    // STATUS_KEY_DELETED when the key no longer exists.
    NTSTATUS Describe(KeyId key, KeyInfo* out);
    // STATUS_OBJECT_NAME_NOT_FOUND when a component is missing.
    NTSTATUS OpenPath(KeyId from, const KeyPath& path, KeyInfo* out);
    // Creates what is missing of `path` below `from` (with `only_last`, a
    // missing parent is STATUS_OBJECT_NAME_NOT_FOUND instead). New keys are
    // volatile when asked; a persistent key below a volatile one is
    // STATUS_CHILD_MUST_BE_VOLATILE. `created` tells whether the last key
    // is new.
    NTSTATUS CreatePath(KeyId from, const KeyPath& path, bool make_volatile, bool only_last, KeyInfo* out,
                        bool* created);

    NTSTATUS QueryValue(KeyId key, std::u16string_view name, StoredValue* out);
    // Compares first: the present type and data again write nothing.
    NTSTATUS SetValue(KeyId key, std::u16string_view name, DWORD type, std::span<const BYTE> data);
    NTSTATUS DeleteValue(KeyId key, std::u16string_view name);
    // Values in creation order, sub keys in folded name order;
    // STATUS_NO_MORE_ENTRIES past the end.
    NTSTATUS EnumValue(KeyId key, ULONG index, StoredValue* out);
    NTSTATUS EnumSubkey(KeyId key, ULONG index, SubkeyInfo* out);
    // STATUS_CANNOT_DELETE when the key has sub keys.
    NTSTATUS DeleteKey(KeyId key);
    // Removes the key with its subtree, or only its contents with keep_key.
    NTSTATUS DeleteTree(KeyId key, bool keep_key);

private:
    Store(std::string path, std::string boot_id) : m_path(std::move(path)), m_boot(std::move(boot_id)) {}

    bool OpenFile(const std::string& directory);
    int OpenAndPrepare(int flags);
    bool OpenEmpty();
    int Prepare();
    int PrepareWritable();
    bool MoveAside();
    NTSTATUS CheckedStep(StatementUse& use, int* rc);
    NTSTATUS KeyRow(KeyId key, KeyInfo* out);
    NTSTATUS Resolve(KeyId from, const KeyPath& path, KeyInfo* out, std::size_t* found);
    NTSTATUS FindChild(KeyId parent, std::u16string_view name, KeyInfo* out);
    NTSTATUS InsertChild(KeyId parent, std::u16string_view name, bool make_volatile, KeyInfo* out);
    NTSTATUS Touch(KeyId key);
    NTSTATUS MissingOrDeleted(KeyId key, NTSTATUS missing);
    template <typename Body>
    NTSTATUS Write(Body body);

    const std::string m_path;
    const std::string m_boot;
    bool m_writable = false;
    std::mutex m_mutex;  // guards m_db and its statements
    SqliteDb m_db;
};

// Maps an SQLite result code to the NTSTATUS a registry call reports.
NTSTATUS StatusFromSqlite(int rc);

}  // namespace plat::reg
