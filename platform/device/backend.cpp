#include "device/backend.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "device/linux_backend.h"
#include "device/sim_machine.h"

namespace plat::device {
namespace {

std::mutex g_mutex;
std::shared_ptr<Backend> g_backend;  // guarded by g_mutex

}  // namespace

BackendChoice BackendFromEnvironment() {
    const char* value = std::getenv("LUMETRA_DEVICES");
    const std::string choice = value ? value : "";
    if (choice.empty()) return {MakeLinuxBackend(), {}};
    if (choice == "default") return {SimMachine::Default(), {}};
    std::string error;
    if (auto machine = SimMachine::FromFile(choice, &error)) return {std::move(machine), {}};
    return {SimMachine::Empty(), error};
}

std::shared_ptr<Backend> ActiveBackend() {
    std::lock_guard lock(g_mutex);
    if (!g_backend) {
        BackendChoice choice = BackendFromEnvironment();
        if (!choice.error.empty()) std::fprintf(stderr, "LUMETRA_DEVICES: %s\n", choice.error.c_str());
        g_backend = std::move(choice.backend);
    }
    return g_backend;
}

std::shared_ptr<Backend> InstallBackend(std::shared_ptr<Backend> backend) {
    std::lock_guard lock(g_mutex);
    std::swap(g_backend, backend);
    return backend;
}

ScopedBackend::ScopedBackend(std::shared_ptr<Backend> backend) : m_previous(InstallBackend(std::move(backend))) {}

ScopedBackend::~ScopedBackend() { InstallBackend(std::move(m_previous)); }

}  // namespace plat::device
