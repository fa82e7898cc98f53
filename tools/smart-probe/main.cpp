// smart-probe: runs the S.M.A.R.T. engine in-process on the configured
// device backend and prints what it learns.
#include <cstdio>

#include "ProbeOptions.h"
#include "ProbeReport.h"
#include "engine/CSmartFliegendeUntertasse.h"

int main(int argc, char** argv) {
    std::string error;
    const auto options = ParseProbeOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "smart-probe: %s\n%s", error.c_str(), ProbeUsage().c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(ProbeUsage().c_str(), stdout);
        return 0;
    }

    CSmartFliegendeUntertasse engine;
    SmartDevice* list = engine.GetDevices();
    std::vector<ProbedDevice> devices;
    bool allOk = list != nullptr;
    unsigned index = 0;
    for (SmartDevice* d = list; d; d = d->next, ++index) {
        if (options->device && *options->device != index) continue;
        ProbedDevice probed{d, {}};
        for (const ProbeOperation* op : options->run) {
            const bool ok = (engine.*(op->call))(d);
            probed.results.emplace_back(op->name, ok);
            allOk = allOk && ok;
        }
        devices.push_back(std::move(probed));
    }
    if (options->device && devices.empty()) {
        std::fprintf(stderr, "smart-probe: no drive at index %u (found %u)\n", *options->device, index);
        allOk = false;
    }
    const std::string report = options->json ? JsonReport(devices) : TextReport(devices);
    std::fputs(report.c_str(), stdout);
    FreeSmartDeviceList(list);
    return allOk ? 0 : 1;
}
