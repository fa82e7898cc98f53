// RegisterEventSourceW, ReportEventW and DeregisterEventSource: argument
// checks as Windows makes them, then one record to the current sink.
#include <unistd.h>

#include "base/clock.h"
#include "base/handle.h"
#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "eventlog/eventlog.h"

namespace {

class EventSource final : public plat::HandleObject {
public:
    explicit EventSource(std::u16string name) : m_name(std::move(name)) {}
    const std::u16string& Name() const { return m_name; }

private:
    const std::u16string m_name;
};

bool IsLocalServer(std::u16string_view server) {
    while (!server.empty() && server.front() == u'\\') server.remove_prefix(1);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return server.empty() || server == u"." || plat::EqualsNoCase(server, u"localhost") ||
           plat::EqualsNoCase(server, plat::Utf8ToUtf16(host));
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

HANDLE RegisterEventSourceW(const WCHAR* server, const WCHAR* source) {
    if (source == nullptr || source[0] == u'\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (server != nullptr && !IsLocalServer(server)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    return plat::RegisterHandle(std::make_shared<EventSource>(source));
}

BOOL DeregisterEventSource(HANDLE source) {
    if (!plat::LookupHandleAs<EventSource>(source)) return Fail(ERROR_INVALID_HANDLE);
    return CloseHandle(source);
}

BOOL ReportEventW(HANDLE source, WORD type, WORD category, DWORD event_id, PVOID, WORD string_count, DWORD data_size,
                  const WCHAR** strings, PVOID raw_data) {
    const auto event_source = plat::LookupHandleAs<EventSource>(source);
    if (!event_source) return Fail(ERROR_INVALID_HANDLE);
    if (plat::SyslogLevelOf(type) < 0 || (string_count > 0 && strings == nullptr) || (data_size > 0 && raw_data == nullptr)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    plat::EventRecord record{
        event_source->Name(), type, category, event_id, {}, {}, plat::CurrentClock().NowFileTime()};
    for (WORD i = 0; i < string_count; ++i) {
        if (strings[i] == nullptr) return Fail(ERROR_INVALID_PARAMETER);
        record.strings.emplace_back(strings[i]);
    }
    const auto* bytes = static_cast<const BYTE*>(raw_data);
    if (data_size > 0) record.data.assign(bytes, bytes + data_size);
    return plat::CurrentEventSink()->Report(record) ? TRUE : FALSE;
}
