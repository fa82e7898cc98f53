// Little-endian stores and loads for the fixed record images, and UTF-16
// fields as runs of 16-bit little-endian characters. Callers pass pointers
// into buffers they have sized for the record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/wintypes.h"

namespace smart_le {

inline void Put(BYTE* p, std::uint64_t v, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}
inline std::uint64_t Get(const BYTE* p, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t(p[i]) << (8 * i);
    return v;
}
inline void Put16(BYTE* p, WORD v) { Put(p, v, 2); }
inline void Put32(BYTE* p, DWORD v) { Put(p, v, 4); }
inline void Put64(BYTE* p, std::uint64_t v) { Put(p, v, 8); }
inline WORD Get16(const BYTE* p) { return static_cast<WORD>(Get(p, 2)); }
inline DWORD Get32(const BYTE* p) { return static_cast<DWORD>(Get(p, 4)); }
inline std::uint64_t Get64(const BYTE* p) { return Get(p, 8); }

// A field of `chars` wide characters. Reading forces the last character to
// 0 so a damaged image cannot produce an unterminated field.
inline void PutWide(BYTE* p, const WCHAR* field, std::size_t chars) {
    for (std::size_t i = 0; i < chars; ++i) Put16(p + 2 * i, field[i]);
}
inline void GetWide(const BYTE* p, WCHAR* field, std::size_t chars) {
    for (std::size_t i = 0; i < chars; ++i) field[i] = Get16(p + 2 * i);
    if (chars > 0) field[chars - 1] = 0;
}

}  // namespace smart_le
