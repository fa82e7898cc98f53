// Counting requests in flight: which requests count and in which mask, the
// activity event at the idle/busy transitions only, failures, fast I/O with
// and without the lower entry, and label changes.
#include "BlinkorHarness.h"

namespace blinkor::test {
namespace {

using kern::sim::RequestClass;

class BlinkorAccount : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        Build(StandardScenario());
        m_activity = Watch(IOCTL_LED_SET_ACTIVITY_EVENT);
    }
    int ActivitySignals() const { return m_client->Signals(m_activity); }
    PFILE_OBJECT OpenFile(const std::u16string& path) {
        PFILE_OBJECT file = nullptr;
        EXPECT_EQ(kern::OpenFile(path, GENERIC_READ | GENERIC_WRITE, KernelMode, &file), STATUS_SUCCESS);
        return file;
    }

    ULONG m_activity = 0;
};

constexpr DWORD kC = 1u << 2;

TEST_F(BlinkorAccount, OverlappingReadsSetTheEventAtTheTransitionsOnly) {
    ASSERT_EQ(Run("hold C: read 2"), STATUS_SUCCESS);
    ACTIVITY_MASKS masks = Activity();
    EXPECT_EQ(masks.ReadMask, kC);
    EXPECT_EQ(masks.WriteMask, 0u);
    EXPECT_EQ(ActivitySignals(), 1);

    ASSERT_EQ(Run("complete C: read"), STATUS_SUCCESS);  // at DISPATCH_LEVEL
    masks = Activity();
    EXPECT_EQ(masks.ReadMask, 0u);
    EXPECT_EQ(ActivitySignals(), 2);
}

TEST_F(BlinkorAccount, FailedRequestsAreCountedDown) {
    ASSERT_EQ(Run("hold C: write 1"), STATUS_SUCCESS);
    EXPECT_EQ(Activity().WriteMask, kC);
    ASSERT_EQ(Run("complete C: write STATUS_IO_DEVICE_ERROR passive"), STATUS_SUCCESS);
    EXPECT_EQ(Activity().WriteMask, 0u);

    ASSERT_EQ(Run("fail D: read 1 STATUS_IO_DEVICE_ERROR"), STATUS_SUCCESS);
    EXPECT_EQ(Run("read D:"), STATUS_IO_DEVICE_ERROR);
    EXPECT_EQ(Activity().ReadMask, 0u);
    EXPECT_EQ(ActivitySignals(), 4);
}

TEST_F(BlinkorAccount, EachMajorFunctionCountsInItsClass) {
    struct Case {
        UCHAR major;
        RequestClass sim_class;
        DWORD read_mask, write_mask;
    };
    const Case cases[] = {
        {IRP_MJ_READ, RequestClass::Read, kC, 0},
        {IRP_MJ_QUERY_INFORMATION, RequestClass::Read, kC, 0},
        {IRP_MJ_QUERY_EA, RequestClass::Read, kC, 0},
        {IRP_MJ_QUERY_VOLUME_INFORMATION, RequestClass::Read, kC, 0},
        {IRP_MJ_QUERY_SECURITY, RequestClass::Read, kC, 0},
        {IRP_MJ_WRITE, RequestClass::Write, 0, kC},
        {IRP_MJ_SET_INFORMATION, RequestClass::Write, 0, kC},
        {IRP_MJ_SET_EA, RequestClass::Write, 0, kC},
        {IRP_MJ_FLUSH_BUFFERS, RequestClass::Write, 0, kC},
        {IRP_MJ_SET_VOLUME_INFORMATION, RequestClass::Write, 0, kC},
        {IRP_MJ_SET_SECURITY, RequestClass::Write, 0, kC},
        {IRP_MJ_DIRECTORY_CONTROL, RequestClass::Other, 0, 0},
    };
    PFILE_OBJECT file = OpenFile(u"\\??\\C:\\file.dat");
    ASSERT_NE(file, nullptr);
    auto& engine = Machine().FilesOfLetter(u'C')->Engine();
    for (const auto& c : cases) {
        engine.Hold(c.sim_class, 1);
        EXPECT_EQ(kern::StartFileRequest(file, {c.major, 0, 0, 64, {}}), STATUS_PENDING) << int(c.major);
        const ACTIVITY_MASKS masks = Activity();
        EXPECT_EQ(masks.ReadMask, c.read_mask) << int(c.major);
        EXPECT_EQ(masks.WriteMask, c.write_mask) << int(c.major);
        EXPECT_EQ(engine.CompleteHeld(RequestClass::Other, STATUS_SUCCESS), 1) << int(c.major);
        EXPECT_EQ(Activity().ReadMask | Activity().WriteMask, 0u) << int(c.major);
    }
    kern::CloseFile(file);
}

