#include "SentrakServer.h"

#include <cstdio>

#include "FailureText.h"
#include "ProductKey.h"
#include "base/last_error.h"
#include "base/win_errors.h"

namespace {

constexpr FailureReason kListenFailures[] = {
    {WSAEADDRINUSE, "the port is taken (another program, or another sentrak, listens on it)"},
    {WSAEADDRNOTAVAIL, "the address is not one of this machine's"},
    {WSAEACCES, "permission denied"},
};

// Passes `error` on as the thread's last error with `result`.
HRESULT Failed(HRESULT result, DWORD error) {
    SetLastError(error);
    return result;
}

}  // namespace

SentrakServer::SentrakServer(CSocketServer& server, const CSmartFliegendeUntertasse& engine, WORD port,
                             ListenSetting listen)
    : m_server(server), m_engine(engine), m_port(port), m_listen(std::move(listen)) {}

HRESULT SentrakServer::Init() {
    const HRESULT result = m_server.Init();
    if (FAILED(result)) {
        const DWORD error = GetLastError();
        std::fprintf(stderr, "sentrak: cannot start the socket library: %s\n", FailureText(error).c_str());
        return Failed(result, error);
    }
    return result;
}

HRESULT SentrakServer::Start() {
    if (!m_listen.address) {
        std::fprintf(stderr, "sentrak: %s=\"%s\" is not an IPv4 address (unset: 127.0.0.1; 0.0.0.0: every address)\n",
                     kListenVariable, m_listen.text.c_str());
        return Failed(E_INVALIDARG, ERROR_INVALID_PARAMETER);
    }
    const std::string address = AddressText(*m_listen.address);
    m_server.SetListenAddress(*m_listen.address);
    const HRESULT result = m_server.Start();
    if (FAILED(result)) {
        const DWORD error = GetLastError();
        std::fprintf(stderr, "sentrak: cannot listen on port %u of %s: %s\n", unsigned(m_port), address.c_str(),
                     FailureText(error, kListenFailures).c_str());
        return Failed(result, error);
    }
    // The warnings come before the line that says the service is ready, so
    // whoever waits for that line has them too.
    if (CSocketServer::PermissionFor(*m_listen.address) != PERMISSION_LOCALUSERS)
        std::fprintf(stderr,
                     "sentrak: warning: %s is reachable from other hosts, and every peer is admitted: any of them "
                     "can switch S.M.A.R.T. off or start self-tests on this machine's drives\n",
                     address.c_str());
    SayWhenHistoryIsNotKept(m_engine.ProbeHistory());
    std::printf("sentrak: listening on port %u (%s)\n", unsigned(m_port), address.c_str());
    std::fflush(stdout);
    return result;
}
