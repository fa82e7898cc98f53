// dynbuffer: the growable byte queue in which a connection keeps received
// bytes until whole packets can be cut off the front. Bytes from start to
// end are unconsumed; blocks handed out by Take are released with free().
//
// No lock: the owner serialises access.
// A failed allocation leaves the buffer unchanged (Append returns 0, Take
// returns nullptr). Take(0) returns nullptr: there is nothing to hand over.
#pragma once

#include <cstddef>

#include "base/wintypes.h"

class dynbuffer {
public:
    dynbuffer() = default;
    virtual ~dynbuffer();
    dynbuffer(const dynbuffer&) = delete;
    dynbuffer& operator=(const dynbuffer&) = delete;

    // 1, or 0 for a missing pointer, no bytes or a failed allocation.
    BOOL Append(const void* bytes, DWORD count);
    // The first unconsumed byte, or nullptr when there is no buffer.
    BYTE* Peek();
    // A block of exactly `count` bytes taken from the front (free() it), or
    // nullptr when fewer are unconsumed. When the whole buffer can be handed
    // over without a copy (start 0 and most of it taken) it is.
    BYTE* Take(DWORD count);
    // Moves the unconsumed bytes to a fresh buffer once the consumed prefix
    // is larger than half of the end.
    void Compact();

    DWORD Available() const { return static_cast<DWORD>(m_end - m_start); }
    std::size_t Start() const { return m_start; }
    std::size_t Capacity() const { return m_capacity; }

private:
    // A new buffer of twice `count` bytes holding bytes [from, from+count).
    BYTE* CopyOut(std::size_t from, std::size_t count) const;
    void Replace(BYTE* data, std::size_t count);

    BYTE* m_data = nullptr;
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    std::size_t m_capacity = 0;
};
