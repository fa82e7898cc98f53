// Round trips of a 2,424-byte message (the size of a device record answer)
// between clients and a server built on the socket stack, over loopback:
// round trips per second and median and 99th-percentile latency, with one
// client and with 100 clients (more than one Event-thread wait can hold).
//
//   bench_sockets [round trips per client for 1 client] [for each of 100]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/last_error.h"
#include "net/loopback_port.h"
#include "sockets/SocketLibrary.h"
#include "sockets/SocketServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kMessageSize = 2424;
constexpr auto kTimeLimit = std::chrono::seconds(20);


// Wakes each client's thread when the answer on its socket arrived.
class Clients : public CSocketManager {
public:
    void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD, ReplyContext*, DWORD) override {
        std::free(payload);
        {
            std::lock_guard lock(m_mutex);
            ++m_answers[socket];
        }
        m_cv.notify_all();
    }
    bool WaitAnswer(CEncryptSocket* socket, int count) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(5), [&] { return m_answers[socket] >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::map<CEncryptSocket*, int> m_answers;
};

void Run(WORD port, int clients, int round_trips) {
    Clients manager;
    manager.SetRegistrationTimeout(5000);
    if (manager.Create(FALSE) != 0) {
        std::printf("client manager failed: %u\n", GetLastError());
        return;
    }
    std::vector<CEncryptSocket*> sockets;
    for (int i = 0; i < clients; ++i) {
        CEncryptSocket* s = manager.NewSocket();
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
    std::vector<double> all;
    for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    if (all.empty()) {
        std::printf("%3d client(s): no round trip completed\n", clients);
    } else {
        std::printf("%3d client(s): %zu round trips in %.2f s = %.0f/s, p50 %.0f us, p99 %.0f us%s\n",
                    static_cast<int>(sockets.size()), all.size(), seconds, all.size() / seconds,
                    all[all.size() / 2], all[std::min(all.size() - 1, all.size() * 99 / 100)],
                    failed ? " (some clients failed)" : "");
    }
    manager.Shutdown();
    for (CEncryptSocket* s : sockets) delete s;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int single = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int each = argc > 2 ? std::atoi(argv[2]) : 200;
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
    Run(port, 1, single);
    Run(port, 100, each);
    server.Stop();
    StopSocketLibrary();
    return 0;
}
