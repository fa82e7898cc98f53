// The window's link to the real driver in the kernel host: opening and the
// version check, the drive list sorted into groups, the activity masks, and
// the link closing itself when the driver stops answering.
#include <algorithm>

#include "DriverLink.h"
#include "LedKernelFixture.h"
#include "base/hresult.h"
#include "kernel/kernel.h"
#include "kernel/ntddk.h"

namespace ledtest {
namespace {

class DriverLinkTest : public LedKernelTest {
protected:
    CRITICAL_SECTION m_drawing;
    CDriverLink m_link{m_drawing};

    // The letters of row `row`, in order.
    std::u16string Letters(int row) const {
        std::u16string letters;
        for (int j = 0; j < m_link.Groups().LetterCount(row); ++j) letters += m_link.Groups().Record(row, j)->Letter();
        return letters;
    }
};

const std::string kDisks = DiskVolume(1, 0, 1, "SYSTEM") + "," + DiskVolume(2, 0, 2, "DATA");
const std::string kDiskLinks = R"("\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\D:": "\\Device\\HarddiskVolume2")";

TEST_F(DriverLinkTest, WithoutTheDriverNothingOpensAndNothingIsRegistered) {
    Build(Scenario(kDisks, kDiskLinks), false);
    EXPECT_EQ(m_link.PrepareDriver(), 1);
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_EQ(m_link.ChangeEvent(), nullptr);
    EXPECT_TRUE(Logged("CGDLG::PREPD: <- 1"));
}

// A control device under the driver's name that answers the version request
// with another value.
NTSTATUS AnswerOtherVersion(PDEVICE_OBJECT, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    if (stack->MajorFunction == IRP_MJ_DEVICE_CONTROL && stack->Parameters.DeviceIoControl.OutputBufferLength >= 4) {
        *static_cast<ULONG*>(irp->AssociatedIrp.SystemBuffer) = 0x12345679;
        irp->IoStatus.Information = 4;
    }
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

TEST_F(DriverLinkTest, ADriverOfAnotherVersionFailsAndIsClosed) {
    Build(Scenario(kDisks, kDiskLinks), false);
    PDRIVER_OBJECT driver = nullptr;
    ASSERT_EQ(kern::CreateDriver(u"\\FileSystem\\Impostor", [](PDRIVER_OBJECT d, PUNICODE_STRING) {
        for (auto& f : d->MajorFunction) f = AnswerOtherVersion;
        std::u16string name = u"\\Device\\Impostor", link = u"\\DosDevices\\Blinkor";
        UNICODE_STRING n{USHORT(name.size() * 2), USHORT(name.size() * 2), name.data()};
        UNICODE_STRING l{USHORT(link.size() * 2), USHORT(link.size() * 2), link.data()};
        PDEVICE_OBJECT device = nullptr;
        NTSTATUS status = IoCreateDevice(d, 0, &n, 0x8042, 0, FALSE, &device);
        return NT_SUCCESS(status) ? IoCreateSymbolicLink(&l, &n) : status;
    }, &driver), STATUS_SUCCESS);
    EXPECT_EQ(m_link.PrepareDriver(), E_FAIL);
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_TRUE(Logged("CGDLG::PrepareEvents:Driver Version incorrect!"));
    EXPECT_TRUE(Logged("CGDLG::PREPD: <- -2147467259"));
}

TEST_F(DriverLinkTest, TheListIsSortedIntoGroupsAndRows) {
    Build(Scenario(kDisks + "," + DiskVolume(3, 1, 1, "STICK", 50, true) + "," + DiskVolume(4, 2, 0) + "," +
                       DiskVolume(5, 3, -1) + "," + DiskVolume(6, 4, 1, "FIRST") + "," + DiskVolume(8, 4, 2, "SECOND") +
                       "," + DiskVolume(9, 5, 1) + R"(,
          {"name": "\\Device\\CdRom0", "type": "cdrom", "removable": true, "device_number": {"type": 2, "disk": 0},
           "volume": {"file_system": "Cdfs", "label": "DISC"}})",
                   kDiskLinks + R"(, "\\??\\F:": "\\Device\\HarddiskVolume3", "\\??\\G:": "\\Device\\HarddiskVolume4",
          "\\??\\H:": "\\Device\\HarddiskVolume5", "\\??\\E:": "\\Device\\CdRom0",
          "\\??\\A:": "\\Device\\HarddiskVolume9")"));
    ASSERT_EQ(m_link.PrepareDriver(), S_OK);
    EXPECT_TRUE(m_link.IsOpen());
    const DriveGroups& g = m_link.Groups();
    // Disks: C: D: on disk 0; the first volume without a letter (disk 4);
    // G: (partition 0) and H: (partition unknown) are not shown. Then the
    // CD, then the removable group with A: (a disk volume) and F: (a
    // removable hard disk).
    ASSERT_EQ(g.RowCount(), 5) << "rows";
    EXPECT_EQ(Letters(0), u"CD");
    EXPECT_EQ(g.GroupOf(1), kGroupDisks);
    EXPECT_EQ(Letters(1), u"[") << "one of the two volumes without a letter";
    EXPECT_EQ(g.GroupOf(2), kGroupCdDvd);
    EXPECT_EQ(Letters(2), u"E");
    EXPECT_EQ(g.GroupOf(3), kGroupRemovable);
    EXPECT_EQ(g.DeviceNumberOf(3), 1);
    EXPECT_EQ(Letters(3), u"F");
    EXPECT_EQ(g.GroupOf(4), kGroupRemovable);
    EXPECT_EQ(Letters(4), u"A");
    EXPECT_EQ(g.Record(4, 0)->record.DeviceType, kTypeFloppy);
    EXPECT_EQ(g.RecordCount(), 6);
    EXPECT_TRUE(Logged("CGDLG::GetLocalDrives:  C: 00000007 0 1"));
    EXPECT_TRUE(Logged("CGDLG::GetLocalDrives: SYSTEM"));
}

TEST_F(DriverLinkTest, TwoNetworkLettersShareOneRowSortedByLetter) {
    Build(Scenario(kDisks, kDiskLinks + R"(,
        "\\??\\Z:": "\\Device\\LanmanRedirector\\;Z:0000000000003e7\\server\\share",
        "\\??\\Y:": "\\Device\\LanmanRedirector\\;Y:0000000000003e7\\server\\other")", true));
    Run("netcreate \\;Z:0000000000003e7\\server\\share\\a.txt");
    Run("netcreate \\;Y:0000000000003e7\\server\\other\\b.txt");
    ASSERT_EQ(m_link.PrepareDriver(), S_OK);
    const DriveGroups& g = m_link.Groups();
    ASSERT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.GroupOf(1), kGroupNetwork);
    EXPECT_EQ(g.DeviceNumberOf(1), 0);
    EXPECT_EQ(Letters(1), u"YZ\x60") << "with the redirector's catch-all last";
    EXPECT_TRUE(g.Record(1, 2)->IsCatchAll());
    EXPECT_NE(g.Record(1, 0)->Name().find(u"server\\other"), std::u16string::npos) << "the name travels";
}

TEST_F(DriverLinkTest, PollsCarryTheHeldRequestsOfEachLetter) {
    Build(Scenario(kDisks, kDiskLinks));
    ASSERT_EQ(m_link.PrepareDriver(), S_OK);
    ASSERT_TRUE(m_link.Poll());
    EXPECT_EQ(m_link.ReadMask(), 0u);
    Run("hold C: read 2");
    Run("hold D: write 1");
    ASSERT_TRUE(m_link.Poll());
    EXPECT_TRUE(m_link.IsReading('C'));
    EXPECT_FALSE(m_link.IsWriting('C'));
    EXPECT_TRUE(m_link.IsWriting('D'));
    Run("complete C: all");
    Run("complete D: all");
    ASSERT_TRUE(m_link.Poll());
    EXPECT_EQ(m_link.ReadMask() | m_link.WriteMask(), 0u);
}

TEST_F(DriverLinkTest, AFailedPollClosesTheLink) {
    Build(Scenario(kDisks, kDiskLinks));
    ASSERT_EQ(m_link.PrepareDriver(), S_OK);
    StopHost();
    EXPECT_FALSE(m_link.Poll());
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_FALSE(m_link.Poll()) << "stays closed";
    EXPECT_NE(m_link.ChangeEvent(), nullptr) << "the event stays for the change-watch thread";
}

TEST_F(DriverLinkTest, ARefreshReadsTheListAgainAndKeepsSmartRows) {
    Build(Scenario(kDisks, kDiskLinks));
    ASSERT_EQ(m_link.PrepareDriver(), S_OK);
    SmartDevice lettersless;
    lettersless.deviceType = kTypeDisk;
    lettersless.deviceNumber = 3;
    ASSERT_TRUE(m_link.Groups().AttachSmart(&lettersless));
    Run("delete D:");
    ASSERT_EQ(m_link.GetLocalDrives(), S_OK);
    ASSERT_EQ(m_link.Groups().RowCount(), 2);
    EXPECT_EQ(Letters(0), u"C");
    EXPECT_EQ(m_link.Groups().Smart(1), &lettersless);
    Run("delete C:");
    ASSERT_EQ(m_link.GetLocalDrives(), S_OK);
    EXPECT_EQ(m_link.Groups().RecordCount(), 0);
}

}  // namespace
}  // namespace ledtest
