// Key and value operations of a store. Each change runs in one IMMEDIATE
// transaction; reads are single statements, so each sees one committed
// state of the database.
#include "registry/store.h"

#include "base/clock.h"
#include "base/ntstatus.h"
#include "base/text.h"

namespace plat::reg {
namespace {

// A writer that finds the database locked past the busy time-out tries again
// this many times before reporting the failure.
constexpr int kBeginAttempts = 4;

std::uint64_t Now() { return CurrentClock().NowFileTime(); }

void ReadValue(const StatementUse& row, StoredValue* out) {
    out->name = Utf8ToUtf16(row.Text(0));
    out->type = static_cast<DWORD>(row.Int(1));
    const auto data = row.Blob(2);
    out->data.assign(data.begin(), data.end());
}

}  // namespace

NTSTATUS StatusFromSqlite(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE:
            return STATUS_SUCCESS;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return STATUS_ACCESS_DENIED;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return STATUS_REGISTRY_CORRUPT;
        case SQLITE_NOMEM:
            return STATUS_NO_MEMORY;
        case SQLITE_TOOBIG:
            return STATUS_INSUFFICIENT_RESOURCES;
        default:  // busy past every retry, I/O errors, full disk
            return STATUS_REGISTRY_IO_FAILED;
    }
}

template <typename Body>
NTSTATUS Store::Write(Body body) {
    if (!m_writable) return STATUS_ACCESS_DENIED;
    int rc = SQLITE_BUSY;
    for (int attempt = 0; attempt < kBeginAttempts && (rc & 0xFF) == SQLITE_BUSY; ++attempt) {
        rc = m_db.Exec("BEGIN IMMEDIATE");
    }
    if (rc != SQLITE_OK) return StatusFromSqlite(rc);
    NTSTATUS status = body();
    if (NT_SUCCESS(status)) {
        rc = m_db.Exec("COMMIT");
        if (rc == SQLITE_OK) return status;
        status = StatusFromSqlite(rc);
    }
    m_db.Exec("ROLLBACK");
    return status;
}

NTSTATUS Store::CheckedStep(StatementUse& use, int* rc) {
    *rc = use.Step();
    return (*rc == SQLITE_ROW || *rc == SQLITE_DONE) ? STATUS_SUCCESS : StatusFromSqlite(*rc);
}

NTSTATUS Store::KeyRow(KeyId key, KeyInfo* out) {
    auto q = m_db.Use("SELECT boot IS NOT NULL FROM keys WHERE id = ?1");
    q.Bind(1, key);
    int rc;
    if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
    if (rc != SQLITE_ROW) return STATUS_KEY_DELETED;
    *out = KeyInfo{key, q.Int(0) != 0};
    return STATUS_SUCCESS;
}

NTSTATUS Store::MissingOrDeleted(KeyId key, NTSTATUS missing) {
    KeyInfo info;
    const NTSTATUS status = KeyRow(key, &info);
    return NT_SUCCESS(status) ? missing : status;
}

NTSTATUS Store::FindChild(KeyId parent, std::u16string_view name, KeyInfo* out) {
    auto q = m_db.Use(
        "SELECT id, boot IS NOT NULL FROM keys "
        "WHERE parent = ?1 AND fold = ?2 AND (boot IS NULL OR boot = ?3)");
    q.Bind(1, parent).Bind(2, FoldName(name)).Bind(3, m_boot);
    int rc;
    if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
    if (rc != SQLITE_ROW) return STATUS_OBJECT_NAME_NOT_FOUND;
    *out = KeyInfo{q.Int(0), q.Int(1) != 0};
    return STATUS_SUCCESS;
}

NTSTATUS Store::InsertChild(KeyId parent, std::u16string_view name, bool make_volatile, KeyInfo* out) {
    const std::string fold = FoldName(name);
    // A volatile key of an earlier boot may still hold the name in a store
    // that was opened read-only since; it is gone for this boot.
    auto stale = m_db.Use("DELETE FROM keys WHERE parent = ?1 AND fold = ?2 AND boot IS NOT NULL AND boot <> ?3");
    stale.Bind(1, parent).Bind(2, fold).Bind(3, m_boot);
    int rc;
    if (const NTSTATUS status = CheckedStep(stale, &rc); !NT_SUCCESS(status)) return status;

    auto q = m_db.Use("INSERT INTO keys(parent, name, fold, boot, written) VALUES(?1, ?2, ?3, ?4, ?5)");
    q.Bind(1, parent).Bind(2, Utf16ToUtf8(name)).Bind(3, fold).Bind(5, static_cast<std::int64_t>(Now()));
    if (make_volatile) q.Bind(4, m_boot);
    if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
    *out = KeyInfo{sqlite3_last_insert_rowid(m_db.Handle()), make_volatile};
    return STATUS_SUCCESS;
}

