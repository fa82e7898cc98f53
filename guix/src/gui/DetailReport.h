// The text report of a drive: the detail lines, the attribute table and a
// date and time stamp, as UTF-16 little-endian text with a byte-order mark
// and "\r\n" line ends.
//
//   Zelmor Lumetra S.M.A.R.T log:          heading and an empty line
//   line 1 (model), line 3 (firmware)     each followed by an empty line
//   lines 4 to 14                         first tab doubled; an empty line after
//   string 205, an empty line, the 30 attribute rows (string 225)
//   an empty line, "<long date> <time>"   without a line end
//
// Line 2 (the drive number) is left out. An attribute row pads names of up
// to 7 characters with two tabs and of 8 to 15 with one; names longer than
// that get no padding and their threshold before the worst value.
#pragma once

#include <string>
#include <string_view>

#include "smart/SmartRecords.h"

namespace details {

inline constexpr const WCHAR* kReportFileName = u"Lumetra SMART.txt";
inline constexpr const WCHAR* kReportExtension = u"txt";

// The whole report, starting with the byte-order mark U+FEFF.
std::u16string ReportText(const SmartDevice& device, bool fahrenheit, std::u16string_view stamp);
// One attribute row without its line end.
std::u16string AttributeRow(const SmartAttribute& attribute);
// The stamp of a moment: FormatLongDate, " ", FormatTime.
std::u16string ReportStamp(const FILETIME& moment);

// Creates (or truncates) `path` and writes the text as UTF-16 little-endian.
// ERROR_SUCCESS, or the system error of the step that failed; what was
// written before a failure stays in the file.
DWORD WriteReportFile(const std::string& path, std::u16string_view text);

}  // namespace details
