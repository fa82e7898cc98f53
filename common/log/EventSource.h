// The log's event-log output: an event source named after the log, and one
// report per entry whose type follows the level (error for 1 and 2, warning
// for 3, information otherwise), with category 0, no user SID and the
// entry's message parts as insertion strings.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/wintypes.h"

namespace logging {

WORD EventTypeForLevel(LONG level);

// nullptr (last error set) on failure.
HANDLE OpenEventSource(const std::u16string& name);
bool ReportLogEvent(HANDLE source, LONG level, DWORD event_id, std::span<const std::u16string_view> parts);
void CloseEventSource(HANDLE source);

}  // namespace logging
