#include "archive/ZmArchive.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

template <typename T>
void StoreLittleEndian(T value, BYTE* out) {
    for (std::size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<BYTE>(std::uint64_t(value) >> (8 * i));
}

template <typename T>
T LoadLittleEndian(const BYTE* in) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= std::uint64_t(in[i]) << (8 * i);
    return static_cast<T>(value);
}

}  // namespace

CZmArchive::CZmArchive(DWORD initial_capacity) {
    m_buffer = static_cast<BYTE*>(std::malloc(initial_capacity ? initial_capacity : 1));
    m_capacity = m_buffer ? initial_capacity : 0;
}

CZmArchive::CZmArchive(const void* bytes, DWORD length) {
    m_buffer = static_cast<BYTE*>(std::malloc(length ? length : 1));
    if (!m_buffer) return;
    if (length) std::memcpy(m_buffer, bytes, length);
    m_size = m_capacity = length;
}

CZmArchive::~CZmArchive() { FreeOwned(); }

void CZmArchive::FreeOwned() {
    if (!m_borrowed) std::free(m_buffer);
    m_buffer = nullptr;
    m_borrowed = FALSE;
}

void CZmArchive::Attach(void* buffer, DWORD length) {
    std::lock_guard guard(m_lock);
    FreeOwned();
    m_buffer = static_cast<BYTE*>(buffer);
    m_borrowed = TRUE;
    m_size = m_capacity = length;
    m_position = 0;
}

// Doubles the capacity until it is strictly above `end`; the buffer only
// changes once the reallocation has succeeded.
bool CZmArchive::Reserve(std::size_t end) {
    std::size_t capacity = m_capacity ? m_capacity : 1;
    while (capacity <= end) {
        if (capacity > kMaxCapacity / 2) return false;
        capacity *= 2;
    }
    if (m_buffer && capacity == m_capacity) return true;
    auto* grown = static_cast<BYTE*>(std::realloc(m_buffer, capacity));
    if (!grown) return false;
    m_buffer = grown;
    m_capacity = capacity;
    return true;
}

bool CZmArchive::Put(const void* bytes, std::size_t count) {
    std::lock_guard guard(m_lock);
    if (m_borrowed) return false;
    if (m_position > kMaxCapacity || !Reserve(m_position + count)) return false;
    if (m_position > m_size) std::memset(m_buffer + m_size, 0, m_position - m_size);
    std::memcpy(m_buffer + m_position, bytes, count);
    m_position += count;
    if (m_position > m_size) m_size = m_position;
    return true;
}

bool CZmArchive::Get(void* out, std::size_t count) {
    std::lock_guard guard(m_lock);
    if (m_position > m_size || m_size - m_position < count) return false;
    std::memcpy(out, m_buffer + m_position, count);
    m_position += count;
    return true;
}

template <typename T>
CZmArchive& CZmArchive::PutValue(T value) {
    BYTE bytes[sizeof(T)];
    StoreLittleEndian(value, bytes);
    Put(bytes, sizeof bytes);
    return *this;
}

template <typename T>
CZmArchive& CZmArchive::GetValue(T& out) {
    BYTE bytes[sizeof(T)];
    out = Get(bytes, sizeof bytes) ? LoadLittleEndian<T>(bytes) : T(0);
    return *this;
}

CZmArchive& CZmArchive::Put8(BYTE value) { return PutValue(value); }
CZmArchive& CZmArchive::Put16(WORD value) { return PutValue(value); }
CZmArchive& CZmArchive::Put32(DWORD value) { return PutValue(value); }
CZmArchive& CZmArchive::Put64(ULONGLONG value) { return PutValue(value); }

CZmArchive& CZmArchive::Get8(BYTE& out) { return GetValue(out); }
CZmArchive& CZmArchive::Get16(WORD& out) { return GetValue(out); }
CZmArchive& CZmArchive::Get32(DWORD& out) { return GetValue(out); }
CZmArchive& CZmArchive::Get32(LONG& out) { return GetValue(out); }
CZmArchive& CZmArchive::Get64(ULONGLONG& out) { return GetValue(out); }

BOOL CZmArchive::PutBytes(const void* bytes, DWORD count) {
    if (count && !bytes) return FALSE;
    return Put(bytes, count) ? TRUE : FALSE;
}

BOOL CZmArchive::GetBytes(void* out, DWORD count) {
    if (count && !out) return FALSE;
    return Get(out, count) ? TRUE : FALSE;
}

BYTE* CZmArchive::GetBuffer(BOOL from_start) {
    std::lock_guard guard(m_lock);
    if (from_start || !m_buffer) return m_buffer;
    return m_buffer + (m_position < m_size ? m_position : m_size);
}

DWORD CZmArchive::GetLength(BOOL whole) {
    std::lock_guard guard(m_lock);
    if (whole) return static_cast<DWORD>(m_size);
    return m_position < m_size ? static_cast<DWORD>(m_size - m_position) : 0;
}

void CZmArchive::Seek(LONG offset, int mode) {
    std::lock_guard guard(m_lock);
    std::int64_t target = 0;
    switch (mode) {
    case 0: target = offset; break;
    case 1: target = std::int64_t(m_position) + offset; break;
    case 2: target = std::int64_t(m_size) - offset; break;
    default: return;
    }
    if (target >= 0) m_position = static_cast<std::size_t>(target);
}

void CZmArchive::Reset() {
    std::lock_guard guard(m_lock);
    FreeOwned();
    m_position = m_size = 0;
    m_capacity = 2;
}
