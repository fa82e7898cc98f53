// smart-probe: runs the S.M.A.R.T. engine in-process on the configured
// device backend and prints what it learns.
#include <cstdio>

#include "ProbeOptions.h"
#include "base/clock.h"
#include "base/format.h"
#include "ProbeReport.h"
#include "engine/CSmartFliegendeUntertasse.h"

namespace {

// The log and self-test of the options on one drive; false when one failed.
bool RunTestOptions(CSmart& engine, SmartDevice* d, const ProbeTestOptions& test, ProbedDevice& probed,
                    std::string& out) {
    bool ok = true;
    if (test.log || test.selfTest) out += plat::Format("[device %lu.%lu]\n", d->deviceType, d->deviceNumber);
    if (test.log) {
        const bool read = PrintLog(engine, d, *test.log, out);
        probed.results.emplace_back("log", read);
        ok = read;
    }
    if (test.selfTest) {
        const auto wait = [](unsigned seconds) { plat::CurrentClock().Sleep(seconds * 1000); };
        const bool passed = RunSelfTest(engine, d, test, wait, out);
        probed.results.emplace_back("self_test", passed);
        ok = ok && passed;
    }
    return ok;
}

}  // namespace

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
    engine.UseHistory(options->test.keepHistory);
    SmartDevice* list = engine.GetDevices();
    std::vector<ProbedDevice> devices;
    std::string testOutput;  // self-test polls and logs, printed after the report
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
        allOk = RunTestOptions(engine, d, options->test, probed, testOutput) && allOk;
        devices.push_back(std::move(probed));
    }
    if (options->device && devices.empty()) {
        std::fprintf(stderr, "smart-probe: no drive at index %u (found %u)\n", *options->device, index);
        allOk = false;
    }
    const std::string report = options->json ? JsonReport(devices) : TextReport(devices);
    std::fputs(report.c_str(), stdout);
    // JSON output stays one document; the polls go to standard error then.
    std::fputs(testOutput.c_str(), options->json ? stderr : stdout);
    FreeSmartDeviceList(list);
    return allOk ? 0 : 1;
}
