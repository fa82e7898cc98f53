// Ejecting media through a kernel host in this process.
#include "commands/MediaEject.h"

#include <future>
#include <sstream>

#include "base/clock.h"
#include "base/clock_advancer.h"
#include "base/last_error.h"
#include "kernel/client/device_files.h"
#include "SimulatedMachine.h"

namespace {

class MediaEjectTest : public cmdtest::SimulatedMachineTest {
protected:
    static bool HasMedium(const char16_t* root) {
        ULARGE_INTEGER caller{}, total{}, free{};
        return GetDiskFreeSpaceExW(root, &caller, &total, &free) != FALSE;
    }

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
