// Turning the big-endian numbers of SCSI replies into little-endian fields.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/wintypes.h"

// Copies `sourceLength` bytes in reverse order into `dest`, so a big-endian
// number becomes a little-endian one. A source longer than the destination
// keeps its last (least significant) bytes; the rest of the destination is
// zero-filled.
void CopyBigEndian(BYTE* dest, std::size_t destSize, const BYTE* source, BYTE sourceLength);

// The big-endian value of `length` bytes, taken into `width` bytes (at most
// 8) by CopyBigEndian's rules.
std::uint64_t BigEndianValue(const BYTE* source, BYTE length, std::size_t width);

inline WORD BigEndian16(const BYTE* p) { return static_cast<WORD>((p[0] << 8) | p[1]); }
