// The control device: version, activity and unknown requests on both the
// fast I/O and the packet path, event registration and its lifetime, and
// what the control device refuses.
#include "BlinkorHarness.h"

namespace blinkor::test {
namespace {

class BlinkorControl : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        Build(StandardScenario());
    }
};

TEST_F(BlinkorControl, VersionNeedsFourBytes) {
    BYTE out[8];
    std::memset(out, 0xCC, sizeof out);
    auto result = Control(m_control, IOCTL_LED_GET_VERSION, nullptr, 0, out, 3);
    EXPECT_EQ(result.status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(result.information, 0u);
    EXPECT_EQ(out[0], 0xCC);

    result = Control(m_control, IOCTL_LED_GET_VERSION, nullptr, 0, out, 4);
    EXPECT_EQ(result.status, STATUS_SUCCESS);
    EXPECT_TRUE(result.fast_io);
    EXPECT_EQ(result.information, 4u);
    ULONG version = 0;
    std::memcpy(&version, out, 4);
    EXPECT_EQ(version, 0x12345678u);
    EXPECT_EQ(out[4], 0xCC);
}

TEST_F(BlinkorControl, BadRequestsAreRefused) {
    BYTE out[16] = {};
    const ULONG unknown = CTL_CODE(0x8042, 0x848, METHOD_BUFFERED, FILE_READ_ACCESS);
    struct Case {
        ULONG code;
        ULONG output_length;
        NTSTATUS status;
    };
    const Case cases[] = {
        {unknown, sizeof out, STATUS_INVALID_DEVICE_REQUEST},
        {IOCTL_LED_GET_ACTIVITY, 7, STATUS_INVALID_PARAMETER},
        {IOCTL_LED_GET_DRIVES, 0, STATUS_INVALID_PARAMETER},
        {IOCTL_LED_DUMP_STATE, 0, STATUS_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        const auto result = Control(m_control, c.code, nullptr, 0, c.output_length ? out : nullptr, c.output_length);
        EXPECT_EQ(result.status, c.status) << std::hex << c.code;
        EXPECT_EQ(result.information, 0u) << std::hex << c.code;
    }
    const ULONG short_handle[1] = {0};
    EXPECT_EQ(Control(m_control, IOCTL_LED_SET_CHANGE_EVENT, short_handle, 3, nullptr, 0).status,
              STATUS_INVALID_PARAMETER);
}

TEST_F(BlinkorControl, RefusesFileRequests) {
    for (UCHAR major : {IRP_MJ_READ, IRP_MJ_WRITE, IRP_MJ_FLUSH_BUFFERS, IRP_MJ_DIRECTORY_CONTROL}) {
        const IO_STATUS_BLOCK iosb = kern::SendFileRequest(m_control, {major, 0, 0, 16, {}});
        EXPECT_EQ(iosb.Status, STATUS_INVALID_DEVICE_REQUEST) << int(major);
        EXPECT_EQ(iosb.Information, 0u) << int(major);
    }
}

TEST_F(BlinkorControl, ThePacketPathAnswersLikeTheFastPath) {
    PVOID object = nullptr;
    ASSERT_EQ(kern::LookupObject(u"\\FileSystem\\Filters\\Blinkor", &object, nullptr), STATUS_SUCCESS);
    auto* control = static_cast<PDEVICE_OBJECT>(object);
    for (ULONG code : {IOCTL_LED_GET_VERSION, IOCTL_LED_GET_ACTIVITY, IOCTL_LED_GET_DRIVES, IOCTL_LED_DUMP_STATE}) {
        std::vector<BYTE> fast(2048, 0xCC), packet(2048, 0xCC);
        const auto expected = Control(m_control, code, nullptr, 0, fast.data(), ULONG(fast.size()));
        ASSERT_TRUE(expected.fast_io) << std::hex << code;
        KEVENT done;
        KeInitializeEvent(&done, NotificationEvent, FALSE);
        IO_STATUS_BLOCK iosb{};
        PIRP irp = IoBuildDeviceIoControlRequest(code, control, nullptr, 0, packet.data(), ULONG(packet.size()), FALSE,
                                                 &done, &iosb);
        ASSERT_NE(irp, nullptr);
        if (IoCallDriver(control, irp) == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        EXPECT_EQ(iosb.Status, expected.status) << std::hex << code;
        EXPECT_EQ(iosb.Information, expected.information) << std::hex << code;
        EXPECT_EQ(packet, fast) << std::hex << code;
    }
    ObDereferenceObject(control);
}

TEST_F(BlinkorControl, NoActivityGivesZeroMasks) {
    const ACTIVITY_MASKS masks = Activity();
    EXPECT_EQ(masks.ReadMask, 0u);
    EXPECT_EQ(masks.WriteMask, 0u);
}

TEST_F(BlinkorControl, OneRegistrationPerSlotUntilCleared) {
    const ULONG first = m_client->NewEvent();
    const ULONG second = m_client->NewEvent();
    for (ULONG code : {IOCTL_LED_SET_CHANGE_EVENT, IOCTL_LED_SET_ACTIVITY_EVENT}) {
        EXPECT_EQ(Register(m_control, code, first), STATUS_SUCCESS);
        EXPECT_EQ(Register(m_control, code, second), STATUS_ALREADY_COMMITTED);
        EXPECT_EQ(Register(m_control, code, 0), STATUS_SUCCESS);
        EXPECT_EQ(Register(m_control, code, second), STATUS_SUCCESS);
    }
    // The registered events are the second ones.
    EXPECT_EQ(Run("label C: OTHER"), STATUS_SUCCESS);
    EXPECT_EQ(m_client->Signals(first), 0);
    EXPECT_GT(m_client->Signals(second), 0);
}

TEST_F(BlinkorControl, BadHandleLeavesTheSlotEmpty) {
    EXPECT_EQ(Register(m_control, IOCTL_LED_SET_CHANGE_EVENT, 0x999), STATUS_INVALID_HANDLE);
    const ULONG event = m_client->NewEvent();
    EXPECT_EQ(Register(m_control, IOCTL_LED_SET_CHANGE_EVENT, event), STATUS_SUCCESS);
}

TEST_F(BlinkorControl, LastCloseDropsBothRegistrations) {
    PFILE_OBJECT second = Open();
    const ULONG change = m_client->NewEvent();
    const ULONG activity = m_client->NewEvent();
    ASSERT_EQ(Register(m_control, IOCTL_LED_SET_CHANGE_EVENT, change), STATUS_SUCCESS);
    ASSERT_EQ(Register(m_control, IOCTL_LED_SET_ACTIVITY_EVENT, activity), STATUS_SUCCESS);

    Close(m_control);  // another handle is still open: the registrations stay
    EXPECT_EQ(Register(second, IOCTL_LED_SET_CHANGE_EVENT, m_client->NewEvent()), STATUS_ALREADY_COMMITTED);

    Close(second);
    m_control = Open();
    EXPECT_EQ(Run("read C:"), STATUS_SUCCESS);
    EXPECT_EQ(m_client->Signals(activity), 0);
    EXPECT_EQ(Register(m_control, IOCTL_LED_SET_CHANGE_EVENT, m_client->NewEvent()), STATUS_SUCCESS);
    EXPECT_EQ(Register(m_control, IOCTL_LED_SET_ACTIVITY_EVENT, m_client->NewEvent()), STATUS_SUCCESS);
}

TEST(BlinkorDriverEntry, FallsBackToTheSecondNameWithoutTheFiltersDirectory) {
    kern::sim::Machine machine;
    kern::sim::MachineSpec spec;
    std::string error;
    ASSERT_TRUE(kern::sim::ParseScenario(R"({"filters_directory": false})", &spec, &error)) << error;
    spec.modules = {{BLINKOR_MODULE_PATH, u"\\FileSystem\\Blinkor"}};
    ASSERT_EQ(machine.Build(spec, "", &error), STATUS_SUCCESS) << error;
    EXPECT_EQ(kern::ResolveLinkChain(u"\\DosDevices\\Blinkor"), u"\\FileSystem\\BlinkorCDO");
}

TEST(BlinkorDriverEntry, UndoesEverythingWhenTheFastIoTableCannotBeAllocated) {
    kern::ResetKernel();
    kern::InjectPoolFailures(POOL_TAG("LMon"), 1);
    PDRIVER_OBJECT driver = nullptr;
    std::string why;
    EXPECT_EQ(kern::LoadDriverModule(BLINKOR_MODULE_PATH, u"\\FileSystem\\Blinkor", &driver, &why),
              STATUS_INSUFFICIENT_RESOURCES)
        << why;
    PVOID object = nullptr;
    EXPECT_NE(kern::LookupObject(u"\\DosDevices\\Blinkor", &object, nullptr), STATUS_SUCCESS);
    EXPECT_NE(kern::LookupObject(u"\\FileSystem\\Filters\\Blinkor", &object, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(kern::PoolLeakReport(), "");
}

}  // namespace
}  // namespace blinkor::test
