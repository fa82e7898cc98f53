// ReadAttributes requests through the client classes against the request
// dispatcher served by the socket server on a loopback port, with 1 and
// with 20 concurrent clients: requests per second, p50 and p99 latency,
// medians of interleaved runs beside the loopback anchor (RoundTrips.h).
// Then one client's latency while a registered peer floods the service
// without reading, the time the service host's stop takes with clients
// that close when asked, and the time the real sentrak takes from SIGTERM
// to its exit with peers that never read nor close, its history saved.
// The drives are the built-in demo machine unless LUMETRA_DEVICES is set;
// state goes to a private LUMETRA_ROOT.
//
//   bench_service [--only CLIENTS]   (--only: one run of that many clients,
//                                    without the anchor, for profilers)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "RawPeer.h"
#include "RoundTrips.h"
#include "SentrakStop.h"
#include "SmartHandler.h"
#include "SmartMarshalingServer.h"
#include "StopTime.h"
#include "marshal/SmartMarshalMessages.h"
#include "marshal/SmartRequestCodes.h"
#include "net/loopback_port.h"
#include "sockets/SocketServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRequestsPerClient = 400;
constexpr int kRuns = 3;
constexpr auto kBesideFlooder = std::chrono::seconds(3);

// Latencies in microseconds of one client's requests on its copy of
// `drive`: `count` of them, or as many as `duration` holds.
std::vector<double> RunClient(CSmartHandler& client, SmartDevice drive, int count = kRequestsPerClient,
                              Clock::duration duration = Clock::duration::max()) {
    std::vector<double> latencies;
    const auto begin = Clock::now();
    for (int i = 0; i < count && Clock::now() - begin < duration; ++i) {
        const auto start = Clock::now();
        if (!client.ReadAttributes(&drive)) break;
        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return latencies;
}

// The ReadAttributes request for `id`, framed.
std::vector<BYTE> ReadAttributesPacket(SmartServerId id) {
    CSmartMarshalSmartServerId request(QUIVR_SMART_READ_ATTRIBUTES);
    request.serverId = id;
    CZmArchive archive;
    request.EncodeMessage(archive);
    return MessagePacket(std::vector<BYTE>(archive.GetBuffer(TRUE), archive.GetBuffer(TRUE) + archive.GetLength(TRUE)));
}

void MeasureBesideFlooder(WORD port) {
    CSmartHandler client(nullptr, port);
    client.Initialize();
    const SmartDevice* drive = client.GetDevice(0);
    RawPeer flooder(port);
    if (!drive || !flooder.Registered()) {
        std::printf("beside a flooder: no drive or no registered flooder\n");
        return;
    }
    SmartDevice copy = client.CopyRecord(*drive);
    copy.next = nullptr;
    flooder.Flood(ReadAttributesPacket(copy.serverId));
    const auto start = Clock::now();
    const std::vector<double> latencies = RunClient(client, copy, 1 << 30, kBesideFlooder);
    const RoundTrips r = Summarize({latencies}, std::chrono::duration<double>(Clock::now() - start).count());
    flooder.StopFlooding();
    if (latencies.empty()) {
        std::printf("beside a flooder: no request succeeded\n");
        return;
    }
    std::printf("  1 client beside a peer flooding without reading: %zu ReadAttributes, p50 %.0f us, p99 %.0f us, "
                "max %.0f us; the flooder sent %ld requests and was %s\n",
                r.count, r.p50Us, r.p99Us, *std::max_element(latencies.begin(), latencies.end()), flooder.Sent(),
                flooder.WasDisconnected() ? "disconnected" : "NOT disconnected");
}

RoundTrips Measure(WORD port, int count) {
    // The service keeps a drive's id across enumerations, so each client
    // could use the ids of its own; they share the last one's so that every
    // client reads the same drive.
    std::vector<std::unique_ptr<CSmartHandler>> clients;
    for (int c = 0; c < count; ++c) {
        clients.push_back(std::make_unique<CSmartHandler>(nullptr, port));
        clients.back()->Initialize();
    }
    const SmartDevice* drive = clients.back()->GetDevice(0);
    if (!drive) {
        std::printf("%2d clients: no drive to read\n", count);
        return {};
    }
    SmartDevice shared = clients.back()->CopyRecord(*drive);
    shared.next = nullptr;
    std::vector<std::vector<double>> results(clients.size());
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (std::size_t c = 0; c < clients.size(); ++c)
        threads.emplace_back([&, c] { results[c] = RunClient(*clients[c], shared); });
    for (std::thread& t : threads) t.join();
    return Summarize(results, std::chrono::duration<double>(Clock::now() - start).count());
}

}  // namespace

int main(int argc, char** argv) {
    const int only = argc > 2 && std::string_view(argv[1]) == "--only" ? std::atoi(argv[2]) : 0;
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("lumetra-bench-service-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    setenv("LUMETRA_ROOT", root.c_str(), 1);
    setenv("LUMETRA_DEVICES", "default", 0);
    {
        const WORD port = plat::net::FreeLoopbackPort();
        CSmartMarshalingServer engine;
        const CSocketServer::Dispatcher dispatcher = [&](CZmArchive& request, CZmArchive& response) {
            engine.Dispatch(request, response);
        };
        CSocketServer server(port);
        server.SetDispatcher(dispatcher);
        if (FAILED(server.Init()) || FAILED(server.Start())) {
            std::fprintf(stderr, "bench_service: cannot serve on port %u\n", unsigned(port));
            return 1;
        }
        if (only > 0) {
            const RoundTrips r = Measure(port, only);
            std::printf("%d client(s): %zu ReadAttributes, %.0f/s, p50 %.0f us, p99 %.0f us\n", only, r.count,
                        r.perSecond, r.p50Us, r.p99Us);
            server.Stop();
            std::filesystem::remove_all(root);
            return 0;
        }
        for (int clients : {1, 20})
            PrintBesideAnchor("ReadAttributes", clients, kRequestsPerClient, kRuns,
                              [&] { return Measure(port, clients); });
        MeasureBesideFlooder(port);
        server.Stop();
        MeasureStopWithClients(dispatcher, 20);
    }
    MeasureSentrakStop(100);
    std::filesystem::remove_all(root);
    return 0;
}
