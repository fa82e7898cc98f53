// The drive list: what each volume and network letter reports, numbering
// from the storage answer or the storage name, letters through link chains,
// and lists that do not fit.
#include "BlinkorHarness.h"

namespace blinkor::test {
namespace {

class BlinkorDriveList : public DriverTest {};

TEST_F(BlinkorDriveList, ReportsEveryVolumeWithItsIdentity) {
    Build(StandardScenario());
    struct Expected {
        WCHAR letter;
        DWORD type, device, partition;
        BYTE removable;
        DWORD serial;
        std::u16string_view label;
    };
    const Expected expected[] = {
        {u'C', FILE_DEVICE_DISK, 0, 1, 0, 1122867, u"SYSTEM"},
        {u'D', FILE_DEVICE_DISK, 0, 2, 0, 2233978, u"DATA"},  // through a chain of two links
        {u'E', FILE_DEVICE_CD_ROM, 0, LED_PARTITION_UNKNOWN, 1, 3345089, u"DISC"},
        {u'A', LED_DEVICE_TYPE_FLOPPY, 0, LED_PARTITION_UNKNOWN, 1, 4456190, u""},
        {u'[', FILE_DEVICE_DISK, 7, LED_PARTITION_UNKNOWN, 0, 7, u"HIDDEN"},
    };
    for (const auto& e : expected) {
        const Drive* d = FindDrive(e.letter);
        ASSERT_NE(d, nullptr) << char(e.letter);
        const DRIVE_RECORD& r = d->record;
        EXPECT_EQ(r.DeviceType, e.type) << char(e.letter);
        EXPECT_EQ(r.DeviceNumber, e.device) << char(e.letter);
        EXPECT_EQ(r.PartitionNumber, e.partition) << char(e.letter);
        EXPECT_EQ(r.Removable, e.removable) << char(e.letter);
        EXPECT_EQ(r.Dismounted, 0) << char(e.letter);
        EXPECT_EQ(r.SerialNumber, e.serial) << char(e.letter);
        EXPECT_EQ(std::u16string_view(r.Label, e.label.size()), e.label) << char(e.letter);
        EXPECT_EQ(r.Label[e.label.size()], 0) << char(e.letter);
        EXPECT_EQ(r.NameLength, 0u) << char(e.letter);
    }
}

TEST_F(BlinkorDriveList, NumbersComeFromTheStorageNameWhenTheQueryFails) {
    Build(R"({
      "file_systems": [{"name": "Ntfs"}],
      "storage": [
        {"name": "\\Device\\HarddiskVolume3", "volume": {"file_system": "Ntfs"}},
        {"name": "\\Device\\Harddisk1\\Partition2", "volume": {"file_system": "Ntfs"}},
        {"name": "\\Device\\HarddiskDm5", "volume": {"file_system": "Ntfs"}},
        {"name": "\\Device\\HarddiskDm6", "volume": {"file_system": "Ntfs"}}
      ],
      "links": {
        "\\??\\G:": "\\Device\\HarddiskVolume3",
        "\\??\\H:": "\\Device\\Harddisk1\\Partition2",
        "\\??\\I:": "\\Device\\HarddiskDm5",
        "\\??\\J:": "\\Device\\HarddiskDm6",
        "\\Device\\Harddisk2\\Partition3": "\\Device\\HarddiskDm5"
      }
    })");
    struct Expected {
        WCHAR letter;
        DWORD device, partition;
    };
    const Expected expected[] = {
        {u'G', 3, LED_PARTITION_UNKNOWN},
        {u'H', 1, 2},
        {u'I', 2, 3},                      // found by probing the partition links
        {u'J', 0, LED_PARTITION_UNKNOWN},  // no link leads to it
    };
    for (const auto& e : expected) {
        const Drive* d = FindDrive(e.letter);
        ASSERT_NE(d, nullptr) << char(e.letter);
        EXPECT_EQ(d->record.DeviceType, DWORD(FILE_DEVICE_DISK)) << char(e.letter);
        EXPECT_EQ(d->record.DeviceNumber, e.device) << char(e.letter);
        EXPECT_EQ(d->record.PartitionNumber, e.partition) << char(e.letter);
    }
}

TEST_F(BlinkorDriveList, ALetterThatAppearsLaterIsFound) {
    Build(StandardScenario());
    ASSERT_NE(FindDrive(u'['), nullptr);
    UNICODE_STRING link, target;
    RtlInitUnicodeString(&link, u"\\??\\K:");
    RtlInitUnicodeString(&target, u"\\Device\\HarddiskVolume7");
    ASSERT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_SUCCESS);
    EXPECT_EQ(FindDrive(u'['), nullptr);
    const Drive* k = FindDrive(u'K');
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->record.SerialNumber, 7u);
}

