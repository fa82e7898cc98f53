// A kernel host in this process serving a simulated machine with a fixed
// disk C: (mounted at /), a CD-ROM E: (mounted at /media/disc) and a
// removable disk F:, reached through the Win32 calls as the GUI does.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "kernel/host/kernel_server.h"
#include "kernel/kernel.h"
#include "kernel/sim/machine.h"

namespace cmdtest {

inline const char* const kMachine = R"({
  "file_systems": [{"name": "Ntfs"}, {"name": "Cdfs", "type": "cdrom"}],
  "storage": [
    {"name": "\\Device\\HarddiskVolume1",
     "volume": {"file_system": "Ntfs", "total_bytes": 4096000, "free_bytes": 1024000, "mount_point": "/"}},
    {"name": "\\Device\\CdRom0", "type": "cdrom", "removable": true,
     "volume": {"file_system": "Cdfs", "label": "DISC", "total_bytes": 700000, "free_bytes": 0,
                "mount_point": "/media/disc"}},
    {"name": "\\Device\\HarddiskVolume2", "removable": true,
     "volume": {"file_system": "Ntfs", "total_bytes": 2048000, "free_bytes": 1024000}}
  ],
  "links": {"\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\E:": "\\Device\\CdRom0",
            "\\??\\F:": "\\Device\\HarddiskVolume2"},
  "modules": []
})";

class SimulatedMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        kern::ResetKernel();
        kern::sim::MachineSpec spec;
        std::string error;
        ASSERT_TRUE(kern::sim::ParseScenario(kMachine, &spec, &error)) << error;
        ASSERT_EQ(m_machine.Build(spec, "", &error), STATUS_SUCCESS) << error;
        static int counter = 0;
        m_path = ::testing::TempDir() + "commands-kernel-" + std::to_string(getpid()) + "-" +
                 std::to_string(++counter) + ".sock";
        ::setenv("LUMETRA_KERNEL_SOCKET", m_path.c_str(), 1);
        ASSERT_TRUE(m_server.Listen(m_path, &error)) << error;
        m_server.Start();
    }
    void TearDown() override {
        m_server.Stop();
        ::unsetenv("LUMETRA_KERNEL_SOCKET");
    }

    kern::sim::Machine m_machine;
    khost::KernelServer m_server{&m_machine};
    std::string m_path;
};

}  // namespace cmdtest
