// The binary log record. Every number is a little-endian 32-bit value:
//
//   format version   0x00010000
//   tag
//   declared size    44 + L1 + L2 + L3 (not the bytes that follow)
//   4, level
//   8, time          FILETIME, low 32 bits first
//   L1, category     multibyte, terminator included, scrambled
//   L2, message      multibyte, terminator included, scrambled
//   L3, extra text   multibyte, terminator included, scrambled
//
// Scrambling rotates every string byte left by the count modulo 8; a zero
// byte (the terminator) stays zero, and lengths and numbers are never
// scrambled.
#pragma once

#include <cstddef>
#include <string>

#include "base/wintypes.h"
#include "log/LogEntry.h"

namespace logging {

inline constexpr DWORD kRecordVersion = 0x00010000;
inline constexpr DWORD kRecordFixedSize = 44;
// Byte limits of the converted strings, terminator included.
inline constexpr std::size_t kRecordCategoryBytes = 20;
inline constexpr std::size_t kRecordTextBytes = 4096;

BYTE ScrambleByte(BYTE value, unsigned count);
BYTE UnscrambleByte(BYTE value, unsigned count);

// The record's bytes; scrambled with `count` when `scramble` is set.
std::string BuildBinaryRecord(const LogEntry& entry, bool scramble, BYTE count);

}  // namespace logging
