// Fast I/O entries called directly, as the I/O manager and the cache
// manager call them: pass-through to the lower driver, the control device's
// refusals, and FastIoQueryOpen's request whose stack location is lent to
// the lower device.
#include "BlinkorHarness.h"

namespace blinkor::test {
namespace {

class BlinkorFastIo : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        Build(StandardScenario());
        m_filter = Machine().FilesOfLetter(u'C')->Device()->AttachedDevice;
        ASSERT_NE(m_filter, nullptr);
        m_table = m_filter->DriverObject->FastIoDispatch;
        ASSERT_EQ(kern::OpenFile(u"\\??\\C:\\f", GENERIC_READ, KernelMode, &m_file), STATUS_SUCCESS);
    }
    void TearDown() override {
        kern::CloseFile(m_file);
        DriverTest::TearDown();
    }
    int NtfsCalls(int entry) { return Machine().FindFileSystem(u"Ntfs")->FastIoCalls(entry); }

    PDEVICE_OBJECT m_filter = nullptr;
    PFAST_IO_DISPATCH m_table = nullptr;
    PFILE_OBJECT m_file = nullptr;
};

TEST_F(BlinkorFastIo, PassThroughReachesTheLowerDriverAndTheControlDeviceDeclines) {
    PDEVICE_OBJECT control = IoGetRelatedDeviceObject(m_control);
    EXPECT_EQ(m_table->AcquireForCcFlush(m_file, m_filter), STATUS_SUCCESS);
    EXPECT_EQ(NtfsCalls(26), 1);
    EXPECT_EQ(m_table->AcquireForCcFlush(m_file, control), STATUS_NOT_SUPPORTED);
    IO_STATUS_BLOCK iosb{};
    LARGE_INTEGER offset{}, length{};
    EXPECT_TRUE(m_table->FastIoLock(m_file, &offset, &length, nullptr, 0, FALSE, TRUE, &iosb, m_filter));
    EXPECT_FALSE(m_table->FastIoLock(m_file, &offset, &length, nullptr, 0, FALSE, TRUE, &iosb, control));
    EXPECT_EQ(NtfsCalls(6), 1);
    EXPECT_EQ(m_table->AcquireFileForNtCreateSection, nullptr);
}

TEST_F(BlinkorFastIo, QueryOpenLendsTheStackLocationAndCountsARead) {
    const ULONG activity = Watch(IOCTL_LED_SET_ACTIVITY_EVENT);
    PIRP irp = IoAllocateIrp(m_filter->StackSize, FALSE);
    IoSetNextIrpStackLocation(irp);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    stack->MajorFunction = IRP_MJ_CREATE;
    stack->FileObject = m_file;
    stack->DeviceObject = m_filter;
    FILE_NETWORK_OPEN_INFORMATION info{};
    EXPECT_TRUE(m_table->FastIoQueryOpen(irp, &info, m_filter));
    EXPECT_EQ(stack->DeviceObject, m_filter);
    EXPECT_EQ(NtfsCalls(24), 1);
    EXPECT_EQ(m_client->Signals(activity), 2);
    IoFreeIrp(irp);
}

}  // namespace
}  // namespace blinkor::test
