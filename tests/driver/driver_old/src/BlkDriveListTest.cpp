// The drive list: what each volume and network letter reports, numbering
// from the storage answer or the storage name, letters through link chains,
// and lists that do not fit.
#include "BlinkorHarness.h"

namespace blinkor::test {
namespace {

class DriveList : public DriverTest {};

TEST_F(DriveList, ReportsEveryVolumeWithItsIdentity) {
    Build(kStandardScenario);
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

}  // namespace
}  // namespace blinkor::test
