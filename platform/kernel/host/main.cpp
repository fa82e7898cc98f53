// lumetra-kernel: runs the kernel emulation with its simulated machine, loads
// the driver modules the scenario names and serves user-mode clients.
//
//   lumetra-kernel [--scenario FILE] [--socket PATH] [--driver-dir DIR]
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "kernel/host/kernel_server.h"

namespace {

std::string DefaultDriverDirectory(const char* argv0) {
    if (const char* env = std::getenv("LUMETRA_DRIVER_DIR"); env && *env) return env;
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0);
    return (exe.parent_path().parent_path() / "lib" / "drivers").string();
}

int Usage() {
    std::fprintf(stderr, "usage: lumetra-kernel [--scenario FILE] [--socket PATH] [--driver-dir DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string scenario_path, socket_path = kwire::DefaultSocketPath(), driver_dir = DefaultDriverDirectory(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        if (arg == "--scenario") scenario_path = argv[++i];
        else if (arg == "--socket") socket_path = argv[++i];
        else if (arg == "--driver-dir") driver_dir = argv[++i];
        else return Usage();
    }
    kern::sim::MachineSpec spec = kern::sim::DefaultScenario();
    std::string error;
    if (!scenario_path.empty() && !kern::sim::LoadScenarioFile(scenario_path, &spec, &error)) {
        std::fprintf(stderr, "lumetra-kernel: %s\n", error.c_str());
        return 1;
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // every thread started below inherits the mask

    kern::sim::Machine machine;
    if (!NT_SUCCESS(machine.Build(spec, driver_dir, &error))) {
        std::fprintf(stderr, "lumetra-kernel: %s\n", error.c_str());
        return 1;
    }
    khost::KernelServer server(&machine);
    if (!server.Listen(socket_path, &error)) {
        std::fprintf(stderr, "lumetra-kernel: %s\n", error.c_str());
        return 1;
    }
    server.Start();
    std::printf("lumetra-kernel: ready on %s\n", socket_path.c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&signals, &signal);
    server.Stop();
    // Drivers without an unload routine keep their pool for the life of the
    // machine; the report tells those apart from blocks a driver lost.
    const std::string pool = kern::PoolLeakReport();
    if (!pool.empty()) std::fprintf(stderr, "lumetra-kernel: pool still allocated at exit:\n%s", pool.c_str());
    return 0;
}