TEST_F(BlinkorDriveList, AListThatDoesNotFitEndsOnARecordBoundary) {
    Build(R"({
      "file_systems": [{"name": "Ntfs"}],
      "storage": [
        {"name": "\\Device\\HarddiskVolume1", "volume": {"file_system": "Ntfs"}},
        {"name": "\\Device\\HarddiskVolume2", "volume": {"file_system": "Ntfs"}},
        {"name": "\\Device\\HarddiskVolume3", "volume": {"file_system": "Ntfs"}}
      ],
      "links": {"\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\D:": "\\Device\\HarddiskVolume2",
                "\\??\\F:": "\\Device\\HarddiskVolume3"}
    })");
    for (ULONG room : {192u, 287u}) {
        std::vector<BYTE> out(room + 8, 0xCC);
        const auto result = Control(m_control, IOCTL_LED_GET_DRIVES, nullptr, 0, out.data(), room);
        EXPECT_EQ(result.status, STATUS_BUFFER_OVERFLOW) << room;
        EXPECT_EQ(result.information, 192u) << room;
        EXPECT_TRUE(ForEachDriveRecord(out.data(), 192, [](const DRIVE_RECORD&, const BYTE*) {}));
        EXPECT_EQ(out[room], 0xCC) << room;
    }
    EXPECT_EQ(Drives().size(), 3u);
}

TEST_F(BlinkorDriveList, ANetworkLetterCarriesItsName) {
    Build(StandardScenario());
    const std::u16string name = u"\\;Z:\\server\\sh\\f.txt";  // 40 bytes
    ASSERT_EQ(name.size() * 2, 40u);
    ASSERT_EQ(Run("netcreate \\;Z:\\server\\sh\\f.txt"), STATUS_SUCCESS);

    std::vector<BYTE> out(4096, 0xCC);
    const auto result = Control(m_control, IOCTL_LED_GET_DRIVES, nullptr, 0, out.data(), ULONG(out.size()));
    ASSERT_EQ(result.status, STATUS_SUCCESS);
    // The redirector's records come first: Z, then the catch-all.
    DRIVE_RECORD z;
    std::memcpy(&z, out.data(), sizeof z);
    EXPECT_EQ(z.Letter, u'Z');
    EXPECT_EQ(z.DeviceType, LED_DEVICE_TYPE_NETWORK);
    EXPECT_EQ(z.NameLength, 40u);
    EXPECT_EQ(std::memcmp(out.data() + 92, name.data(), 40), 0);
    EXPECT_EQ(std::vector<BYTE>(out.begin() + 132, out.begin() + 136), std::vector<BYTE>(4, 0));
    DRIVE_RECORD catch_all;
    std::memcpy(&catch_all, out.data() + 136, sizeof catch_all);
    EXPECT_EQ(catch_all.Letter, LED_LETTER_CATCH_ALL);
    EXPECT_EQ(catch_all.NameLength, 0u);
    EXPECT_EQ(catch_all.DeviceType, LED_DEVICE_TYPE_NETWORK);
}

}  // namespace
}  // namespace blinkor::test
