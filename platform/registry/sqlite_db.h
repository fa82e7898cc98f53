// A thin owner of one SQLite connection with a cache of prepared statements.
// Not thread-safe: the store that owns it serialises every use.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/wintypes.h"

namespace plat::reg {

class SqliteDb;

// One use of a cached statement: bind, step, read columns. The statement is
// reset and its bindings cleared when the use ends.
class StatementUse {
public:
    StatementUse(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~StatementUse();
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

    StatementUse& Bind(int index, std::int64_t value);
    StatementUse& Bind(int index, std::string_view text);
    StatementUse& BindBlob(int index, std::span<const BYTE> data);
    // Parameters left unbound are SQL NULL.

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();

    std::int64_t Int(int column) const;
    std::string_view Text(int column) const;
    std::span<const BYTE> Blob(int column) const;

private:
    sqlite3_stmt* m_stmt;
};

class SqliteDb {
public:
    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens `path` with sqlite3_open_v2 flags; returns the SQLite result.
    int Open(const std::string& path, int flags);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    bool ReadOnly() const;
    sqlite3* Handle() const { return m_db; }

    // Runs statements that return no rows.
    int Exec(const char* sql);

    // The cached statement for `sql`, which must be a string literal (the
    // cache is keyed by its address). A statement that fails to prepare
    // yields a use whose Step() returns the error.
    StatementUse Use(const char* sql);
    int LastPrepareError() const { return m_prepareError; }

private:
    sqlite3* m_db = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> m_statements;
    int m_prepareError = SQLITE_OK;
};

}  // namespace plat::reg
