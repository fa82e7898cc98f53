#include "sockets/SocketLog.h"

#include <atomic>

namespace {
std::atomic<CLog*> g_socketLog{nullptr};
}

CLog* GetSocketLog() { return g_socketLog.load(); }
void SetSocketLog(CLog* log) { g_socketLog.store(log); }

namespace sockets_detail {

void WriteSocketLine(CLog* log, const std::u16string& text) {
    const std::array<std::u16string_view, 1> parts{text};
    log->Write(kSocketLogLevel, 0, u"SOCKETS", 0, parts);
}

}  // namespace sockets_detail
