// The counters of SCSI drives, taken from their log pages (SPC-4 log pages
// 0x02, 0x03, 0x06, 0x0D, 0x0E, 0x10 and 0x2F).
#pragma once

#include <cstddef>

#include "engine/DeviceNode.h"

// Fills the node's counters from one log page as it arrived (`transferred`
// bytes of `data`, header included). Counters whose parameter is missing keep
// their values; temperatures outside 1 to 127 are ignored.
//
// The page length is cut to what was transferred. A parameter that does not
// fit wholly inside the page ends the walk unused: its value would be
// incomplete, and a big-endian number cut short reads as a wrong number.
void ParseLogPage(DeviceNode& node, BYTE page, const BYTE* data, std::size_t transferred);

namespace log_page {
inline constexpr BYTE kWriteErrors = 0x02;
inline constexpr BYTE kReadErrors = 0x03;
inline constexpr BYTE kNonMediumErrors = 0x06;
inline constexpr BYTE kTemperature = 0x0D;
inline constexpr BYTE kStartStop = 0x0E;
inline constexpr BYTE kSelfTestResults = 0x10;
inline constexpr BYTE kInformationalExceptions = 0x2F;
}  // namespace log_page
