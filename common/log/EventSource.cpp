#include "log/EventSource.h"

#include <string>

#include "base/last_error.h"
#include "base/win_errors.h"

namespace logging {

WORD EventTypeForLevel(LONG level) {
    if (level == 1 || level == 2) return kEventError;
    if (level == 3) return kEventWarning;
    return kEventInformation;
}

// The platform's event log is not linked into this build yet: registering a
// source fails honestly, so Init reports E_FAIL and the log keeps working.
HANDLE OpenEventSource(const std::u16string&) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
}

bool ReportLogEvent(HANDLE, LONG, DWORD, std::span<const std::u16string_view>) { return false; }

void CloseEventSource(HANDLE) {}

}  // namespace logging
