// Opening a store: directory, schema, WAL set-up, removal of volatile keys
// of earlier boots, and recovery from a file that is not a database.
#include <fcntl.h>
#include <sys/file.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "base/clock.h"
#include "base/format.h"
#include "registry/store.h"

namespace plat::reg {
namespace {

constexpr int kBusyTimeoutMs = 15000;

// keys: one row per key; the root is row 1 with no parent. `boot` is NULL
// for a persistent key and the boot id for a volatile one. `fold` is the
// ASCII-lower-cased name names are compared by. Deleting a key cascades to
// its values and its sub keys.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY,"
    " parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " boot TEXT,"
    " written INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    " id INTEGER PRIMARY KEY,"
    " key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key, fold));"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES(1, NULL, '', '');"
    "PRAGMA user_version = 1;";

// Holds an exclusive lock on <directory>/registry.lock while a process
// opens the store, so two processes never recover the same file at once.
class OpenLock {
public:
    explicit OpenLock(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
    }
    ~OpenLock() {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    OpenLock(const OpenLock&) = delete;
    OpenLock& operator=(const OpenLock&) = delete;

private:
    int m_fd;
};

void Report(const std::string& message) {
    std::fprintf(stderr, "lumetra registry: %s\n", message.c_str());
    ::syslog(LOG_USER | LOG_ERR, "%s", message.c_str());
}

std::string TimeStamp() {
    SYSTEMTIME st;
    const FILETIME now = U64ToFileTime(CurrentClock().NowFileTime());
    FileTimeToSystemTime(&now, &st);
    return Format("%04u%02u%02uT%02u%02u%02uZ", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

}  // namespace

std::shared_ptr<Store> Store::Open(const std::string& directory, const std::string& boot_id) {
    std::shared_ptr<Store> store(new Store(directory + "/registry.db", boot_id));
    if (!store->OpenFile(directory)) store->OpenEmpty();
    return store;
}

bool Store::OpenFile(const std::string& directory) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);  // may fail: then the store is read-only or absent
    OpenLock lock(directory + "/registry.lock");
    int rc = OpenAndPrepare(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if ((rc & 0xFF) == SQLITE_NOTADB) {
        if (!MoveAside()) return false;
        rc = OpenAndPrepare(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    }
    if (rc != SQLITE_OK && Exists(m_path)) rc = OpenAndPrepare(SQLITE_OPEN_READONLY);
    return rc == SQLITE_OK;
}

int Store::OpenAndPrepare(int flags) {
    int rc = m_db.Open(m_path, flags | SQLITE_OPEN_NOMUTEX);
    if (rc == SQLITE_OK) rc = Prepare();
    if (rc != SQLITE_OK) m_db.Close();
    return rc;
}

int Store::Prepare() {
    sqlite3_busy_timeout(m_db.Handle(), kBusyTimeoutMs);
    m_writable = !m_db.ReadOnly();
    if (m_writable) return PrepareWritable();
    // Read-only: the schema must already be there.
    int rc = m_db.Exec("PRAGMA foreign_keys = ON");
    if (rc != SQLITE_OK) return rc;
    auto q = m_db.Use("SELECT count(*) FROM sqlite_master WHERE name IN ('keys', 'vals')");
    rc = q.Step();
    if (rc != SQLITE_ROW) return rc;
    return q.Int(0) == 2 ? SQLITE_OK : SQLITE_EMPTY;
}

int Store::PrepareWritable() {
    // WAL: readers never wait for the writer and a commit is one append, so a
    // writer killed mid-way leaves the last committed state. NORMAL syncs at
    // checkpoints: an application crash loses nothing, a power loss may lose
    // the last commits but never tears the database.
    int rc = m_db.Exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON");
    if (rc != SQLITE_OK) return rc;
    // Keep the -wal and -shm files when the last writer closes, so processes
    // without write access to the directory can still read the store.
    int persist = 1;
    sqlite3_file_control(m_db.Handle(), "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    rc = m_db.Exec("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return rc;
    rc = m_db.Exec(kSchema);
    if (rc == SQLITE_OK) {
        auto purge = m_db.Use("DELETE FROM keys WHERE boot IS NOT NULL AND boot <> ?1");
        purge.Bind(1, m_boot);
        const int step = purge.Step();
        rc = step == SQLITE_DONE ? SQLITE_OK : step;
    }
    rc = rc == SQLITE_OK ? m_db.Exec("COMMIT") : rc;
    if (rc != SQLITE_OK) m_db.Exec("ROLLBACK");
    return rc;
}

bool Store::OpenEmpty() {
    // An empty root that cannot be written: reads find nothing, writes are
    // refused with access denied.
    const int rc = m_db.Open(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY);
    if (rc == SQLITE_OK) m_db.Exec(kSchema);
    m_writable = false;
    return rc == SQLITE_OK;
}

bool Store::MoveAside() {
    std::string aside = m_path + ".notadb-" + TimeStamp();
    for (int n = 1; Exists(aside); ++n) aside = m_path + ".notadb-" + TimeStamp() + "-" + std::to_string(n);
    if (::rename(m_path.c_str(), aside.c_str()) != 0) {
        Report(Format("%s is not a registry database and cannot be moved aside; the store stays unreadable", m_path));
        return false;
    }
    // A write-ahead log beside it belongs to the old file; keep it with it.
    ::rename((m_path + "-wal").c_str(), (aside + "-wal").c_str());
    ::unlink((m_path + "-shm").c_str());
    Report(Format("%s is not a registry database; moved it to %s and started an empty store", m_path, aside));
    return true;
}

}  // namespace plat::reg
