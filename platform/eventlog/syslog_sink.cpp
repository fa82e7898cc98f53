// Syslog lines (RFC 3164) sent as datagrams to the local syslog socket.
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/clock.h"
#include "base/format.h"
#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "eventlog/eventlog.h"

namespace plat {
namespace {

struct Severity {
    WORD type;
    int level;
};

constexpr Severity kSeverities[] = {
    {EVENTLOG_ERROR_TYPE, LOG_ERR}, {EVENTLOG_WARNING_TYPE, LOG_WARNING}, {EVENTLOG_INFORMATION_TYPE, LOG_INFO},
    {EVENTLOG_SUCCESS, LOG_INFO},   {EVENTLOG_AUDIT_SUCCESS, LOG_NOTICE}, {EVENTLOG_AUDIT_FAILURE, LOG_WARNING},
};

// Syslog daemons accept at least this much of a datagram.
constexpr std::size_t kMaxLine = 8192;


std::string Identity(std::u16string_view source) {
    std::string ident = Utf16ToUtf8(source);
    for (char& c : ident) {
        if (c == ' ' || c == ':' || c == '[' || c == ']' || static_cast<unsigned char>(c) < 0x20) c = '_';
    }
    return ident;
}

std::string Message(const std::vector<std::u16string>& strings) {
    std::string message;
    for (const auto& s : strings) {
        if (!message.empty()) message += ' ';
        message += Utf16ToUtf8(s);
    }
    for (char& c : message) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return message;
}

std::string TimeStamp(std::uint64_t filetime) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    FILETIME utc = U64ToFileTime(filetime), local;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &st);
    const char* month = st.wMonth >= 1 && st.wMonth <= 12 ? kMonths[st.wMonth - 1] : "Jan";
    return Format("%s %2u %02u:%02u:%02u", month, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

}  // namespace

int SyslogLevelOf(WORD type) {
    for (const auto& entry : kSeverities) {
        if (entry.type == type) return entry.level;
    }
    return -1;
}

SyslogSink::SyslogSink(std::string socket_path) : m_path(std::move(socket_path)) {}

std::string SyslogSink::FormatLine(const EventRecord& record) {
    std::string line = Format("<%d>%s %s[%lu]: %s", LOG_USER | SyslogLevelOf(record.type), TimeStamp(record.time),
                              Identity(record.source), static_cast<unsigned long>(getpid()), Message(record.strings));
    if (line.size() > kMaxLine) line.resize(kMaxLine);
    return line;
}

bool SyslogSink::Report(const EventRecord& record) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.size() >= sizeof address.sun_path) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return false;
    }
    const std::string line = FormatLine(record);
    const bool sent = ::sendto(fd, line.data(), line.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
                               sizeof address) == static_cast<ssize_t>(line.size());
    const int error = errno;
    ::close(fd);
    if (!sent)
        SetLastError(error == ENOENT || error == ECONNREFUSED ? ERROR_EVENTLOG_CANT_START : Win32ErrorFromErrno(error));
    return sent;
}

}  // namespace plat
