// Figures for the activity filter driver:
//  - file requests per second on a volume with and without the filter (the
//    cost of counting), in-process on the simulated machine;
//  - IOCTL_LED_GET_ACTIVITY round trips per second, in-process by fast I/O
//    and from a user process through lumetra-kernel.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/handle.h"
#include "blinkor/LedIoctl.h"
#include "kernel/client/device_files.h"
#include "kernel/io_requests.h"
#include "kernel/sim/machine.h"

extern char** environ;

namespace {

const char* const kScenario = R"({
  "file_systems": [{"name": "Ntfs"}],
  "storage": [{"name": "\\Device\\HarddiskVolume1", "volume": {"file_system": "Ntfs"}}],
  "links": {"\\??\\C:": "\\Device\\HarddiskVolume1"},
  "modules": [%s]
})";

using Clock = std::chrono::steady_clock;

template <typename Fn>
double PerSecond(int count, Fn&& fn) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) fn();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return count / seconds;
}

bool BuildMachine(kern::sim::Machine& machine, bool with_driver) {
    char text[1024];
    std::snprintf(text, sizeof text, kScenario, with_driver ? R"({"path": "blinkor.so"})" : "");
    kern::sim::MachineSpec spec;
    std::string error;
    if (!kern::sim::ParseScenario(text, &spec, &error) || !NT_SUCCESS(machine.Build(spec, BLINKOR_DRIVER_DIR, &error))) {
        std::fprintf(stderr, "bench_driver: %s\n", error.c_str());
        return false;
    }
    return true;
}

double ReadsPerSecond(bool with_driver, int count) {
    kern::sim::Machine machine;
    if (!BuildMachine(machine, with_driver)) return 0;
    PFILE_OBJECT file = nullptr;
    if (!NT_SUCCESS(kern::OpenFile(u"\\??\\C:\\bench.dat", GENERIC_READ, KernelMode, &file))) return 0;
    const kern::FileRequest read{IRP_MJ_READ, 0, 0, 512, {}};
    const double rate = PerSecond(count, [&] { kern::SendFileRequest(file, read); });
    kern::CloseFile(file);
    return rate;
}

double InProcessActivityPerSecond(int count) {
    kern::sim::Machine machine;
    if (!BuildMachine(machine, true)) return 0;
    PFILE_OBJECT control = nullptr;
    if (!NT_SUCCESS(kern::OpenFile(u"\\DosDevices\\Blinkor", GENERIC_READ, UserMode, &control))) return 0;
    ACTIVITY_MASKS masks{};
    const double rate = PerSecond(count, [&] {
        kern::DeviceControl(control, IOCTL_LED_GET_ACTIVITY, nullptr, 0, &masks, sizeof masks, UserMode);
    });
    kern::CloseFile(control);
    return rate;
}

// Starts lumetra-kernel on a private socket and measures a user process's
// activity polls through it.
double UserProcessActivityPerSecond(int count) {
    const std::string dir = std::filesystem::temp_directory_path() / ("bench-driver-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string socket = dir + "/kernel.sock", scenario = dir + "/scenario.json";
    char text[1024];
    std::snprintf(text, sizeof text, kScenario, R"({"path": "blinkor.so"})");
    std::ofstream(scenario) << text;
    int fds[2];
    if (pipe(fds) != 0) return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    const char* argv[] = {LUMETRA_KERNEL_PATH, "--scenario", scenario.c_str(), "--socket", socket.c_str(),
                          "--driver-dir", BLINKOR_DRIVER_DIR, nullptr};
    pid_t host = -1;
    posix_spawn(&host, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char ready[256] = {};
    const bool up = read(fds[0], ready, sizeof ready - 1) > 0;  // "lumetra-kernel: ready on ..."
    double rate = 0;
    if (up) {
        setenv("LUMETRA_KERNEL_SOCKET", socket.c_str(), 1);
        HANDLE device = CreateFileW(blinkor::kControlDevicePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    0, nullptr);
        if (device != INVALID_HANDLE_VALUE) {
            ACTIVITY_MASKS masks{};
            DWORD returned = 0;
            rate = PerSecond(count, [&] {
                DeviceIoControl(device, IOCTL_LED_GET_ACTIVITY, nullptr, 0, &masks, sizeof masks, &returned, nullptr);
            });
            CloseHandle(device);
        }
    }
    kill(host, SIGTERM);
    waitpid(host, nullptr, 0);
    close(fds[0]);
    std::filesystem::remove_all(dir);
    return rate;
}

}  // namespace

int main() {
    constexpr int kReads = 200000;
    const double plain = ReadsPerSecond(false, kReads);
    const double filtered = ReadsPerSecond(true, kReads);
    std::printf("reads per second, unfiltered volume:   %12.0f\n", plain);
    std::printf("reads per second, filtered volume:     %12.0f\n", filtered);
    if (filtered > 0) std::printf("filtered / unfiltered:                 %12.3f\n", filtered / plain);
    std::printf("activity polls per second, in-process: %12.0f\n", InProcessActivityPerSecond(kReads));
    std::printf("activity polls per second, user process via lumetra-kernel: %.0f\n",
                UserProcessActivityPerSecond(20000));
    return 0;
}
