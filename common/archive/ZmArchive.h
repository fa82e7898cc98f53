// CZmArchive: the untagged little-endian byte archive that request and
// response payloads and the GUI's settings block are written and read with.
// The format is the bare concatenation of the values put into it.
//
// Behaviour where callers do not look:
// - A Get past the size reads nothing: the output becomes 0 and the position
//   stays where it was (as GetBytes does), so a short payload never reads
//   outside the buffer.
// - A Seek that would make the position negative does nothing.
// - Bytes skipped by seeking past the size and then writing read back as 0.
// - The archive never grows beyond kMaxCapacity bytes. A put that would, or
//   whose reallocation fails, leaves the archive unchanged; PutBytes then
//   returns 0, the chaining Put8..Put64 have no result to report it in.
//
// Every operation takes the archive's own recursive lock.
#pragma once

#include <cstddef>
#include <mutex>

#include "base/wintypes.h"

class CZmArchive {
public:
    static constexpr std::size_t kMaxCapacity = std::size_t(1) << 30;

    // An empty archive for writing; the system passes 2.
    explicit CZmArchive(DWORD initial_capacity = 2);
    // An archive owning a copy of `length` bytes, positioned at the start.
    CZmArchive(const void* bytes, DWORD length);
    virtual ~CZmArchive();
    CZmArchive(const CZmArchive&) = delete;
    CZmArchive& operator=(const CZmArchive&) = delete;

    // Frees the own buffer and reads `buffer` in place; the archive never
    // writes to nor frees a borrowed buffer.
    void Attach(void* buffer, DWORD length);

    CZmArchive& Put8(BYTE value);
    CZmArchive& Put16(WORD value);
    CZmArchive& Put32(DWORD value);
    // Low 32-bit half first.
    CZmArchive& Put64(ULONGLONG value);
    BOOL PutBytes(const void* bytes, DWORD count);

    CZmArchive& Get8(BYTE& out);
    CZmArchive& Get16(WORD& out);
    CZmArchive& Get32(DWORD& out);
    CZmArchive& Get32(LONG& out);
    CZmArchive& Get64(ULONGLONG& out);
    // 1, or 0 (nothing read, position unchanged) when fewer than `count`
    // bytes remain before the size.
    BOOL GetBytes(void* out, DWORD count);

    // The buffer's start (from_start set) or the byte at the position.
    BYTE* GetBuffer(BOOL from_start);
    // The size (whole set) or the bytes from the position to the size.
    DWORD GetLength(BOOL whole);
    // Mode 0: from the start, 1: from the position, 2: back from the size.
    void Seek(LONG offset, int mode);
    // Drops the buffer; the archive is empty and can be written again.
    void Reset();

    BOOL IsBorrowed() const { return m_borrowed; }
    std::size_t Capacity() const { return m_capacity; }

private:
    template <typename T>
    CZmArchive& PutValue(T value);
    template <typename T>
    CZmArchive& GetValue(T& out);
    bool Put(const void* bytes, std::size_t count);
    bool Get(void* out, std::size_t count);
    bool Reserve(std::size_t end);
    void FreeOwned();

    std::recursive_mutex m_lock;
    BOOL m_borrowed = FALSE;
    BYTE* m_buffer = nullptr;
    std::size_t m_position = 0;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};