TEST_F(BlinkorAccount, AVolumeWithoutALetterSharesBit26) {
    PVOID object = nullptr;
    ASSERT_EQ(kern::LookupObject(u"\\Device\\HarddiskVolume7", &object, nullptr), STATUS_SUCCESS);
    auto* storage = static_cast<PDEVICE_OBJECT>(object);
    Machine().FindFileSystem(u"Ntfs")->VolumeOf(storage)->Engine().Hold(RequestClass::Read, 1);
    ObDereferenceObject(storage);
    PFILE_OBJECT file = OpenFile(u"\\Device\\HarddiskVolume7\\x");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(kern::StartFileRequest(file, {IRP_MJ_READ, 0, 0, 64, {}}), STATUS_PENDING);
    EXPECT_EQ(Activity().ReadMask, 1u << 26);
    Machine().FindFileSystem(u"Ntfs")->VolumeOf(storage)->Engine().CompleteHeld(RequestClass::Other, STATUS_SUCCESS);
    EXPECT_EQ(Activity().ReadMask, 0u);
    kern::CloseFile(file);
}

TEST_F(BlinkorAccount, FastIoCountsOnlyWhenTheLowerEntryExists) {
    Build(R"({
      "file_systems": [
        {"name": "Ntfs", "fast_io": "none"},
        {"name": "Short", "fast_io": ["FastIoRead", "FastIoWrite"], "fast_io_size": 8},
        {"name": "Cdfs", "type": "cdrom"}
      ],
      "storage": [
        {"name": "\\Device\\HarddiskVolume1", "volume": {"file_system": "Ntfs"}},
        {"name": "\\Device\\HarddiskVolume2", "volume": {"file_system": "Short"}},
        {"name": "\\Device\\CdRom0", "type": "cdrom", "volume": {"file_system": "Cdfs"}}
      ],
      "links": {"\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\D:": "\\Device\\HarddiskVolume2",
                "\\??\\E:": "\\Device\\CdRom0"}
    })");
    m_activity = Watch(IOCTL_LED_SET_ACTIVITY_EVENT);
    EXPECT_EQ(Run("fastio C: read"), STATUS_SUCCESS);  // declined: no entry
    EXPECT_EQ(Run("fastio D: read"), STATUS_SUCCESS);  // declined: the table is too short
    EXPECT_EQ(ActivitySignals(), 0);
    EXPECT_EQ(Machine().FindFileSystem(u"Short")->FastIoCalls(2), 0);

    int expected = 0;
    for (const char* kind : {"read", "write", "basic", "standard", "netopen"}) {
        EXPECT_EQ(Run(std::string("fastio E: ") + kind), STATUS_SUCCESS) << kind;
        expected += 2;  // busy, then idle again
        EXPECT_EQ(ActivitySignals(), expected) << kind;
    }
    EXPECT_EQ(Machine().FindFileSystem(u"Cdfs")->FastIoCalls(2), 1);  // FastIoRead reached the file system
    EXPECT_EQ(Activity().ReadMask | Activity().WriteMask, 0u);
}

TEST_F(BlinkorAccount, ALabelChangeSetsBothEvents) {
    const ULONG changes = Watch(IOCTL_LED_SET_CHANGE_EVENT);
    ASSERT_EQ(Run("label C: RENAMED"), STATUS_SUCCESS);
    const Drive* c = FindDrive(u'C');
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::u16string_view(c->record.Label), u"RENAMED");
    EXPECT_EQ(m_client->Signals(changes), 1);
    EXPECT_EQ(ActivitySignals(), 2);
}

}  // namespace
}  // namespace blinkor::test
