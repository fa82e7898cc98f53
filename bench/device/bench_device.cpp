// Simulated device requests per second through the native calls: IDENTIFY
// and READ DATA on an ATA disk, LOG SENSE on a SCSI disk of the built-in
// demo machine. Prints one line per request kind.
#include <chrono>
#include <cstdio>
#include <functional>

#include "device/sim_machine.h"
#include "device_requests.h"

namespace {

// Runs `request` for about half a second and prints the rate.
void Measure(const char* what, const std::function<bool()>& request) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long count = 0;
    bool ok = true;
    while (Clock::now() - start < std::chrono::milliseconds(500)) {
        for (int i = 0; i < 100; ++i) ok = request() && ok;
        count += 100;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-28s %10.0f requests/s  %6.2f us/request%s\n", what, count / seconds, 1e6 * seconds / count,
                ok ? "" : "  (some failed)");
}

bool Good(const devtest::SmartReply& r) { return r.status == STATUS_SUCCESS && r.driver_error() == SMART_NO_ERROR; }

bool LogSense(HANDLE h, BYTE page) {
    const auto r = devtest::ScsiIn(h, {0x4D, 0, static_cast<BYTE>(0x40 | page), 0, 0, 0, 0, 0, 200, 0}, 200);
    return r.status == STATUS_SUCCESS && r.sptd.ScsiStatus == SCSISTAT_GOOD;
}

}  // namespace

int main() {
    plat::device::ScopedSimulation sim;  // the built-in demo machine
    HANDLE ata = devtest::Open("\\Device\\Harddisk0\\Partition0");
    HANDLE scsi = devtest::Open("\\Device\\Harddisk2\\Partition0");
    if (!ata || !scsi) {
        std::fprintf(stderr, "bench_device: the demo drives cannot be opened\n");
        return 1;
    }
    std::printf("simulated requests through NtDeviceIoControlFile (demo machine)\n");
    Measure("ATA IDENTIFY DEVICE", [&] { return Good(devtest::Identify(ata)); });
    Measure("ATA S.M.A.R.T. READ DATA", [&] { return Good(devtest::ReadData(ata)); });
    Measure("SCSI LOG SENSE page 0x2F", [&] { return LogSense(scsi, 0x2F); });
    Measure("SCSI LOG SENSE page 0x10", [&] { return LogSense(scsi, 0x10); });
    Measure("open + close", [] {
        HANDLE h = devtest::Open("\\Device\\Harddisk1\\Partition0");
        return h && NtClose(h) == STATUS_SUCCESS;
    });
    NtClose(ata);
    NtClose(scsi);
    return 0;
}
