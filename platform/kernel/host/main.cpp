// lumetra-kernel: runs the kernel emulation, loads the driver modules and
// serves user-mode clients, with the simulated machine of a scenario or the
// real Linux machine it runs on.
//
//   lumetra-kernel [--scenario FILE | --real [--period MS]] [--socket PATH]
//                  [--socket-mode OCTAL] [--socket-group GROUP] [--driver-dir DIR]
#include <grp.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "kernel/host/kernel_server.h"
#include "kernel/real/real_machine.h"
#include "kernel/sim/machine.h"

namespace {

constexpr const char* kUsage =
    "usage: lumetra-kernel [--scenario FILE | --real [--period MS]] [--socket PATH]\n"
    "                      [--socket-mode OCTAL] [--socket-group GROUP] [--driver-dir DIR]\n"
    "\n"
    "  --scenario FILE   the simulated machine of FILE (default: the built-in one)\n"
    "  --real            this Linux machine: its mounted volumes with stable drive\n"
    "                    letters (HKLM\\SYSTEM\\MountedDevices), its network mounts,\n"
    "                    and their disk activity; the simulated machine's commands\n"
    "                    are refused. $LUMETRA_SYSTEM_ROOT, when set, is where its\n"
    "                    /proc, /sys and /run/udev files are read from.\n"
    "  --period MS       the activity sampler's period (default 20)\n"
    "  --socket-mode     permissions of the socket (default 0660); a client is\n"
    "                    served only when they admit it\n"
    "  --socket-group    group of the socket, for the users to admit\n";

std::string DefaultDriverDirectory(const char* argv0) {
    if (const char* env = std::getenv("LUMETRA_DRIVER_DIR"); env && *env) return env;
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0);
    // Installed, the modules sit in "drivers" beside the host; in the build
    // tree in lib/drivers beside bin/.
    const std::filesystem::path beside = exe.parent_path() / "drivers";
    if (std::filesystem::is_directory(beside, ec)) return beside.string();
    return (exe.parent_path().parent_path() / "lib" / "drivers").string();
}

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

struct Options {
    std::string scenario, socket = kwire::DefaultSocketPath(), driver_dir;
    bool real = false;
    long period_ms = long(kern::real::kDefaultSamplingPeriod.count());
    khost::SocketAccess access;
};

bool Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--real") {
            o->real = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        char* end = nullptr;
        if (arg == "--scenario") o->scenario = value;
        else if (arg == "--socket") o->socket = value;
        else if (arg == "--driver-dir") o->driver_dir = value;
        else if (arg == "--period") {
            o->period_ms = std::strtol(value.c_str(), &end, 10);
            if (*end || o->period_ms < 1 || o->period_ms > 1000) return false;
        } else if (arg == "--socket-mode") {
            o->access.mode = unsigned(std::strtoul(value.c_str(), &end, 8));
            if (*end || o->access.mode > 0777) return false;
        } else if (arg == "--socket-group") {
            const group* g = ::getgrnam(value.c_str());
            if (!g) return std::fprintf(stderr, "lumetra-kernel: no group %s\n", value.c_str()), false;
            o->access.group = long(g->gr_gid);
        } else {
            return false;
        }
    }
    return !(o->real && !o->scenario.empty());
}

// The machine the options name, built; null with a message on failure.
std::unique_ptr<kern::HostedMachine> BuildMachine(const Options& o, std::string* error) {
    if (o.real) {
        auto machine = std::make_unique<kern::real::RealMachine>();
        kern::real::RealMachineOptions options;
        options.system_root = kern::real::SystemFiles::RootFromEnvironment();
        options.driver_directory = o.driver_dir;
        options.period = std::chrono::milliseconds(o.period_ms);
        if (!NT_SUCCESS(machine->Build(options, error))) return nullptr;
        std::fprintf(stderr, "lumetra-kernel: the real machine; volume actions through %s\n", machine->ActionsName().c_str());
        return machine;
    }
    kern::sim::MachineSpec spec = kern::sim::DefaultScenario();
    if (!o.scenario.empty() && !kern::sim::LoadScenarioFile(o.scenario, &spec, error)) return nullptr;
    auto machine = std::make_unique<kern::sim::Machine>();
    if (!NT_SUCCESS(machine->Build(spec, o.driver_dir, error))) return nullptr;
    return machine;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    options.driver_dir = DefaultDriverDirectory(argv[0]);
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!Parse(argc, argv, &options)) return Usage();
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // every thread started below inherits the mask

    std::string error;
    std::unique_ptr<kern::HostedMachine> machine = BuildMachine(options, &error);
    if (!machine) {
        std::fprintf(stderr, "lumetra-kernel: %s\n", error.c_str());
        return 1;
    }
    khost::KernelServer server(machine.get());
    if (!server.Listen(options.socket, &error, options.access)) {
        std::fprintf(stderr, "lumetra-kernel: %s\n", error.c_str());
        return 1;
    }
    server.Start();
    std::printf("lumetra-kernel: ready on %s\n", options.socket.c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&signals, &signal);
    server.Stop();
    if (auto* real = dynamic_cast<kern::real::RealMachine*>(machine.get())) real->Stop();
    // Drivers without an unload routine keep their pool for the life of the
    // machine; the report tells those apart from blocks a driver lost.
    const std::string pool = kern::PoolLeakReport();
    if (!pool.empty()) std::fprintf(stderr, "lumetra-kernel: pool still allocated at exit:\n%s", pool.c_str());
    return 0;
}
