// sentrak: the S.M.A.R.T. service. Installed, it runs under the service
// control manager; not installed and without arguments it serves in the
// foreground until SIGTERM or SIGINT. It answers the S.M.A.R.T. requests of
// its clients on the loopback port SmartServicePort() (50350, or
// LUMETRA_SMART_PORT), and says "sentrak: listening on port N" on stdout
// once it does.
#include <cstdio>

#include "NTService.h"
#include "ServerControl.h"
#include "ServiceEntry.h"
#include "SmartMarshalingServer.h"
#include "log/Log.h"
#include "marshal/SmartServicePort.h"
#include "sockets/SocketServer.h"

namespace {

// The socket server as the service host sees it, announcing on stdout when
// it listens, so whoever started the program knows it is ready.
class AnnouncingServer final : public ServerControl {
public:
    explicit AnnouncingServer(CSocketServer& server, WORD port) : m_server(server), m_port(port) {}
    HRESULT Init() override { return m_server.Init(); }
    HRESULT Start() override {
        const HRESULT result = m_server.Start();
        if (SUCCEEDED(result)) {
            std::printf("sentrak: listening on port %u\n", unsigned(m_port));
            std::fflush(stdout);
        }
        return result;
    }
    void Stop() override { m_server.Stop(); }
    LONG ConnectionCount() const override { return m_server.ConnectionCount(); }

private:
    CSocketServer& m_server;
    WORD m_port;
};

// The process-wide objects, constructed in member order and destroyed in
// the reverse: the dispatcher (the engine, which saves its history and ends
// its self-tests) goes first, after Execute has stopped the socket server;
// the log goes last, so everything writing to it while it ends finds it.
struct ServiceProcess {
    CLog serviceLog;
    CNTService service{kServiceName, &control};
    WORD port = SmartServicePort();
    CSocketServer server{port};
    AnnouncingServer control{server, port};
    CSmartMarshalingServer dispatcher;

    ServiceProcess() {
        server.SetDispatcher([this](CZmArchive& request, CZmArchive& response) {
            dispatcher.Dispatch(request, response);
        });
    }
};

}  // namespace

int main(int argc, char** argv) {
    ServiceProcess process;
    return RunServiceProcess(process.service, process.serviceLog, argc, argv);
}
