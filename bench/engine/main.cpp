// Figures of the S.M.A.R.T. engine on the configured device backend
// (LUMETRA_DEVICES; the simulation's default profile when it names one):
// the time of one full GetDevices over the 1280 device names, and
// ReadAttributes per second answered from the cache and from the drive.
//
// The engine's own clock is a manual one, so "from the drive" is forced by
// moving it past the 300-second cache age between calls; elapsed time is
// measured with the host's steady clock.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "base/clock.h"
#include "engine/CSmartFliegendeUntertasse.h"

namespace {

using Steady = std::chrono::steady_clock;

double Seconds(Steady::duration d) { return std::chrono::duration<double>(d).count(); }

template <typename Body>
double TimeRuns(int runs, Body body) {
    const auto start = Steady::now();
    for (int i = 0; i < runs; ++i) body(i);
    return Seconds(Steady::now() - start);
}

// The first device whose attributes can be read, with capabilities read.
SmartDevice* PrepareDevice(CSmartFliegendeUntertasse& engine, SmartDevice* list) {
    for (SmartDevice* d = list; d; d = d->next) {
        engine.ReadCapabilities(d);
        if (engine.ReadAttributes(d)) return d;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const int discoveries = argc > 1 ? std::atoi(argv[1]) : 20;
    const int reads = argc > 2 ? std::atoi(argv[2]) : 20000;
    plat::ScopedManualClock clock;
    CSmartFliegendeUntertasse engine;
    engine.UseHistory(false);  // leave the machine's stored drives alone

    SmartDevice* list = nullptr;
    const double discovery = TimeRuns(discoveries, [&](int) {
        FreeSmartDeviceList(list);
        list = engine.GetDevices();
    });
    int count = 0;
    for (SmartDevice* d = list; d; d = d->next) ++count;
    std::printf("GetDevices over 1280 names: %.3f ms per call (%d calls, %d drives)\n",
                1000.0 * discovery / discoveries, discoveries, count);

    SmartDevice* device = PrepareDevice(engine, list);
    if (!device) {
        std::printf("no drive with readable attributes; ReadAttributes not measured\n");
        FreeSmartDeviceList(list);
        return 0;
    }
    const double cached = TimeRuns(reads, [&](int) { engine.ReadAttributes(device); });
    std::printf("ReadAttributes from the cache: %.0f per second (%d calls)\n", reads / cached, reads);
    const double fromDrive = TimeRuns(reads, [&](int) {
        clock->Advance(301 * 1000);
        engine.ReadAttributes(device);
    });
    std::printf("ReadAttributes from the drive: %.0f per second (%d calls)\n", reads / fromDrive, reads);
    FreeSmartDeviceList(list);
    return 0;
}
