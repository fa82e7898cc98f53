#include "containers/dynbuffer.h"

#include <cstdlib>
#include <cstring>

dynbuffer::~dynbuffer() { std::free(m_data); }

BYTE* dynbuffer::CopyOut(std::size_t from, std::size_t count) const {
    auto* copy = static_cast<BYTE*>(std::malloc(2 * count));
    if (copy) std::memcpy(copy, m_data + from, count);
    return copy;
}

// Adopts `data` (twice `count` bytes, or nullptr for an empty remainder) as
// the buffer with its `count` bytes unconsumed. The old buffer is not freed.
void dynbuffer::Replace(BYTE* data, std::size_t count) {
    m_data = data;
    m_start = 0;
    m_end = count;
    m_capacity = data ? 2 * count : 0;
}

BOOL dynbuffer::Append(const void* bytes, DWORD count) {
    if (!bytes || count == 0) return FALSE;
    if (!m_data) {
        auto* data = static_cast<BYTE*>(std::malloc(2 * std::size_t(count)));
        if (!data) return FALSE;
        std::memcpy(data, bytes, count);
        Replace(data, count);
        return TRUE;
    }
    const std::size_t new_end = m_end + count;
    if (new_end >= m_capacity) {
        // Twice the new end, less the consumed prefix: always room for it.
        const std::size_t capacity = 2 * new_end - m_start;
        auto* grown = static_cast<BYTE*>(std::realloc(m_data, capacity));
        if (!grown) return FALSE;
        m_data = grown;
        m_capacity = capacity;
    }
    std::memcpy(m_data + m_end, bytes, count);
    m_end = new_end;
    return TRUE;
}

BYTE* dynbuffer::Peek() { return m_data ? m_data + m_start : nullptr; }

BYTE* dynbuffer::Take(DWORD count) {
    const std::size_t available = m_end - m_start;
    if (count == 0 || available < count) return nullptr;

    if (2 * std::size_t(count) < available) {
        auto* block = static_cast<BYTE*>(std::malloc(count));
        if (!block) return nullptr;
        std::memcpy(block, m_data + m_start, count);
        m_start += count;
        Compact();
        return block;
    }

    const std::size_t rest = available - count;
    BYTE* remainder = nullptr;
    if (rest && !(remainder = CopyOut(m_start + count, rest))) return nullptr;
    BYTE* block = m_data;
    if (m_start != 0) {
        block = static_cast<BYTE*>(std::malloc(count));
        if (!block) {
            std::free(remainder);
            return nullptr;
        }
        std::memcpy(block, m_data + m_start, count);
        std::free(m_data);
    }
    Replace(remainder, rest);
    return block;
}

void dynbuffer::Compact() {
    if (!(m_end < 2 * m_start)) return;
    const std::size_t rest = m_end - m_start;
    BYTE* moved = nullptr;
    if (rest && !(moved = CopyOut(m_start, rest))) return;
    std::free(m_data);
    Replace(moved, rest);
}
