// The loopback anchor alone: framed 2,424-byte round trips between client
// threads and one server thread over loopback TCP, with the plain system
// calls; the limit the socket stack's benchmarks are printed beside.
//
//   bench_loopback [round trips per client]
#include <cstdio>
#include <cstdlib>

#include "RoundTrips.h"

int main(int argc, char** argv) {
    const int per_client = argc > 1 ? std::atoi(argv[1]) : 5000;
    for (int clients : {1, 20, 100}) {
        const RoundTrips r = MeasureLoopback(clients, clients == 1 ? per_client : per_client / 10);
        std::printf("%3d client(s): %zu round trips, %.0f/s, p50 %.0f us, p99 %.0f us\n", clients, r.count,
                    r.perSecond, r.p50Us, r.p99Us);
    }
    return 0;
}
