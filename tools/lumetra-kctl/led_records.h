// Decoding of the activity driver's answers for display: the control codes
// and the DRIVE_RECORD and ACTIVITY_MASKS layouts, read field by field from
// little-endian bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kctl {

constexpr std::uint32_t kGetVersion = 0x80426108;
constexpr std::uint32_t kDumpState = 0x8042610C;
constexpr std::uint32_t kGetDrives = 0x80426110;
constexpr std::uint32_t kGetActivity = 0x80426114;
constexpr std::uint32_t kSetChangeEvent = 0x8042A118;
constexpr std::uint32_t kSetActivityEvent = 0x8042A11C;

// Looks up a code by name ("IOCTL_LED_GET_DRIVES", "get_drives") or parses a
// number; false when neither.
bool ParseCode(const std::string& text, std::uint32_t* code);

// A readable rendering of an answer to `code`, or empty when the code has
// no decoder.
std::string Decode(std::uint32_t code, const std::vector<std::uint8_t>& bytes);

std::string HexDump(const std::vector<std::uint8_t>& bytes);

}  // namespace kctl
