// Ejecting media through a kernel host in this process, whose simulated
// machine has a fixed disk C:, a CD-ROM E: and a removable disk F:.
#include "commands/MediaEject.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <future>
#include <sstream>

#include "base/clock.h"
#include "base/clock_advancer.h"
#include "base/last_error.h"
#include "kernel/client/device_files.h"
#include "kernel/host/kernel_server.h"
#include "kernel/kernel.h"
#include "kernel/sim/machine.h"

namespace {

const char* const kScenario = R"({
  "file_systems": [{"name": "Ntfs"}, {"name": "Cdfs", "type": "cdrom"}],
  "storage": [
    {"name": "\\Device\\HarddiskVolume1", "volume": {"file_system": "Ntfs", "total_bytes": 4096000, "free_bytes": 1024000}},
    {"name": "\\Device\\CdRom0", "type": "cdrom", "removable": true,
     "volume": {"file_system": "Cdfs", "label": "DISC", "total_bytes": 700000, "free_bytes": 0}},
    {"name": "\\Device\\HarddiskVolume2", "removable": true,
     "volume": {"file_system": "Ntfs", "total_bytes": 2048000, "free_bytes": 1024000}}
  ],
  "links": {"\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\E:": "\\Device\\CdRom0",
            "\\??\\F:": "\\Device\\HarddiskVolume2"},
  "modules": []
})";

class MediaEjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        kern::ResetKernel();
        kern::sim::MachineSpec spec;
        std::string error;
        ASSERT_TRUE(kern::sim::ParseScenario(kScenario, &spec, &error)) << error;
        ASSERT_EQ(m_machine.Build(spec, "", &error), STATUS_SUCCESS) << error;
        m_path = ::testing::TempDir() + "eject-" + std::to_string(getpid()) + ".sock";
        ::setenv("LUMETRA_KERNEL_SOCKET", m_path.c_str(), 1);
        ASSERT_TRUE(m_server.Listen(m_path, &error)) << error;
        m_server.Start();
    }
    void TearDown() override {
        m_server.Stop();
        ::unsetenv("LUMETRA_KERNEL_SOCKET");
    }
    static bool HasMedium(const char16_t* root) {
        ULARGE_INTEGER caller{}, total{}, free{};
        return GetDiskFreeSpaceExW(root, &caller, &total, &free) != FALSE;
    }

    kern::sim::Machine m_machine;
    khost::KernelServer m_server{&m_machine};
    std::string m_path;
    std::ostringstream m_out;
};

TEST_F(MediaEjectTest, ACdLeavesTheDriveAndTheMessageSaysSo) {
    ASSERT_TRUE(HasMedium(u"E:\\"));
    EXPECT_EQ(cmd::EjectMedia(u'E', m_out), cmd::EjectOutcome::Ejected);
    EXPECT_EQ(m_out.str(), "Media in Drive E has been ejected safely.\n");
    EXPECT_FALSE(HasMedium(u"E:\\")) << "the volume is dismounted and its medium gone";
    EXPECT_EQ(GetDriveTypeW(u"E:\\"), DRIVE_CDROM) << "the drive itself stays";
}

TEST_F(MediaEjectTest, ARemovableDiskIsEjectedAndAFixedOneRefused) {
    EXPECT_EQ(cmd::EjectMedia(u'F', m_out), cmd::EjectOutcome::Ejected);
    EXPECT_EQ(cmd::EjectMedia(u'C', m_out), cmd::EjectOutcome::WrongDriveType);
    EXPECT_EQ(cmd::EjectMedia(u'Q', m_out), cmd::EjectOutcome::WrongDriveType);
    EXPECT_EQ(m_out.str(),
              "Media in Drive F has been ejected safely.\n"
              "Cannot eject.  Drive type is incorrect.\n"
              "Cannot eject.  Drive type is incorrect.\n");
    EXPECT_TRUE(HasMedium(u"C:\\"));
}

TEST_F(MediaEjectTest, AVolumeAnotherProgramKeepsOpenIsTriedTwentyTimesAndKept) {
    HANDLE other = CreateFileW(u"\\\\.\\E:", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    plat::ScopedManualClock clock;
    const std::uint64_t start = clock->TickMs();
    cmd::EjectOutcome outcome;
    {
        plat::ClockAdvancer advancer(*clock, 100);
        outcome = std::async(std::launch::async, [this] { return cmd::EjectMedia(u'E', m_out); }).get();
    }
    EXPECT_EQ(outcome, cmd::EjectOutcome::NotLocked);
    const std::uint64_t waited = clock->TickMs() - start;
    EXPECT_GE(waited, (cmd::kEjectLockAttempts - 1) * cmd::kEjectLockPauseMs);
    EXPECT_EQ(m_out.str(), "") << "nothing is written";
    EXPECT_TRUE(HasMedium(u"E:\\"));
    CloseHandle(other);
    EXPECT_EQ(cmd::EjectMedia(u'E', m_out), cmd::EjectOutcome::Ejected) << "once the other program let go";
}

}  // namespace
