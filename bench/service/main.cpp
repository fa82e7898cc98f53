// ReadAttributes requests through the client classes against the request
// dispatcher served by the socket server on a loopback port, with 1 and
// with 20 concurrent clients: requests per second, p50 and p99 latency.
// The drives are the built-in demo machine unless LUMETRA_DEVICES is set;
// state goes to a private LUMETRA_ROOT.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "SmartHandler.h"
#include "SmartMarshalingServer.h"
#include "net/loopback_port.h"
#include "sockets/SocketServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRequestsPerClient = 400;

// Latencies in microseconds of one client's requests on its copy of `drive`.
std::vector<double> RunClient(CSmartHandler& client, SmartDevice drive) {
    std::vector<double> latencies;
    for (int i = 0; i < kRequestsPerClient; ++i) {
        const auto start = Clock::now();
        if (!client.ReadAttributes(&drive)) break;
        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return latencies;
}

void Measure(WORD port, int count) {
    // Every enumeration replaces the service's ids, so all clients connect
    // first and then share the ids of the last one's enumeration.
    std::vector<std::unique_ptr<CSmartHandler>> clients;
    for (int c = 0; c < count; ++c) {
        clients.push_back(std::make_unique<CSmartHandler>(nullptr, port));
        clients.back()->Initialize();
    }
    const SmartDevice* drive = clients.back()->GetDevice(0);
    if (!drive) {
        std::printf("%2d clients: no drive to read\n", count);
        return;
    }
    SmartDevice shared = clients.back()->CopyRecord(*drive);
    shared.next = nullptr;
    std::vector<std::vector<double>> results(clients.size());
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (std::size_t c = 0; c < clients.size(); ++c)
        threads.emplace_back([&, c] { results[c] = RunClient(*clients[c], shared); });
    for (std::thread& t : threads) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<double> all;
    for (const auto& r : results) all.insert(all.end(), r.begin(), r.end());
    if (all.empty()) {
        std::printf("%2d clients: no request succeeded\n", count);
        return;
    }
    std::sort(all.begin(), all.end());
    const auto at = [&](double q) { return all[static_cast<std::size_t>(q * double(all.size() - 1))]; };
    std::printf("%2d clients: %zu ReadAttributes, %.0f requests/s, p50 %.0f us, p99 %.0f us\n", count, all.size(),
                double(all.size()) / seconds, at(0.50), at(0.99));
}

}  // namespace

int main() {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("lumetra-bench-service-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    setenv("LUMETRA_ROOT", root.c_str(), 1);
    setenv("LUMETRA_DEVICES", "default", 0);
    {
        const WORD port = plat::net::FreeLoopbackPort();
        CSmartMarshalingServer dispatcher;
        CSocketServer server(port);
        server.SetDispatcher([&](CZmArchive& request, CZmArchive& response) { dispatcher.Dispatch(request, response); });
        if (FAILED(server.Init()) || FAILED(server.Start())) {
            std::fprintf(stderr, "bench_service: cannot serve on port %u\n", unsigned(port));
            return 1;
        }
        for (int clients : {1, 20}) Measure(port, clients);
        server.Stop();
    }
    std::filesystem::remove_all(root);
    return 0;
}
