// The socket server as sentrak's service host runs it. It listens on the
// address of ListenAddress.h and tells whoever started the program how that
// went: "sentrak: listening on port N (ADDRESS)" on stdout once it listens,
// and on stderr one line saying why it cannot (the port is taken, the
// address is not the machine's, ...), a warning when other hosts can reach
// it, and once at start when the drives' history will not be kept.
#pragma once

#include "ListenAddress.h"
#include "ServerControl.h"
#include "engine/CSmartFliegendeUntertasse.h"
#include "sockets/SocketServer.h"

class SentrakServer final : public ServerControl {
public:
    // `engine` is asked about its history at Start only, so it may be
    // constructed after this object.
    SentrakServer(CSocketServer& server, const CSmartFliegendeUntertasse& engine, WORD port,
                  ListenSetting listen);

    HRESULT Init() override;
    // On failure the reason is the thread's last error.
    HRESULT Start() override;
    void Stop() override { m_server.Stop(); }
    LONG ConnectionCount() const override { return m_server.ConnectionCount(); }
    void RequestClose() override { m_server.RequestClose(); }
    void AwaitNoConnections(DWORD ms) override { m_server.AwaitNoConnections(ms); }

private:
    CSocketServer& m_server;
    const CSmartFliegendeUntertasse& m_engine;
    WORD m_port;
    ListenSetting m_listen;
};
