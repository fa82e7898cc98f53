// Ejecting media through a kernel host in this process.
#include "commands/MediaEject.h"

#include <atomic>
#include <future>
#include <sstream>

#include "base/clock.h"
#include "base/clock_advancer.h"
#include "base/last_error.h"
#include "kernel/client/device_files.h"
#include "kernel/ntddk.h"
#include "SimulatedMachine.h"

namespace {

// A filter above E:'s volume that counts the lock requests passing through
// it; its extension holds the device below.
std::atomic<int> g_lockRequests{0};

NTSTATUS PassCountingLocks(PDEVICE_OBJECT filter, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MajorFunction == IRP_MJ_FILE_SYSTEM_CONTROL && stack->MinorFunction == IRP_MN_USER_FS_REQUEST &&
        stack->Parameters.FileSystemControl.FsControlCode == FSCTL_LOCK_VOLUME)
        ++g_lockRequests;
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(*static_cast<PDEVICE_OBJECT*>(filter->DeviceExtension), irp);
}

NTSTATUS AttachLockCounter(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (auto& dispatch : driver->MajorFunction) dispatch = PassCountingLocks;
    std::u16string name = u"\\Device\\CdRom0";
    UNICODE_STRING n{USHORT(name.size() * 2), USHORT(name.size() * 2), name.data()};
    PFILE_OBJECT file = nullptr;
    PDEVICE_OBJECT volume = nullptr;
    NTSTATUS status = IoGetDeviceObjectPointer(&n, FILE_READ_ATTRIBUTES, &file, &volume);
    if (!NT_SUCCESS(status)) return status;
    ObDereferenceObject(file);
    PDEVICE_OBJECT filter = nullptr;
    status = IoCreateDevice(driver, sizeof(PDEVICE_OBJECT), nullptr, volume->DeviceType, 0, FALSE, &filter);
    if (!NT_SUCCESS(status)) return status;
    PDEVICE_OBJECT lower = IoAttachDeviceToDeviceStack(filter, volume);
    if (!lower) return STATUS_UNSUCCESSFUL;
    *static_cast<PDEVICE_OBJECT*>(filter->DeviceExtension) = lower;
    filter->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

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
    PDRIVER_OBJECT counter = nullptr;
    ASSERT_EQ(kern::CreateDriver(u"\\FileSystem\\LockCounter", AttachLockCounter, &counter), STATUS_SUCCESS);
    g_lockRequests = 0;
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
    EXPECT_EQ(g_lockRequests, cmd::kEjectLockAttempts);
    const std::uint64_t waited = clock->TickMs() - start;
    EXPECT_GE(waited, (cmd::kEjectLockAttempts - 1) * cmd::kEjectLockPauseMs);
    EXPECT_EQ(m_out.str(), "") << "nothing is written";
    EXPECT_TRUE(HasMedium(u"E:\\"));
    CloseHandle(other);
    EXPECT_EQ(cmd::EjectMedia(u'E', m_out), cmd::EjectOutcome::Ejected) << "once the other program let go";
    EXPECT_EQ(g_lockRequests, cmd::kEjectLockAttempts + 1) << "locked at the first attempt";
}

}  // namespace
