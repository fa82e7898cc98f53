// Completion semantics of request packets through a three-device stack:
// routine order, the invoke flags, STATUS_MORE_PROCESSING_REQUIRED,
// pending propagation, packet lifetime and the bug checks for misuse.
#include <string>
#include <vector>

#include "kernel_test_support.h"

namespace {

struct FilterExtension {
    PDEVICE_OBJECT lower;
    ULONG_PTR id;
    bool set_routine;
    UCHAR flags;  // SL_INVOKE_* for IoSetCompletionRoutine
};

std::vector<std::string> g_calls;
NTSTATUS g_bottomStatus = STATUS_SUCCESS;
bool g_bottomPends = false;
bool g_bottomCancels = false;
PIRP g_held = nullptr;
NTSTATUS g_answer[3] = {STATUS_SUCCESS, STATUS_SUCCESS, STATUS_SUCCESS};

NTSTATUS Bottom(PDEVICE_OBJECT, PIRP irp) {
    if (g_bottomPends) {
        IoMarkIrpPending(irp);
        g_held = irp;
        return STATUS_PENDING;
    }
    irp->Cancel = g_bottomCancels;
    irp->IoStatus.Status = g_bottomStatus;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return g_bottomStatus;
}

NTSTATUS OnComplete(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    const auto id = reinterpret_cast<ULONG_PTR>(context);
    const auto* ext = static_cast<FilterExtension*>(device->DeviceExtension);
    g_calls.push_back("complete " + std::to_string(id) + (irp->PendingReturned ? " pending" : "") +
                      (ext->id == id ? "" : " wrong-device"));
    if (irp->PendingReturned) IoMarkIrpPending(irp);
    g_held = irp;
    return g_answer[id];
}

NTSTATUS Filter(PDEVICE_OBJECT device, PIRP irp) {
    auto* ext = static_cast<FilterExtension*>(device->DeviceExtension);
    if (ext->set_routine) {
        IoCopyCurrentIrpStackLocationToNext(irp);
        IoSetCompletionRoutine(irp, OnComplete, reinterpret_cast<PVOID>(ext->id), ext->flags & SL_INVOKE_ON_SUCCESS,
                               ext->flags & SL_INVOKE_ON_ERROR, ext->flags & SL_INVOKE_ON_CANCEL);
    } else {
        IoSkipCurrentIrpStackLocation(irp);
    }
    return IoCallDriver(ext->lower, irp);
}

constexpr UCHAR kAll = SL_INVOKE_ON_SUCCESS | SL_INVOKE_ON_ERROR | SL_INVOKE_ON_CANCEL;

class CompletionTest : public ktest::KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        g_calls.clear();
        g_bottomStatus = STATUS_SUCCESS;
        g_bottomPends = g_bottomCancels = false;
        g_held = nullptr;
        for (auto& a : g_answer) a = STATUS_SUCCESS;
        m_bottom = MakeDevice(MakeDriver(u"\\Driver\\Bottom", Bottom));
        PDRIVER_OBJECT filters = MakeDriver(u"\\Driver\\Filters", Filter);
        m_middle = AddFilter(filters, 2);
        m_top = AddFilter(filters, 1);
        KeInitializeEvent(&m_done, NotificationEvent, FALSE);
    }

    PDEVICE_OBJECT AddFilter(PDRIVER_OBJECT driver, ULONG_PTR id) {
        PDEVICE_OBJECT device = MakeDevice(driver, u"", FILE_DEVICE_DISK_FILE_SYSTEM, sizeof(FilterExtension));
        auto* ext = static_cast<FilterExtension*>(device->DeviceExtension);
        ext->id = id;
        ext->set_routine = true;
        ext->flags = kAll;
        ext->lower = IoAttachDeviceToDeviceStack(device, m_bottom);
        return device;
    }

    FilterExtension* Ext(PDEVICE_OBJECT device) { return static_cast<FilterExtension*>(device->DeviceExtension); }

    NTSTATUS Send() {
        PIRP irp = IoBuildDeviceIoControlRequest(0x222000, m_top, nullptr, 0, nullptr, 0, FALSE, &m_done, &m_iosb);
        return IoCallDriver(m_top, irp);
    }

    bool Done() { return KeReadStateEvent(&m_done) != 0; }

    PDEVICE_OBJECT m_bottom = nullptr, m_middle = nullptr, m_top = nullptr;
    KEVENT m_done;
    IO_STATUS_BLOCK m_iosb;
};

TEST_F(CompletionTest, RoutinesRunFromTheBottomUpAndTheCallerHearsLast) {
    g_bottomStatus = STATUS_IO_DEVICE_ERROR;
    EXPECT_EQ(Send(), STATUS_IO_DEVICE_ERROR);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"complete 2", "complete 1"}));
    EXPECT_TRUE(Done());
    EXPECT_EQ(m_iosb.Status, STATUS_IO_DEVICE_ERROR);
    EXPECT_EQ(kern::LiveIrpCount(), 0u);
}

