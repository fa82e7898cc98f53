// Round trips of a 2,424-byte message (the size of a device record answer)
// between clients and a server built on the socket stack, over loopback:
// round trips per second and median and 99th-percentile latency, with one
// client, 20 and 100 clients (more than one Event-thread wait can hold):
// medians of interleaved runs beside the loopback anchor (RoundTrips.h).
//
//   bench_sockets [round trips per client for 1 client] [for each of 100]
//   bench_sockets --only CLIENTS [round trips per client]  (one run without
//                                 the anchor, for profilers)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "RoundTrips.h"
#include "base/last_error.h"
#include "base/sync.h"
#include "net/loopback_port.h"
#include "sockets/SocketLibrary.h"
#include "sockets/SocketServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kMessageSize = 2424;
constexpr auto kTimeLimit = std::chrono::seconds(20);
constexpr int kRuns = 3;

// Wakes each client's thread when the answer on its socket arrived; each
// socket has its own event, so an answer wakes only its own thread. Like
// the service's client, it takes answers on the Event thread and wakes the
// waiting thread with an event of the platform.
class Clients : public CSocketManager {
public:
    Clients() { SetDeliverOnEventThread(true); }
    // Before any answer can arrive.
    void Expect(CEncryptSocket* socket) { m_answers[socket] = std::make_unique<Answers>(); }
    void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD, ReplyContext*, DWORD) override {
        std::free(payload);
        const auto it = m_answers.find(socket);
        if (it == m_answers.end()) return;
        ++it->second->count;
        SetEvent(it->second->event);
    }
    bool WaitAnswer(CEncryptSocket* socket, int count) {
        Answers& a = *m_answers.at(socket);
        while (a.count < count)
            if (WaitForSingleObject(a.event, 5000) != WAIT_OBJECT_0) return false;
        return true;
    }

private:
    struct Answers {
        Answers() : event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
        ~Answers() { CloseHandle(event); }
        const HANDLE event;
        std::atomic<int> count{0};
    };
    std::map<CEncryptSocket*, std::unique_ptr<Answers>> m_answers;
};

RoundTrips Run(WORD port, int clients, int round_trips) {
    Clients manager;
    manager.SetRegistrationTimeout(5000);
    if (manager.Create(FALSE) != 0) {
        std::printf("client manager failed: %u\n", GetLastError());
        return {};
    }
    std::vector<CEncryptSocket*> sockets;
    for (int i = 0; i < clients; ++i) {
        CEncryptSocket* s = manager.NewSocket();
        manager.Expect(s);
        if (s->Connect("localhost", port, FALSE) != 0) {
            std::printf("connect %d failed: %u\n", i, GetLastError());
            delete s;
            break;
        }
        sockets.push_back(s);
    }
    std::vector<std::vector<double>> latencies(sockets.size());
    std::atomic<bool> failed{false};
    const auto deadline = Clock::now() + kTimeLimit;
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        threads.emplace_back([&, i] {
            const std::vector<BYTE> message(kMessageSize, static_cast<BYTE>(i));
            for (int n = 1; n <= round_trips && Clock::now() < deadline; ++n) {
                const auto sent = Clock::now();
                if (sockets[i]->SendMsg(message.data(), kMessageSize, nullptr, PACKET_MSG) != 0 ||
                    !manager.WaitAnswer(sockets[i], n)) {
                    failed = true;
                    return;
                }
                latencies[i].push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
            }
        });
    }
    for (auto& t : threads) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const RoundTrips result = Summarize(latencies, seconds);
    if (failed) std::printf("%3d client(s): some clients failed\n", clients);
    manager.Shutdown();
    for (CEncryptSocket* s : sockets) delete s;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const bool only = argc > 2 && std::string_view(argv[1]) == "--only";
    const int first = only ? 3 : 1;  // the first round-trip count's argument
    const int single = argc > first ? std::atoi(argv[first]) : 5000;
    const int each = argc > first + 1 ? std::atoi(argv[first + 1]) : 200;
    StartSocketLibrary();
    const WORD port = plat::net::FreeLoopbackPort();
    CSocketServer server(port);
    server.SetDispatcher([](CZmArchive& request, CZmArchive& response) {
        response.PutBytes(request.GetBuffer(TRUE), request.GetLength(TRUE));
    });
    if (server.Init() != S_OK || server.Start() != S_OK) {
        std::printf("server failed to start on port %u\n", port);
        return 1;
    }
    std::printf("socket stack, %u-byte request and response over 127.0.0.1:%u\n", kMessageSize, port);
    if (only) {
        const int clients = std::atoi(argv[2]);
        const RoundTrips r = Run(port, clients, single);
        std::printf("%d client(s): %zu round trips, %.0f/s, p50 %.0f us, p99 %.0f us\n", clients, r.count,
                    r.perSecond, r.p50Us, r.p99Us);
    } else {
        PrintBesideAnchor("socket stack", 1, single, kRuns, [&] { return Run(port, 1, single); });
        for (int clients : {20, 100})
            PrintBesideAnchor("socket stack", clients, each, kRuns, [&] { return Run(port, clients, each); });
    }
    server.Stop();
    StopSocketLibrary();
    return 0;
}
