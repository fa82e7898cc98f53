// The socket library's diagnostics: one process-wide log reference, empty by
// default. A diagnostic is written only when a log is attached and its level
// is at least 4; it becomes one level-4 entry in category "SOCKETS" of at
// most 8,191 characters. The thread's last error is the same after a
// diagnostic as before it.
#pragma once

#include <array>
#include <string_view>

#include "base/format.h"
#include "base/last_error.h"
#include "log/Log.h"

CLog* GetSocketLog();
void SetSocketLog(CLog* log);

namespace sockets_detail {
inline constexpr LONG kSocketLogLevel = 4;
inline constexpr std::size_t kMaxSocketText = 8191;
void WriteSocketLine(CLog* log, const std::u16string& text);
}  // namespace sockets_detail

template <typename... Args>
void SockTrace(std::string_view format, const Args&... args) {
    CLog* log = GetSocketLog();
    if (!log || log->GetLevel() < sockets_detail::kSocketLogLevel) return;
    const DWORD saved = GetLastError();
    sockets_detail::WriteSocketLine(
        log, plat::FormatN(sockets_detail::kMaxSocketText, plat::Utf8ToUtf16(format), args...));
    SetLastError(saved);
}