TEST_F(CompletionTest, InvokeFlagsChooseWhichOutcomesCallTheRoutine) {
    struct Case {
        NTSTATUS status;
        bool cancelled;
        UCHAR flags;
        bool called;
    };
    const Case cases[] = {
        {STATUS_SUCCESS, false, SL_INVOKE_ON_SUCCESS, true},
        {STATUS_SUCCESS, false, SL_INVOKE_ON_ERROR, false},
        {STATUS_IO_DEVICE_ERROR, false, SL_INVOKE_ON_ERROR, true},
        {STATUS_IO_DEVICE_ERROR, false, SL_INVOKE_ON_SUCCESS, false},
        {STATUS_BUFFER_OVERFLOW, false, SL_INVOKE_ON_ERROR, true},  // a warning is not success
        {STATUS_CANCELLED, true, SL_INVOKE_ON_CANCEL, true},
        {STATUS_CANCELLED, false, SL_INVOKE_ON_CANCEL, false},
    };
    for (const Case& c : cases) {
        g_calls.clear();
        KeClearEvent(&m_done);
        g_bottomStatus = c.status;
        g_bottomCancels = c.cancelled;
        Ext(m_middle)->flags = c.flags;
        Send();
        const bool called = !g_calls.empty() && g_calls[0] == "complete 2";
        EXPECT_EQ(called, c.called) << "status " << std::hex << c.status << " flags " << int(c.flags);
        EXPECT_TRUE(Done());
    }
}

TEST_F(CompletionTest, MoreProcessingRequiredStopsCompletionUntilCompletedAgain) {
    g_answer[2] = STATUS_MORE_PROCESSING_REQUIRED;
    Send();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"complete 2"}));
    EXPECT_FALSE(Done());
    EXPECT_EQ(kern::LiveIrpCount(), 1u);
    ASSERT_NE(g_held, nullptr);
    g_held->IoStatus.Status = STATUS_UNSUCCESSFUL;  // the holder decides the final status
    IoCompleteRequest(g_held, IO_NO_INCREMENT);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"complete 2", "complete 1"}));
    EXPECT_TRUE(Done());
    EXPECT_EQ(m_iosb.Status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(kern::LiveIrpCount(), 0u);
}

TEST_F(CompletionTest, PendingReturnedTravelsUpThroughLocationsWithoutRoutines) {
    g_bottomPends = true;
    Ext(m_middle)->set_routine = false;  // the middle driver only skips
    EXPECT_EQ(Send(), STATUS_PENDING);
    EXPECT_TRUE(g_calls.empty());
    g_held->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(g_held, IO_NO_INCREMENT);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"complete 1 pending"}));
    EXPECT_TRUE(Done());
}

TEST_F(CompletionTest, ImmediateCompletionIsNotMarkedPending) {
    Send();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"complete 2", "complete 1"}));
}

TEST_F(CompletionTest, CompletingTwiceIsABugCheck) {
    PIRP irp = IoAllocateIrp(m_top->StackSize, FALSE);  // the caller's packet: not freed at completion
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_READ;
    IoCallDriver(m_top, irp);
    EXPECT_EQ(g_calls.size(), 2u);
    EXPECT_THROW(IoCompleteRequest(irp, IO_NO_INCREMENT), kern::BugCheckError);
    IoFreeIrp(irp);
    EXPECT_EQ(kern::LiveIrpCount(), 0u);
}

TEST_F(CompletionTest, SendingBelowTheLastLocationIsABugCheck) {
    PIRP irp = IoAllocateIrp(1, FALSE);  // the stack needs three
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_READ;
    try {
        IoCallDriver(m_top, irp);
        FAIL() << "expected a bug check";
    } catch (const kern::BugCheckError& e) {
        EXPECT_EQ(e.code, NO_MORE_IRP_STACK_LOCATIONS);
    }
    IoFreeIrp(irp);
}

TEST_F(CompletionTest, CopyLeavesTheRoutineOfTheNextLocationUnset) {
    PIRP irp = IoAllocateIrp(2, FALSE);
    IoSetNextIrpStackLocation(irp);
    PIO_STACK_LOCATION current = IoGetCurrentIrpStackLocation(irp);
    current->MajorFunction = IRP_MJ_WRITE;
    current->Parameters.Write.Length = 77;
    current->CompletionRoutine = OnComplete;
    current->Control = SL_PENDING_RETURNED;
    IoCopyCurrentIrpStackLocationToNext(irp);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    EXPECT_EQ(next->MajorFunction, IRP_MJ_WRITE);
    EXPECT_EQ(next->Parameters.Write.Length, 77u);
    EXPECT_EQ(next->CompletionRoutine, nullptr);
    EXPECT_EQ(next->Control, 0);
    EXPECT_EQ(irp->CurrentLocation, 2);
    EXPECT_EQ(next + 1, current);
    IoFreeIrp(irp);
}

}  // namespace

namespace {

NTSTATUS Boastful(PDEVICE_OBJECT, PIRP irp) {
    std::memset(irp->AssociatedIrp.SystemBuffer, 0x5A, 8);
    irp->IoStatus.Status = STATUS_BUFFER_OVERFLOW;
    irp->IoStatus.Information = 64;  // more than the caller's 8 bytes
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_BUFFER_OVERFLOW;
}

using BufferTest = ktest::KernelTest;

TEST_F(BufferTest, BufferedResultsArriveForWarningsButNeverOverrunTheCaller) {
    PDEVICE_OBJECT device = MakeDevice(MakeDriver(u"\\Driver\\Boastful", Boastful));
    BYTE output[16];
    std::memset(output, 0xCC, sizeof(output));
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK iosb;
    PIRP irp = IoBuildDeviceIoControlRequest(0x222000, device, nullptr, 0, output, 8, FALSE, &done, &iosb);
    EXPECT_EQ(IoCallDriver(device, irp), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(iosb.Status, STATUS_BUFFER_OVERFLOW);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(output[i], 0x5A) << i;
    for (int i = 8; i < 16; ++i) EXPECT_EQ(output[i], 0xCC) << "guard byte " << i;
}

}  // namespace
