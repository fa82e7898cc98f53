// The kernel host in a test's own process: a simulated machine built from a
// scenario, with the real blinkor driver loaded, served on a private socket
// that LUMETRA_KERNEL_SOCKET names, so the code under test reaches the driver
// through "\\.\Blinkor" exactly as lumex does.
#pragma once

#include <memory>
#include <string>

#include "kernel/host/kernel_server.h"
#include "kernel/sim/machine.h"
#include "kernel/sim/scenario.h"

namespace kerneltest {

class TestKernelHost {
public:
    // `socket` is where it serves; LUMETRA_KERNEL_SOCKET names it while the
    // object lives.
    explicit TestKernelHost(std::string socket);
    ~TestKernelHost();
    TestKernelHost(const TestKernelHost&) = delete;
    TestKernelHost& operator=(const TestKernelHost&) = delete;

    // Builds the machine (blinkor loaded unless `with_driver` is false) and
    // starts serving it; a second build replaces the first. False with
    // `error` set.
    bool Build(kern::sim::MachineSpec spec, bool with_driver, std::string* error);
    bool Build(const std::string& scenario_json, bool with_driver, std::string* error);
    // Runs a machine command ("hold C: read 2").
    kern::CommandResult Run(const std::string& command);
    // Stops serving: every client's connection breaks.
    void Stop();
    kern::sim::Machine& Machine() { return *m_machine; }

private:
    std::string m_socket;
    std::unique_ptr<kern::sim::Machine> m_machine;
    std::unique_ptr<khost::KernelServer> m_server;
};

}  // namespace kerneltest
