// The log the socket classes write their diagnostics to: one process-wide
// reference, empty by default, so the socket library is silent unless a
// program attaches a log. An entry is written only when the attached log's
// level is at least 4, as one level-4 entry in category "SOCKETS"; the
// thread's last error is the same after the call as before it.
#pragma once

#include <string>
#include <string_view>

#include "base/format.h"
#include "base/last_error.h"
#include "base/text.h"
#include "log/Log.h"

namespace logging {

inline constexpr LONG kSocketLogLevel = 4;
inline constexpr std::size_t kMaxSocketText = 8191;

// The attached log, or nullptr. Safe from any thread.
CLog* SocketLog();
void SetSocketLog(CLog* log);

void WriteSocketText(CLog* log, const std::u16string& text);

template <typename... Args>
void SocketDiag(std::u16string_view format, const Args&... args) {
    CLog* log = SocketLog();
    if (!log || log->GetLevel() < kSocketLogLevel) return;
    const DWORD error = GetLastError();
    WriteSocketText(log, plat::FormatN(kMaxSocketText, format, args...));
    SetLastError(error);
}

template <typename... Args>
void SocketDiag(std::string_view format, const Args&... args) {
    if (!SocketLog()) return;
    SocketDiag(std::u16string_view(plat::Utf8ToUtf16(format)), args...);
}

}  // namespace logging
