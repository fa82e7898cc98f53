#include "log/EventSource.h"

#include <string>
#include <vector>

#include "eventlog/eventlog.h"

namespace logging {

WORD EventTypeForLevel(LONG level) {
    if (level == 1 || level == 2) return EVENTLOG_ERROR_TYPE;
    if (level == 3) return EVENTLOG_WARNING_TYPE;
    return EVENTLOG_INFORMATION_TYPE;
}

HANDLE OpenEventSource(const std::u16string& name) { return RegisterEventSourceW(nullptr, name.c_str()); }

bool ReportLogEvent(HANDLE source, LONG level, DWORD event_id, std::span<const std::u16string_view> parts) {
    // The insertion strings must be terminated; the parts are views.
    const std::vector<std::u16string> texts(parts.begin(), parts.end());
    std::vector<const WCHAR*> strings;
    for (const auto& text : texts) strings.push_back(text.c_str());
    return ReportEventW(source, EventTypeForLevel(level), 0, event_id, nullptr, static_cast<WORD>(strings.size()), 0,
                        strings.data(), nullptr) != FALSE;
}

void CloseEventSource(HANDLE source) { DeregisterEventSource(source); }

}  // namespace logging
