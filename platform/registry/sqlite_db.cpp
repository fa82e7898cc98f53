// SQLite connection and prepared-statement cache.
#include "registry/sqlite_db.h"

namespace plat::reg {
namespace {

// SQLite reads a null blob pointer as SQL NULL; an empty value must stay a
// zero-length blob.
constexpr BYTE kEmptyBlob[1] = {0};

}  // namespace

StatementUse::~StatementUse() {
    if (m_stmt == nullptr) return;
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

StatementUse& StatementUse::Bind(int index, std::int64_t value) {
    if (m_stmt) sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

StatementUse& StatementUse::Bind(int index, std::string_view text) {
    if (m_stmt) sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

StatementUse& StatementUse::BindBlob(int index, std::span<const BYTE> data) {
    if (m_stmt == nullptr) return *this;
    const BYTE* bytes = data.empty() ? kEmptyBlob : data.data();
    sqlite3_bind_blob64(m_stmt, index, bytes, data.size(), SQLITE_TRANSIENT);
    return *this;
}

int StatementUse::Step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }

std::int64_t StatementUse::Int(int column) const { return sqlite3_column_int64(m_stmt, column); }

std::string_view StatementUse::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)))
                : std::string_view();
}

std::span<const BYTE> StatementUse::Blob(int column) const {
    const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(m_stmt, column));
    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column));
    return data ? std::span<const BYTE>(data, size) : std::span<const BYTE>();
}

SqliteDb::~SqliteDb() { Close(); }

int SqliteDb::Open(const std::string& path, int flags) {
    Close();
    const int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) Close();
    return rc;
}

void SqliteDb::Close() {
    for (auto& [sql, stmt] : m_statements) sqlite3_finalize(stmt);
    m_statements.clear();
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool SqliteDb::ReadOnly() const { return m_db == nullptr || sqlite3_db_readonly(m_db, "main") == 1; }

int SqliteDb::Exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }

StatementUse SqliteDb::Use(const char* sql) {
    if (const auto it = m_statements.find(sql); it != m_statements.end()) return StatementUse(it->second);
    sqlite3_stmt* stmt = nullptr;
    m_prepareError = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (m_prepareError != SQLITE_OK) return StatementUse(nullptr);
    m_statements.emplace(sql, stmt);
    return StatementUse(stmt);
}

}  // namespace plat::reg
