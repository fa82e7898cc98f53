// Device stacks, the object namespace and file-system registration: attach
// goes to the top of a stack, detach and delete keep pointers sound, links
// resolve in chains, names are reported as NT reports them.
#include <vector>

#include "kernel_test_support.h"

namespace {

NTSTATUS Nothing(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

std::vector<std::pair<PDEVICE_OBJECT, PDEVICE_OBJECT>> g_detaches;
std::vector<std::pair<PDEVICE_OBJECT, BOOLEAN>> g_notifications;

VOID RecordDetach(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
    g_detaches.emplace_back(source, target);
    IoDetachDevice(target);
    IoDeleteDevice(source);
}

VOID RecordNotification(PDEVICE_OBJECT device, BOOLEAN active) { g_notifications.emplace_back(device, active); }

class DeviceTest : public ktest::KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        g_detaches.clear();
        g_notifications.clear();
        m_driver = MakeDriver(u"\\Driver\\Test", Nothing);
    }

    // The name a symbolic link at `name` ends at, walked with the Zw calls a
    // driver uses.
    static std::u16string FollowWithZw(std::u16string name) {
        for (int i = 0; i < 10; ++i) {
            UNICODE_STRING us{USHORT(name.size() * 2), USHORT(name.size() * 2), name.data()};
            OBJECT_ATTRIBUTES oa;
            InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
            HANDLE link = nullptr;
            if (!NT_SUCCESS(ZwOpenSymbolicLinkObject(&link, GENERIC_READ, &oa))) return name;
            WCHAR buffer[300];
            UNICODE_STRING target{0, sizeof(buffer), buffer};
            const NTSTATUS status = ZwQuerySymbolicLinkObject(link, &target, nullptr);
            ZwClose(link);
            if (!NT_SUCCESS(status)) return name;
            name = kern::ToU16(&target);
        }
        return name;
    }

    PDRIVER_OBJECT m_driver = nullptr;
};

TEST_F(DeviceTest, AttachGoesToTheTopOfTheStackAndGrowsItsDepth) {
    PDEVICE_OBJECT base = MakeDevice(m_driver);
    PDEVICE_OBJECT first = MakeDevice(m_driver);
    PDEVICE_OBJECT second = MakeDevice(m_driver);
    EXPECT_EQ(IoAttachDeviceToDeviceStack(first, base), base);
    EXPECT_EQ(IoAttachDeviceToDeviceStack(second, base), first);  // lands above `first`, not on `base`
    EXPECT_EQ(second->StackSize, 3);
    EXPECT_EQ(IoGetAttachedDevice(base), second);
    IoDetachDevice(first);
    EXPECT_EQ(first->AttachedDevice, nullptr);
    EXPECT_EQ(IoGetAttachedDevice(base), first);
    EXPECT_EQ(IoAttachDeviceToDeviceStack(second, base), first) << "a detached device may attach again";
}

TEST_F(DeviceTest, InjectedAttachFailuresAreCountedDown) {
    PDEVICE_OBJECT base = MakeDevice(m_driver);
    PDEVICE_OBJECT filter = MakeDevice(m_driver);
    kern::InjectAttachFailures(base, 2);
    EXPECT_EQ(IoAttachDeviceToDeviceStack(filter, base), nullptr);
    EXPECT_EQ(IoAttachDeviceToDeviceStack(filter, base), nullptr);
    EXPECT_EQ(IoAttachDeviceToDeviceStack(filter, base), base);
}

TEST_F(DeviceTest, DeletingADeviceOffersFastIoDetachToTheDeviceAbove) {
    static FAST_IO_DISPATCH table;
    table = {};
    table.SizeOfFastIoDispatch = sizeof(table);
    table.FastIoDetachDevice = RecordDetach;
    PDRIVER_OBJECT filter_driver = MakeDriver(u"\\Driver\\Filter", Nothing);
    filter_driver->FastIoDispatch = &table;
    PDEVICE_OBJECT volume = MakeDevice(m_driver);
    PDEVICE_OBJECT filter = MakeDevice(filter_driver);
    ASSERT_EQ(IoAttachDeviceToDeviceStack(filter, volume), volume);
    IoDeleteDevice(volume);
    ASSERT_EQ(g_detaches.size(), 1u);
    EXPECT_EQ(g_detaches[0].first, filter);
    EXPECT_EQ(g_detaches[0].second, volume);
    EXPECT_FALSE(kern::IsLiveDevice(filter));
    EXPECT_EQ(filter_driver->DeviceObject, nullptr);
}

TEST_F(DeviceTest, ADeviceDeletedUnderAStayingFilterStaysReadableUntilDetached) {
    PDEVICE_OBJECT volume = MakeDevice(m_driver);
    PDEVICE_OBJECT filter = MakeDevice(m_driver);  // its driver has no fast I/O detach
    IoAttachDeviceToDeviceStack(filter, volume);
    IoDeleteDevice(volume);
    EXPECT_FALSE(kern::IsLiveDevice(volume));
    EXPECT_EQ(volume->AttachedDevice, filter);  // memory still valid
    IoDetachDevice(volume);  // frees it
    EXPECT_EQ(IoGetAttachedDevice(filter), filter);
}

TEST_F(DeviceTest, NamedDevicesNeedTheirDirectory) {
    UNICODE_STRING name = Us(u"\\FileSystem\\Filters\\Probe");
    PDEVICE_OBJECT device = nullptr;
    EXPECT_EQ(IoCreateDevice(m_driver, 0, &name, 0x8042, 0, FALSE, &device), STATUS_SUCCESS);
    EXPECT_EQ(IoCreateDevice(m_driver, 0, &name, 0x8042, 0, FALSE, &device), STATUS_OBJECT_NAME_COLLISION);
    kern::ResetKernel({5, 1, 2600, /*filters_directory=*/false});
    m_driver = MakeDriver(u"\\Driver\\Test", Nothing);
    EXPECT_EQ(IoCreateDevice(m_driver, 0, &name, 0x8042, 0, FALSE, &device), STATUS_OBJECT_PATH_NOT_FOUND);
    EXPECT_EQ(device, nullptr);
}

