// Round-trip figures of the benchmarks (requests per second, p50 and p99
// latency) and the loopback anchor they are printed beside: N client
// threads and one server thread exchanging framed messages over loopback
// TCP with the plain system calls, the most this machine can do.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

struct RoundTrips {
    std::size_t count = 0;
    double perSecond = 0;
    double p50Us = 0;
    double p99Us = 0;
};

// The figures of one run: each client's latencies in microseconds, and the
// run's wall time.
RoundTrips Summarize(const std::vector<std::vector<double>>& latencies, double seconds);
// Each metric's median over several runs.
RoundTrips Median(std::vector<RoundTrips> runs);

// `clients` threads, each doing `per_client` round trips of a `size`-byte
// payload behind an 8-byte header, against one server thread that answers
// with a message of the same size.
RoundTrips MeasureLoopback(int clients, int per_client, std::size_t size = 2424);

// Runs `measured` and the anchor with the same clients `runs` times,
// interleaved, and prints the medians of both with their ratios; `goal`
// adds the targets (throughput ≥ 0.4 ×, p50 ≤ 5 ×, p99 ≤ 10 ×).
void PrintBesideAnchor(const char* label, int clients, int per_client, int runs,
                       const std::function<RoundTrips()>& measured);
