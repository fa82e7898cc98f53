#include "log/SocketLog.h"

#include <atomic>

namespace logging {

namespace {

std::atomic<CLog*> g_socketLog{nullptr};

}  // namespace

CLog* SocketLog() { return g_socketLog.load(); }

void SetSocketLog(CLog* log) { g_socketLog.store(log); }

void WriteSocketText(CLog* log, const std::u16string& text) {
    const std::u16string_view part(text);
    log->Write(kSocketLogLevel, 0, u"SOCKETS", 0, std::span(&part, 1));
}

}  // namespace logging
