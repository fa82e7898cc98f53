#include "containers/array.h"

#include <cstdlib>
#include <cstring>

namespace zmsdk {

array::~array() {
    Clear();
    std::free(m_items);
}

// Capacity for `wanted` elements: 2 to start, halved while more than twice
// what is wanted, doubled until above it.
bool array::Resize(std::size_t wanted) {
    std::size_t capacity = m_items ? m_capacity : 2;
    while (capacity && wanted * 2 < capacity) capacity /= 2;
    if (capacity == 0) capacity = 1;
    while (wanted >= capacity) capacity *= 2;
    if (m_items && capacity == m_capacity) return true;
    auto* items = static_cast<element*>(std::realloc(m_items, capacity * sizeof(element)));
    if (!items) return capacity < m_capacity;
    m_items = items;
    m_capacity = capacity;
    return true;
}

BOOL array::Insert(element value, int index) {
    std::lock_guard guard(m_lock);
    if (index < -1 || (index >= 0 && std::size_t(index) > m_count)) return FALSE;
    if (!Resize(m_count + 1)) return FALSE;
    const std::size_t at = index == -1 ? m_count : std::size_t(index);
    std::memmove(m_items + at + 1, m_items + at, (m_count - at) * sizeof(element));
    m_items[at] = value;
    ++m_count;
    return TRUE;
}

array::element array::RemoveLocked(std::size_t index) {
    const element value = m_items[index];
    std::memmove(m_items + index, m_items + index + 1, (m_count - index - 1) * sizeof(element));
    m_items[--m_count] = 0;
    if (m_release) m_release(value);
    Resize(m_count);
    return value;
}

array::element array::Remove(int index) {
    std::lock_guard guard(m_lock);
    if (m_count == 0 || index < -1 || (index >= 0 && std::size_t(index) >= m_count)) return kNone;
    return RemoveLocked(index == -1 ? m_count - 1 : std::size_t(index));
}

array::element array::Get(int index) {
    std::lock_guard guard(m_lock);
    if (index == -1) return m_count ? m_items[m_count - 1] : kNone;
    if (index < -1) return kNone;
    const std::size_t at = std::size_t(index);
    if (at >= m_count) {
        if (!Resize(at + 1)) return kNone;
        std::memset(m_items + m_count, 0, (at + 1 - m_count) * sizeof(element));
        m_count = at + 1;
    }
    return m_items[at];
}

int array::Find(element value) {
    std::lock_guard guard(m_lock);
    for (std::size_t i = 0; i < m_count; ++i) {
        if (m_items[i] == value) return static_cast<int>(i);
    }
    return -1;
}

void array::Clear() {
    std::lock_guard guard(m_lock);
    while (m_count) RemoveLocked(m_count - 1);
}

int array::Count() {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_count);
}

std::size_t array::Capacity() {
    std::lock_guard guard(m_lock);
    return m_capacity;
}

}  // namespace zmsdk
