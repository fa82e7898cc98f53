// Placeholders of a log file's path, replaced at every occurrence:
//   %D  the current local date and time as yyyymmddhhmmss
//   %P  the process id in decimal
// "%D" is replaced first. Nothing else is a placeholder ("%d" stays).
//
// The stamp is plain local time, read from the process clock, so that a
// file's name matches the stamps of the lines inside it. Nothing reads the
// stamp back; it only makes file names distinct.
#pragma once

#include <string>
#include <string_view>

namespace logging {

std::u16string ExpandLogPath(std::u16string_view path);

}  // namespace logging
