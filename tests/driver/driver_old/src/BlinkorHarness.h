// The driver on a simulated machine, in-process: the kernel emulation loads
// blinkor.so, builds a scenario, and the test talks to the control device as
// a user-mode client would and drives the machine with its commands.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "blinkor/LedIoctl.h"
#include "kernel/io_requests.h"
#include "kernel/kernel.h"
#include "kernel/sim/machine.h"
#include "kernel/sim/scenario.h"

namespace blinkor::test {

// The machine lumetra-kernel builds by default (disks C: and D:, a CD-ROM
// E:, a floppy A:, the recogniser, the redirector with network letter Z:),
// plus a volume without a letter and D: reached through a chain of links.
kern::sim::MachineSpec StandardScenario();

// A user-mode process whose events count how often the kernel set them.
class FakeClient final : public kern::ClientProcess {
public:
    ULONG NewEvent();
    void CloseEvent(ULONG handle);
    int Signals(ULONG handle) const;
    NTSTATUS CheckEventHandle(ULONG handle, ACCESS_MASK access) override;
    void SignalEvent(ULONG handle) override;
    std::string Describe() const override { return "test client"; }

private:
    mutable std::mutex m_lock;
    std::map<ULONG, int> m_events;  // handle -> times set
    ULONG m_next = 0x40;
};

struct Drive {
    DRIVE_RECORD record;
    std::u16string name;  // network letters
};

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds a new machine from scenario JSON (the blinkor module is added)
    // and opens the control device. A second build replaces the first.
    void Build(const std::string& scenario_json);
    void Build(kern::sim::MachineSpec spec);
    // Runs a machine command ("hold C: read 2") and returns its status.
    NTSTATUS Run(const std::string& command);

    // Opens the control device as this test's client; closed at tear-down
    // unless closed before with Close.
    PFILE_OBJECT Open();
    void Close(PFILE_OBJECT file);
    kern::ControlResult Control(PFILE_OBJECT file, ULONG code, const void* input, ULONG input_length, void* output,
                                ULONG output_length);
    NTSTATUS Register(PFILE_OBJECT file, ULONG code, ULONG handle);
    // Registers a new event of the client with `code` (change or activity)
    // and returns its handle.
    ULONG Watch(ULONG code);

    std::vector<Drive> Drives();
    const Drive* FindDrive(WCHAR letter);
    ACTIVITY_MASKS Activity();

    // Whether a blinkor filter sits directly above the file system's
    // control device.
    bool Filtered(std::u16string_view file_system);
    // Number of file-system filters and of volume filters in the dump.
    struct TreeCounts {
        LONG file_systems = 0;
        LONG volumes = 0;
    };
    TreeCounts CountFilters();

    // Number of live pool blocks with `tag` ("LMvn").
    static std::size_t LiveBlocks(const char (&tag)[5]);

    kern::sim::Machine& Machine() { return *m_machine; }

    std::unique_ptr<kern::sim::Machine> m_machine;
    std::shared_ptr<FakeClient> m_client = std::make_shared<FakeClient>();
    PFILE_OBJECT m_control = nullptr;  // opened by SetUp after Build

private:
    std::unique_ptr<kern::ScopedProcess> m_process;
    std::vector<PFILE_OBJECT> m_open;
};

}  // namespace blinkor::test