NTSTATUS Store::Touch(KeyId key) {
    auto q = m_db.Use("UPDATE keys SET written = ?2 WHERE id = ?1");
    q.Bind(1, key).Bind(2, static_cast<std::int64_t>(Now()));
    int rc;
    if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
    return sqlite3_changes(m_db.Handle()) == 0 ? STATUS_KEY_DELETED : STATUS_SUCCESS;
}

NTSTATUS Store::Resolve(KeyId from, const KeyPath& path, KeyInfo* out, std::size_t* found) {
    if (const NTSTATUS status = KeyRow(from, out); !NT_SUCCESS(status)) return status;
    for (std::size_t i = 0; i < path.names.size(); ++i) {
        KeyInfo next;
        const NTSTATUS status = FindChild(out->id, path.names[i], &next);
        if (!NT_SUCCESS(status)) {
            *found = i;
            return status;
        }
        *out = next;
    }
    *found = path.names.size();
    return STATUS_SUCCESS;
}

NTSTATUS Store::Describe(KeyId key, KeyInfo* out) {
    std::lock_guard lock(m_mutex);
    return KeyRow(key, out);
}

NTSTATUS Store::OpenPath(KeyId from, const KeyPath& path, KeyInfo* out) {
    std::lock_guard lock(m_mutex);
    std::size_t found = 0;
    return Resolve(from, path, out, &found);
}

NTSTATUS Store::CreatePath(KeyId from, const KeyPath& path, bool make_volatile, bool only_last, KeyInfo* out,
                           bool* created) {
    std::lock_guard lock(m_mutex);
    *created = false;
    std::size_t found = 0;
    // Opening an existing key needs no transaction (and no write access).
    NTSTATUS status = Resolve(from, path, out, &found);
    if (status != STATUS_OBJECT_NAME_NOT_FOUND) return status;
    return Write([&]() -> NTSTATUS {
        NTSTATUS inner = Resolve(from, path, out, &found);  // again, under the write lock
        if (inner != STATUS_OBJECT_NAME_NOT_FOUND) return inner;
        if (only_last && found + 1 < path.names.size()) return STATUS_OBJECT_NAME_NOT_FOUND;
        for (std::size_t i = found; i < path.names.size(); ++i) {
            if (out->is_volatile && !make_volatile) return STATUS_CHILD_MUST_BE_VOLATILE;
            inner = InsertChild(out->id, path.names[i], make_volatile, out);
            if (!NT_SUCCESS(inner)) return inner;
        }
        *created = true;
        return STATUS_SUCCESS;
    });
}

NTSTATUS Store::QueryValue(KeyId key, std::u16string_view name, StoredValue* out) {
    std::lock_guard lock(m_mutex);
    auto q = m_db.Use("SELECT name, type, data FROM vals WHERE key = ?1 AND fold = ?2");
    q.Bind(1, key).Bind(2, FoldName(name));
    int rc;
    if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
    if (rc != SQLITE_ROW) return MissingOrDeleted(key, STATUS_OBJECT_NAME_NOT_FOUND);
    ReadValue(q, out);
    return STATUS_SUCCESS;
}

