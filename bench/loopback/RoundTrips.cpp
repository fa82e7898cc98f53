#include "RoundTrips.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kHeader = 8;

double At(const std::vector<double>& sorted, double q) {
    return sorted.empty() ? 0 : sorted[static_cast<std::size_t>(q * double(sorted.size() - 1))];
}

bool SendAll(int fd, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = send(fd, data, length, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReceiveAll(int fd, std::uint8_t* data, std::size_t length) {
    return recv(fd, data, length, MSG_WAITALL) == static_cast<ssize_t>(length);
}

void NoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Answers every whole request on every connection until all have closed.
void Serve(std::vector<int> connections, std::size_t size) {
    std::vector<std::uint8_t> message(kHeader + size);
    std::vector<pollfd> fds;
    for (int fd : connections) fds.push_back(pollfd{fd, POLLIN, 0});
    while (!fds.empty()) {
        if (poll(fds.data(), fds.size(), -1) < 0) return;
        for (std::size_t i = 0; i < fds.size();) {
            const bool ready = fds[i].revents != 0;
            if (ready && !(ReceiveAll(fds[i].fd, message.data(), message.size()) &&
                           SendAll(fds[i].fd, message.data(), message.size()))) {
                close(fds[i].fd);
                fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            ++i;
        }
    }
}

}  // namespace

RoundTrips Summarize(const std::vector<std::vector<double>>& latencies, double seconds) {
    std::vector<double> all;
    for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    RoundTrips r;
    r.count = all.size();
    r.perSecond = seconds > 0 ? double(all.size()) / seconds : 0;
    r.p50Us = At(all, 0.50);
    r.p99Us = At(all, 0.99);
    return r;
}

RoundTrips Median(std::vector<RoundTrips> runs) {
    if (runs.empty()) return {};
    const auto median = [&](double RoundTrips::* field) {
        std::vector<double> values;
        for (const RoundTrips& r : runs) values.push_back(r.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    RoundTrips m = runs[runs.size() / 2];
    m.perSecond = median(&RoundTrips::perSecond);
    m.p50Us = median(&RoundTrips::p50Us);
    m.p99Us = median(&RoundTrips::p99Us);
    return m;
}

RoundTrips MeasureLoopback(int clients, int per_client, std::size_t size) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, clients) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(listener);
        return {};
    }
    std::vector<int> client_fds, server_fds;
    for (int c = 0; c < clients; ++c) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) break;
        NoDelay(fd);
        client_fds.push_back(fd);
        const int accepted = accept(listener, nullptr, nullptr);
        NoDelay(accepted);
        server_fds.push_back(accepted);
    }
    close(listener);
    std::thread server(Serve, server_fds, size);
    std::vector<std::vector<double>> latencies(client_fds.size());
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (std::size_t c = 0; c < client_fds.size(); ++c) {
        threads.emplace_back([&, c] {
            std::vector<std::uint8_t> message(kHeader + size, static_cast<std::uint8_t>(c));
            std::memcpy(message.data(), &size, 4);
            for (int i = 0; i < per_client; ++i) {
                const auto sent = Clock::now();
                if (!SendAll(client_fds[c], message.data(), message.size()) ||
                    !ReceiveAll(client_fds[c], message.data(), message.size()))
                    return;
                latencies[c].push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
            }
        });
    }
    for (auto& t : threads) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (int fd : client_fds) close(fd);
    server.join();
    return Summarize(latencies, seconds);
}

void PrintBesideAnchor(const char* label, int clients, int per_client, int runs,
                       const std::function<RoundTrips()>& measured) {
    std::vector<RoundTrips> ours, anchor;
    for (int run = 0; run < runs; ++run) {
        anchor.push_back(MeasureLoopback(clients, per_client));
        ours.push_back(measured());
    }
    const RoundTrips a = Median(anchor);
    const RoundTrips m = Median(ours);
    const auto ratio = [](double x, double y) { return y > 0 ? x / y : 0; };
    std::printf("%3d client(s), medians of %d interleaved runs:\n", clients, runs);
    std::printf("    loopback anchor : %8.0f/s  p50 %7.0f us  p99 %7.0f us\n", a.perSecond, a.p50Us, a.p99Us);
    std::printf("    %-16s: %8.0f/s  p50 %7.0f us  p99 %7.0f us\n", label, m.perSecond, m.p50Us, m.p99Us);
    std::printf("    ratio           : %8.2f x  p50 %7.2f x   p99 %7.2f x   (goals: >= 0.40, <= 5, <= 10)\n",
                ratio(m.perSecond, a.perSecond), ratio(m.p50Us, a.p50Us), ratio(m.p99Us, a.p99Us));
}
