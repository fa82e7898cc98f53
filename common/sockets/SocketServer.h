// CSocketServer: the service's socket manager. It listens on TCP port 50350
// for every user (mask 4) on all local addresses, counts its connections,
// and answers each application message with the request dispatcher the
// service installs: the request archive reads the received payload, and the
// response archive is sent back on the same connection.
#pragma once

#include <functional>

#include "archive/ZmArchive.h"
#include "base/hresult.h"
#include "sockets/SocketManager.h"

inline constexpr WORD kServicePort = 50350;

class CSocketServer : public CSocketManager {
public:
    using Dispatcher = std::function<void(CZmArchive& request, CZmArchive& response)>;

    explicit CSocketServer(WORD port = kServicePort) : m_port(port) {}
    ~CSocketServer() override;

    void OnEvent(CEncryptSocket* socket, long code) override;
    void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override;

    // Starts the socket library and the manager. 0 or E_FAIL.
    HRESULT Init();
    // Listens on the server's port. (The threads keep the normal priority:
    // raising it needs privileges a Linux service does not have.)
    HRESULT Start();
    void Stop();
    LONG ConnectionCount() const { return __atomic_load_n(&m_connections, __ATOMIC_SEQ_CST); }
    // Without a dispatcher a request is logged and dropped, unanswered.
    void SetDispatcher(Dispatcher dispatcher) { m_dispatcher = std::move(dispatcher); }

private:
    std::unique_ptr<CEncryptSocket> m_listener;
    volatile LONG m_connections = 0;
    bool m_libraryStarted = false;
    WORD m_port;
    Dispatcher m_dispatcher;
};
