// bench_gui: what the LED window costs.
//
//   1. One activity redraw on the headless backend, against the real driver
//      in an in-process kernel host, in microseconds: with one LED changed
//      (its piece drawn into the frame bitmap and copied to the window) and
//      without any change (nothing drawn).
//   2. lumex left running on a private Xvfb (with lumetra-kernel and sentrak
//      on their simulated defaults) at its 20 Hz redraw: its share of one
//      core and its peak resident memory, beside the goals.
//   3. The latency from a held read request to the lit LED on the screen.
//
// Usage: bench_gui [seconds]   (default 60, the length of measurement 2)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LUMEXGUIDlg.h"
#include "LumexDesktop.h"
#include "kernel/host/kernel_server.h"
#include "kernel/kernel.h"
#include "kernel/sim/machine.h"
#include "kernel/sim/scenario.h"
#include "resource/module.h"
#include "ui/framework_app.h"
#include "xvfb_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Measurement 1, in this process on the headless backend.
void RedrawCost() {
    const std::string dir = std::filesystem::temp_directory_path() / ("bench-gui-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    setenv("LUMETRA_ROOT", dir.c_str(), 1);
    setenv("LUMETRA_KERNEL_SOCKET", (dir + "/kernel.sock").c_str(), 1);
    kern::sim::MachineSpec spec = kern::sim::DefaultScenario();
    spec.modules = {{BLINKOR_MODULE_PATH, u"\\FileSystem\\Blinkor"}};
    kern::sim::Machine machine;
    std::string error;
    if (machine.Build(spec, "", &error) != STATUS_SUCCESS) {
        std::printf("redraw: the simulated machine did not start: %s\n", error.c_str());
        return;
    }
    khost::KernelServer server(&machine);
    if (!server.Listen(dir + "/kernel.sock", &error)) {
        std::printf("redraw: %s\n", error.c_str());
        return;
    }
    server.Start();
    HMODULE library = LoadLibraryW(plat::resource::WindowsPath(LUMEXRS_PATH).c_str());
    AfxSetResourceHandle(library);
    {
        settings::SettingsWriter writer;
        CLUMEXGUIDlg window(writer);
        window.m_Settings.SmartEnabled = 0;
        if (!window.Create(CLUMEXGUIDlg::kTemplate)) {
            std::printf("redraw: the window did not start\n");
            return;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        window.Threads().StopAll();  // this loop is the only poller
        constexpr int kFrames = 2000;
        machine.Execute({"hold", "C:", "read", "1"});
        auto start = Clock::now();
        for (int i = 0; i < kFrames; ++i) window.DriverLink().Poll();
        const double poll = Micros(Clock::now() - start) / kFrames;
        start = Clock::now();
        for (int i = 0; i < kFrames; ++i) window.RedrawActivity();
        const double unchanged = Micros(Clock::now() - start) / kFrames;
        // C: alternates between reading and idle: every frame redraws one LED.
        Clock::duration changed{};
        for (int i = 0; i < kFrames; ++i) {
            if (i % 2) machine.Execute({"hold", "C:", "read", "1"});
            else machine.Execute({"complete", "C:", "all"});
            window.DriverLink().Poll();
            const auto frame = Clock::now();
            window.RedrawActivity();
            changed += Clock::now() - frame;
        }
        std::printf("activity redraw (%dx%d window): %.1f us with one LED changed (drawn and presented), %.1f us "
                    "without a change; activity request through the host: %.1f us\n",
                    window.SkinWidth(), window.SkinHeight(), Micros(changed) / kFrames, unchanged, poll);
        machine.Execute({"complete", "C:", "all"});
        window.DestroyWindow();
    }
    AfxSetResourceHandle(nullptr);
    FreeLibrary(library);
    server.Stop();
    std::filesystem::remove_all(dir);
}

// CPU ticks (user + system) of a process.
long long CpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::stoll(f);
        if (i == 15) stime = std::stoll(f);
    }
    return utime + stime;
}

long PeakRssKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Milliseconds from `kctl hold C: read 1` until the LED shows the read look.
double LitLatencyMs(desktop::LumexDesktop& d, int x, int y) {
    const auto start = Clock::now();
    d.Kctl({"hold", "C:", "read", "1"});
    while (!desktop::LooksReading(d.Pixel(x, y))) {
        if (Clock::now() - start > std::chrono::seconds(5)) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    d.Kctl({"complete", "C:", "all"});
    const auto off = Clock::now();
    while (!desktop::LooksIdle(d.Pixel(x, y)) && Clock::now() - off < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ms;
}

// Measurements 2 and 3, with lumex as its own process on Xvfb.
void OnTheDesktop(int seconds) {
    if (!xvfbtest::HaveXvfb()) {
        std::printf("lumex on Xvfb: skipped, Xvfb is not installed\n");
        return;
    }
    desktop::LumexDesktop d({LUMEX_PATH, LUMETRA_KERNEL_PATH, LUMETRA_KCTL_PATH, SENTRAK_PATH});
    std::string error;
    if (!d.Start(&error)) {
        std::printf("lumex on Xvfb: %s\n", error.c_str());
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // past the start
    const long hz = sysconf(_SC_CLK_TCK);
    const long long before = CpuTicks(d.LumexPid());
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = double(CpuTicks(d.LumexPid()) - before) / double(hz);
    std::printf("lumex at 20 Hz for %d s: %.2f %% of one core (goal at most 0.7 %%; common 20 Hz desktop monitors "
                "1.3-1.4 %%)\n", seconds, 100.0 * cpu / wall);
    std::printf("lumex peak resident memory: %.1f MiB (goal at most 12 MiB; common monitors 14-21 MiB)\n",
                PeakRssKiB(d.LumexPid()) / 1024.0);
    std::vector<double> latencies;
    for (int i = 0; i < 10; ++i) {
        const double ms = LitLatencyMs(d, desktop::kFirstLedProbeX, desktop::kFirstLedProbeY);
        if (ms >= 0) latencies.push_back(ms);
    }
    if (latencies.empty()) {
        std::printf("held request to lit LED: the LED never lit\n");
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("held request to lit LED on screen: median %.1f ms, max %.1f ms over %zu requests "
                "(one poll is 50 ms)\n", latencies[latencies.size() / 2], latencies.back(), latencies.size());
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    setenv("LUMETRA_UI_BACKEND", "headless", 1);
    RedrawCost();
    OnTheDesktop(seconds);
    return 0;
}