TEST_F(DeviceTest, LinkChainsResolveToTheDeviceName) {
    MakeDevice(m_driver, u"\\Device\\HarddiskVolume3", FILE_DEVICE_DISK);
    ASSERT_EQ(kern::CreateDirectoryPath(u"\\Device\\Harddisk1"), STATUS_SUCCESS);
    UNICODE_STRING partition = Us(u"\\Device\\Harddisk1\\Partition2"), volume = Us(u"\\Device\\HarddiskVolume3");
    UNICODE_STRING letter = Us(u"\\DosDevices\\Q:");  // \DosDevices is itself a link to \??
    ASSERT_EQ(IoCreateSymbolicLink(&partition, &volume), STATUS_SUCCESS);
    ASSERT_EQ(IoCreateSymbolicLink(&letter, &partition), STATUS_SUCCESS);
    EXPECT_EQ(FollowWithZw(u"\\??\\Q:"), u"\\Device\\HarddiskVolume3");
    EXPECT_EQ(kern::ResolveLinkChain(u"\\??\\q:"), u"\\Device\\HarddiskVolume3");
    EXPECT_EQ(FollowWithZw(u"\\??\\R:"), u"\\??\\R:");
    UNICODE_STRING device_name = Us(u"\\Device\\HarddiskVolume3");
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &device_name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE h = nullptr;
    EXPECT_EQ(ZwOpenSymbolicLinkObject(&h, GENERIC_READ, &oa), STATUS_OBJECT_TYPE_MISMATCH);
    EXPECT_EQ(ZwClose(reinterpret_cast<HANDLE>(0x1234)), STATUS_INVALID_HANDLE);
}

TEST_F(DeviceTest, LinkQueryReportsTheNeededSizeWhenTheBufferIsShort) {
    UNICODE_STRING letter = Us(u"\\??\\Q:"), target = Us(u"\\Device\\Somewhere");
    ASSERT_EQ(IoCreateSymbolicLink(&letter, &target), STATUS_SUCCESS);
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &letter, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE h = nullptr;
    ASSERT_EQ(ZwOpenSymbolicLinkObject(&h, GENERIC_READ, &oa), STATUS_SUCCESS);
    WCHAR small[4] = {0xCCCC, 0xCCCC, 0xCCCC, 0xCCCC};
    UNICODE_STRING out{0, sizeof(small), small};
    ULONG needed = 0;
    EXPECT_EQ(ZwQuerySymbolicLinkObject(h, &out, &needed), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(needed, target.Length + sizeof(WCHAR));
    EXPECT_EQ(small[0], 0xCCCC) << "nothing written on failure";
    ZwClose(h);
}

TEST_F(DeviceTest, ObjectNamesAreReportedWithTheirCountedString) {
    PDEVICE_OBJECT named = MakeDevice(m_driver, u"\\Device\\Named");
    alignas(8) BYTE buffer[256];
    std::memset(buffer, 0xCC, sizeof(buffer));
    auto* info = reinterpret_cast<POBJECT_NAME_INFORMATION>(buffer);
    ULONG needed = 0;
    EXPECT_EQ(ObQueryNameString(named, info, 8, &needed), STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(needed, sizeof(OBJECT_NAME_INFORMATION) + 13 * 2 + 2);
    ASSERT_EQ(ObQueryNameString(named, info, sizeof(buffer), &needed), STATUS_SUCCESS);
    EXPECT_EQ(kern::ToU16(&info->Name), u"\\Device\\Named");
    ASSERT_EQ(ObQueryNameString(m_driver, info, sizeof(buffer), &needed), STATUS_SUCCESS);
    EXPECT_EQ(kern::ToU16(&info->Name), u"\\Driver\\Test");
    ASSERT_EQ(ObQueryNameString(MakeDevice(m_driver), info, sizeof(buffer), &needed), STATUS_SUCCESS);
    EXPECT_EQ(info->Name.Length, 0) << "an unnamed device has an empty name";
}

TEST_F(DeviceTest, RegistrationReportsActiveFileSystemsAtOnceThenChanges) {
    PDEVICE_OBJECT ntfs = MakeDevice(m_driver, u"\\Ntfs");
    PDEVICE_OBJECT cdfs = MakeDevice(m_driver, u"\\Cdfs", FILE_DEVICE_CD_ROM_FILE_SYSTEM);
    IoRegisterFileSystem(ntfs);
    IoRegisterFileSystem(cdfs);
    ASSERT_EQ(IoRegisterFsRegistrationChange(m_driver, RecordNotification), STATUS_SUCCESS);
    EXPECT_EQ(g_notifications, (std::vector<std::pair<PDEVICE_OBJECT, BOOLEAN>>{{ntfs, TRUE}, {cdfs, TRUE}}));
    IoUnregisterFileSystem(ntfs);
    IoUnregisterFileSystem(ntfs);  // a second time is not news
    PDEVICE_OBJECT fat = MakeDevice(m_driver, u"\\Fat");
    IoRegisterFileSystem(fat);
    EXPECT_EQ(g_notifications.size(), 4u);
    EXPECT_EQ(g_notifications[2], std::make_pair(ntfs, BOOLEAN(FALSE)));
    EXPECT_EQ(g_notifications[3], std::make_pair(fat, BOOLEAN(TRUE)));
}

}  // namespace