NTSTATUS Store::SetValue(KeyId key, std::u16string_view name, DWORD type, std::span<const BYTE> data) {
    std::lock_guard lock(m_mutex);
    const std::string fold = FoldName(name);
    {
        auto q = m_db.Use("SELECT type = ?3 AND data = ?4 FROM vals WHERE key = ?1 AND fold = ?2");
        q.Bind(1, key).Bind(2, fold).Bind(3, type).BindBlob(4, data);
        int rc;
        if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
        if (rc == SQLITE_ROW && q.Int(0) == 1) return STATUS_SUCCESS;  // unchanged: nothing to write
    }
    return Write([&]() -> NTSTATUS {
        if (const NTSTATUS status = Touch(key); !NT_SUCCESS(status)) return status;
        auto q = m_db.Use(
            "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
            "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
        q.Bind(1, key).Bind(2, Utf16ToUtf8(name)).Bind(3, fold).Bind(4, type).BindBlob(5, data);
        int rc;
        return CheckedStep(q, &rc);
    });
}

NTSTATUS Store::DeleteValue(KeyId key, std::u16string_view name) {
    std::lock_guard lock(m_mutex);
    return Write([&]() -> NTSTATUS {
        auto q = m_db.Use("DELETE FROM vals WHERE key = ?1 AND fold = ?2");
        q.Bind(1, key).Bind(2, FoldName(name));
        int rc;
        if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
        if (sqlite3_changes(m_db.Handle()) == 0) return MissingOrDeleted(key, STATUS_OBJECT_NAME_NOT_FOUND);
        return Touch(key);
    });
}

NTSTATUS Store::EnumValue(KeyId key, ULONG index, StoredValue* out) {
    std::lock_guard lock(m_mutex);
    auto q = m_db.Use("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    q.Bind(1, key).Bind(2, static_cast<std::int64_t>(index));
    int rc;
    if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
    if (rc != SQLITE_ROW) return MissingOrDeleted(key, STATUS_NO_MORE_ENTRIES);
    ReadValue(q, out);
    return STATUS_SUCCESS;
}

NTSTATUS Store::EnumSubkey(KeyId key, ULONG index, SubkeyInfo* out) {
    std::lock_guard lock(m_mutex);
    auto q = m_db.Use(
        "SELECT name, written FROM keys WHERE parent = ?1 AND (boot IS NULL OR boot = ?3) "
        "ORDER BY fold LIMIT 1 OFFSET ?2");
    q.Bind(1, key).Bind(2, static_cast<std::int64_t>(index)).Bind(3, m_boot);
    int rc;
    if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
    if (rc != SQLITE_ROW) return MissingOrDeleted(key, STATUS_NO_MORE_ENTRIES);
    out->name = Utf8ToUtf16(q.Text(0));
    out->written = static_cast<std::uint64_t>(q.Int(1));
    return STATUS_SUCCESS;
}

NTSTATUS Store::DeleteKey(KeyId key) {
    std::lock_guard lock(m_mutex);
    if (key == kRootKeyId) return STATUS_ACCESS_DENIED;
    return Write([&]() -> NTSTATUS {
        auto children = m_db.Use("SELECT 1 FROM keys WHERE parent = ?1 AND (boot IS NULL OR boot = ?2) LIMIT 1");
        children.Bind(1, key).Bind(2, m_boot);
        int rc;
        if (const NTSTATUS status = CheckedStep(children, &rc); !NT_SUCCESS(status)) return status;
        if (rc == SQLITE_ROW) return STATUS_CANNOT_DELETE;
        auto q = m_db.Use("DELETE FROM keys WHERE id = ?1");
        q.Bind(1, key);
        if (const NTSTATUS status = CheckedStep(q, &rc); !NT_SUCCESS(status)) return status;
        return sqlite3_changes(m_db.Handle()) == 0 ? STATUS_KEY_DELETED : STATUS_SUCCESS;
    });
}

NTSTATUS Store::DeleteTree(KeyId key, bool keep_key) {
    std::lock_guard lock(m_mutex);
    if (key == kRootKeyId && !keep_key) return STATUS_ACCESS_DENIED;
    return Write([&]() -> NTSTATUS {
        KeyInfo info;
        if (const NTSTATUS status = KeyRow(key, &info); !NT_SUCCESS(status)) return status;
        // Foreign keys cascade: removing a key removes its values and, key by
        // key, its whole subtree.
        int rc;
        if (!keep_key) {
            auto q = m_db.Use("DELETE FROM keys WHERE id = ?1");
            q.Bind(1, key);
            return CheckedStep(q, &rc);
        }
        auto subkeys = m_db.Use("DELETE FROM keys WHERE parent = ?1");
        subkeys.Bind(1, key);
        if (const NTSTATUS status = CheckedStep(subkeys, &rc); !NT_SUCCESS(status)) return status;
        auto values = m_db.Use("DELETE FROM vals WHERE key = ?1");
        values.Bind(1, key);
        if (const NTSTATUS status = CheckedStep(values, &rc); !NT_SUCCESS(status)) return status;
        return Touch(key);
    });
}

}  // namespace plat::reg
