#include "StopTime.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "NTService.h"
#include "SmartHandler.h"
#include "base/sync.h"
#include "net/loopback_port.h"

namespace {

using Clock = std::chrono::steady_clock;

// The socket server as the service host runs it, telling the benchmark
// when it listens.
class ListeningServer final : public ServerControl {
public:
    explicit ListeningServer(CSocketServer& server) : m_server(server) {}
    HRESULT Init() override { return m_server.Init(); }
    HRESULT Start() override {
        const HRESULT hr = m_server.Start();
        m_listening.set_value(SUCCEEDED(hr));
        return hr;
    }
    void Stop() override { m_server.Stop(); }
    LONG ConnectionCount() const override { return m_server.ConnectionCount(); }
    void RequestClose() override { m_server.RequestClose(); }
    void AwaitNoConnections(DWORD ms) override { m_server.AwaitNoConnections(ms); }
    bool Listening() { return m_listening.get_future().get(); }

private:
    CSocketServer& m_server;
    std::promise<bool> m_listening;
};

// Runs Execute with what `connect` sets up (it gets the port and returns
// the number of connections it made), then signals the stop and prints the
// time Execute took to end.
void MeasureStop(const CSocketServer::Dispatcher& dispatcher, const char* what,
                 const std::function<int(WORD port)>& connect) {
    const WORD port = plat::net::FreeLoopbackPort();
    CSocketServer server(port);
    server.SetDispatcher(dispatcher);
    ListeningServer control(server);
    CNTService service(u"bench_service", &control);
    std::thread execute([&] { service.Execute(); });
    if (!control.Listening()) {
        execute.join();
        std::printf("stop with %s: the server did not listen\n", what);
        return;
    }
    const int connected = connect(port);
    const auto start = Clock::now();
    SetEvent(service.StopEvent());
    execute.join();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("stop with %d %s: %.0f ms\n", connected, what, ms);
}

}  // namespace

void MeasureStopWithClients(const CSocketServer::Dispatcher& dispatcher, int clients) {
    std::vector<std::unique_ptr<CSmartHandler>> handlers;
    MeasureStop(dispatcher, "clients that close when asked", [&](WORD port) {
        for (int i = 0; i < clients; ++i) {
            handlers.push_back(std::make_unique<CSmartHandler>(nullptr, port));
            handlers.back()->Initialize();
        }
        int connected = 0;
        for (const auto& h : handlers) connected += h->IsConnected() ? 1 : 0;
        return connected;
    });
}
