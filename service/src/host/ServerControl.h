// ServerControl: what the service host needs of the server it runs. The
// program's socket server (CSocketServer of the common library) is adapted
// to it with ServerAdapter; tests use a fake.
#pragma once

#include "base/clock.h"
#include "base/hresult.h"
#include "base/wintypes.h"

class ServerControl {
public:
    virtual ~ServerControl() = default;
    // Prepares the server (socket library, threads). S_OK or a failure code.
    virtual HRESULT Init() = 0;
    // Starts listening. S_OK or a failure code.
    virtual HRESULT Start() = 0;
    // Closes the listener and every connection; returns when they are closed.
    virtual void Stop() = 0;
    // Connections currently open. Safe from any thread.
    virtual LONG ConnectionCount() const = 0;
    // Asks every connection to close; returns at once.
    virtual void RequestClose() {}
    // Returns when no connection is open or `ms` have passed. A server
    // that cannot tell sooner just sleeps.
    virtual void AwaitNoConnections(DWORD ms) { Sleep(ms); }
};

// Adapts any server with Init, Start, Stop, ConnectionCount, RequestClose
// and AwaitNoConnections of these shapes: `ServerAdapter<CSocketServer> control(socket_server);`.
template <typename Server>
class ServerAdapter final : public ServerControl {
public:
    explicit ServerAdapter(Server& server) : m_server(server) {}
    HRESULT Init() override { return m_server.Init(); }
    HRESULT Start() override { return m_server.Start(); }
    void Stop() override { m_server.Stop(); }
    LONG ConnectionCount() const override { return m_server.ConnectionCount(); }
    void RequestClose() override { m_server.RequestClose(); }
    void AwaitNoConnections(DWORD ms) override { m_server.AwaitNoConnections(ms); }

private:
    Server& m_server;
};
