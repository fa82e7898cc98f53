// The Windows event-log calls on syslog. A registered source becomes the
// syslog identity of its reports; error, warning and information events map
// to LOG_ERR, LOG_WARNING and LOG_INFO (facility LOG_USER); the insertion
// strings, joined by single blanks, form the message. Event ids, categories
// and raw data have no syslog field: they reach sinks (and tests) in the
// EventRecord but not the syslog line.
//
// Reports go to the installed EventSink: the syslog sink by default, an
// in-memory sink in tests. All calls are safe from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/wintypes.h"

constexpr WORD EVENTLOG_SUCCESS = 0x0000;
constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;
constexpr WORD EVENTLOG_WARNING_TYPE = 0x0002;
constexpr WORD EVENTLOG_INFORMATION_TYPE = 0x0004;
constexpr WORD EVENTLOG_AUDIT_SUCCESS = 0x0008;
constexpr WORD EVENTLOG_AUDIT_FAILURE = 0x0010;

// Only the local machine has an event log: a server name other than none,
// "", ".", "localhost" or this host's name (with or without leading
// backslashes) fails with RPC_S_SERVER_UNAVAILABLE. A null or empty source
// fails with ERROR_INVALID_PARAMETER. Failure returns nullptr.
HANDLE RegisterEventSourceW(const WCHAR* server, const WCHAR* source);

// FALSE with ERROR_INVALID_HANDLE for anything but a registered source.
BOOL DeregisterEventSource(HANDLE source);

// FALSE with ERROR_INVALID_HANDLE for a bad handle, ERROR_INVALID_PARAMETER
// for an unknown type or missing strings or data, and the sink's error when
// the report could not be delivered (no syslog daemon listening).
BOOL ReportEventW(HANDLE source, WORD type, WORD category, DWORD event_id, PVOID user_sid, WORD string_count,
                  DWORD data_size, const WCHAR** strings, PVOID raw_data);

namespace plat {

struct EventRecord {
    std::u16string source;
    WORD type = 0;
    WORD category = 0;
    DWORD event_id = 0;
    std::vector<std::u16string> strings;
    std::vector<BYTE> data;
    std::uint64_t time = 0;  // FILETIME of the report, from the process clock
};

class EventSink {
public:
    virtual ~EventSink() = default;
    // Delivers one report; false with the thread's last error set when it
    // could not be delivered. Called from any thread.
    virtual bool Report(const EventRecord& record) = 0;
};

// Sends RFC 3164 lines to a syslog datagram socket (/dev/log by default).
class SyslogSink final : public EventSink {
public:
    explicit SyslogSink(std::string socket_path = "/dev/log");
    bool Report(const EventRecord& record) override;

    // The syslog line of a record: "<PRI>Mmm dd hh:mm:ss IDENT[PID]: MESSAGE".
    // Blanks and the characters ':[]' in the identity become '_', control
    // characters in the message become blanks, so one report is one line.
    static std::string FormatLine(const EventRecord& record);

private:
    const std::string m_path;
};

// Keeps every report in memory, for tests.
class MemoryEventSink final : public EventSink {
public:
    bool Report(const EventRecord& record) override;
    std::vector<EventRecord> Records() const;

private:
    mutable std::mutex m_mutex;  // guards m_records
    std::vector<EventRecord> m_records;
};

// The sink reports go to now: the installed one, else the syslog sink.
std::shared_ptr<EventSink> CurrentEventSink();

// The syslog level of an event type (LOG_ERR, LOG_WARNING, LOG_INFO, ...);
// -1 for a type Windows does not define.
int SyslogLevelOf(WORD type);

// Installs a sink for the whole process and returns the previous one
// (nullptr stands for the default syslog sink).
std::shared_ptr<EventSink> InstallEventSink(std::shared_ptr<EventSink> sink);

// Installs a sink for the lifetime of the guard.
class ScopedEventSink {
public:
    explicit ScopedEventSink(std::shared_ptr<EventSink> sink) : m_previous(InstallEventSink(std::move(sink))) {}
    ~ScopedEventSink() { InstallEventSink(m_previous); }
    ScopedEventSink(const ScopedEventSink&) = delete;
    ScopedEventSink& operator=(const ScopedEventSink&) = delete;

private:
    std::shared_ptr<EventSink> m_previous;
};

}  // namespace plat
