// CSocketServer: the service's socket manager. It listens on TCP port 50350,
// counts its connections, and answers each application message with the
// request dispatcher the service installs: the request archive reads the
// received payload, and the response archive is sent back on the same
// connection.
//
// It listens on the loopback address 127.0.0.1 and admits only peers at
// 127.0.0.1 (mask 2, LOCALUSERS): a registration only claims a user name
// and SID, so a listener that other hosts could reach would let any of them
// switch S.M.A.R.T. off or start self-tests on this machine's drives. Another
// address is an explicit choice (SetListenAddress); a listener on an address
// other hosts can reach admits every peer (mask 4, ALLUSERS).
#pragma once

#include <functional>

#include "archive/ZmArchive.h"
#include "base/hresult.h"
#include "sockets/SocketManager.h"

inline constexpr WORD kServicePort = 50350;

class CSocketServer : public CSocketManager {
public:
    using Dispatcher = std::function<void(CZmArchive& request, CZmArchive& response)>;

    explicit CSocketServer(WORD port = kServicePort);
    ~CSocketServer() override;

    void OnEvent(CEncryptSocket* socket, long code) override;
    void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override;

    // Starts the socket library and the manager. 0 or E_FAIL.
    HRESULT Init();
    // The address Start listens on (127.0.0.1 unless set; INADDR_ANY for all).
    void SetListenAddress(in_addr address) { m_address = address; }
    // The permission mask of a listener on `address`.
    static DWORD PermissionFor(in_addr address);
    // Listens on the server's port and address. On failure E_FAIL, with the
    // reason as the thread's last error. (The threads keep the normal
    // priority: raising it needs privileges a Linux service does not have.)
    HRESULT Start();
    void Stop();
    // Sends every connection the close request; returns at once. Peers that
    // close then bring the connection count down as they go.
    void RequestClose() { RequestCloseAll(); }
    // Returns when no connection is open or `ms` have passed.
    void AwaitNoConnections(DWORD ms);
    LONG ConnectionCount() const { return __atomic_load_n(&m_connections, __ATOMIC_SEQ_CST); }
    // Without a dispatcher a request is logged and dropped, unanswered.
    void SetDispatcher(Dispatcher dispatcher) { m_dispatcher = std::move(dispatcher); }

private:
    std::unique_ptr<CEncryptSocket> m_listener;
    volatile LONG m_connections = 0;
    std::mutex m_countLock;  // orders the count's changes with the event's
    HANDLE m_hNoConnections = nullptr;  // manual-reset: set while the count is 0
    bool m_libraryStarted = false;
    WORD m_port;
    in_addr m_address{};
    Dispatcher m_dispatcher;
};
