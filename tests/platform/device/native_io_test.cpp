// The native calls: names and link chains, handles, buffer and length
// checks with the statuses a Windows driver gives, and pending requests.
#include <gtest/gtest.h>

#include <cstring>

#include "base/clock.h"
#include "base/sync.h"
#include "device/sim_machine.h"
#include "device_requests.h"

using namespace devtest;
using plat::device::ScopedSimulation;

namespace {

constexpr char kProfile[] = R"({
  "devices": [
    {"name": "\\Device\\Harddisk0\\DR0", "links": ["\\Device\\Harddisk0\\Partition0"], "kind": "ata-disk",
     "scsi_address": {"port": 1, "path": 0, "target": 2, "lun": 0}},
    {"name": "\\Device\\CdRom0", "kind": "cdrom"},
    {"name": "\\Device\\Slow", "kind": "ata-disk", "behaviour": {"pending_ms": 500}}],
  "links": {"\\Device\\Alias": "\\Device\\Harddisk0\\Partition0",
            "\\Device\\LoopA": "\\Device\\LoopB", "\\Device\\LoopB": "\\Device\\LoopA"}})";

class NativeIoTest : public ::testing::Test {
protected:
    ScopedSimulation sim{kProfile};
};

struct Name {
    explicit Name(const std::string& s) : text(s.begin(), s.end()) {
        RtlInitUnicodeString(&us, text.c_str());
        InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    }
    std::u16string text;
    UNICODE_STRING us;
    OBJECT_ATTRIBUTES oa;
};

NTSTATUS OpenLink(const std::string& name, HANDLE* h) {
    Name n(name);
    return NtOpenSymbolicLinkObject(h, GENERIC_READ, &n.oa);
}

TEST_F(NativeIoTest, OpenFollowsLinkChainsWithoutRegardToCase) {
    for (const char* name : {"\\Device\\Harddisk0\\DR0", "\\DEVICE\\HARDDISK0\\PARTITION0", "\\Device\\Alias"}) {
        NTSTATUS status = 0;
        HANDLE h = Open(name, &status);
        EXPECT_EQ(status, STATUS_SUCCESS) << name;
        EXPECT_EQ(Identify(h).driver_error(), SMART_NO_ERROR) << name;
        EXPECT_EQ(NtClose(h), STATUS_SUCCESS);
    }
    EXPECT_EQ(sim->CommandCount("\\Device\\Alias"), 3u);  // all reached the one disk
    for (const char* name : {"\\Device\\Harddisk9\\DR9", "\\Device\\LoopA", "Device\\CdRom0"}) {
        NTSTATUS status = 0;
        EXPECT_EQ(Open(name, &status), nullptr);
        EXPECT_NE(status, STATUS_SUCCESS) << name;
    }
}

TEST_F(NativeIoTest, SymbolicLinkQueryHonoursTheCallersBuffer) {
    HANDLE link = nullptr;
    ASSERT_EQ(OpenLink("\\Device\\Alias", &link), STATUS_SUCCESS);
    const std::u16string target = u"\\Device\\Harddisk0\\Partition0";
    const ULONG bytes = static_cast<ULONG>(target.size() * 2);

    WCHAR buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    UNICODE_STRING small{0, static_cast<USHORT>(bytes - 2), buffer};
    ULONG needed = 0;
    EXPECT_EQ(NtQuerySymbolicLinkObject(link, &small, &needed), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(needed, bytes + 2);
    EXPECT_EQ(buffer[0], u'#');  // nothing copied

    UNICODE_STRING exact{0, static_cast<USHORT>(bytes), buffer};
    ASSERT_EQ(NtQuerySymbolicLinkObject(link, &exact, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(exact.Length, bytes);
    EXPECT_EQ(std::u16string(buffer, target.size()), target);
    EXPECT_EQ(buffer[target.size()], u'#');  // no room for the terminator, none written

    UNICODE_STRING roomy{0, sizeof buffer, buffer};
    ASSERT_EQ(NtQuerySymbolicLinkObject(link, &roomy, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(buffer[target.size()], 0);
    NtClose(link);

    HANDLE h = nullptr;
    EXPECT_EQ(OpenLink("\\Device\\CdRom0", &h), STATUS_OBJECT_TYPE_MISMATCH);
    EXPECT_EQ(OpenLink("\\Device\\Nothing", &h), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(NativeIoTest, ClosedAndForeignHandlesAreRefused) {
    HANDLE h = Open("\\Device\\CdRom0");
    ASSERT_EQ(NtClose(h), STATUS_SUCCESS);
    EXPECT_EQ(NtClose(h), STATUS_INVALID_HANDLE);
    IO_STATUS_BLOCK iosb;
    FILE_FS_DEVICE_INFORMATION info;
    EXPECT_EQ(NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, SMART_GET_VERSION, nullptr, 0, nullptr, 0),
              STATUS_INVALID_HANDLE);
    EXPECT_EQ(NtQueryVolumeInformationFile(h, &iosb, &info, sizeof info, FileFsDeviceInformation),
              STATUS_INVALID_HANDLE);
    HANDLE link = nullptr;
    OpenLink("\\Device\\Alias", &link);
    EXPECT_EQ(NtDeviceIoControlFile(link, nullptr, nullptr, nullptr, &iosb, SMART_GET_VERSION, nullptr, 0, nullptr, 0),
              STATUS_OBJECT_TYPE_MISMATCH);
    NtClose(link);
}

TEST_F(NativeIoTest, DeviceInformationAndItsChecks) {
    HANDLE h = Open("\\Device\\CdRom0");
    IO_STATUS_BLOCK iosb;
    FILE_FS_DEVICE_INFORMATION info{};
    ASSERT_EQ(NtQueryVolumeInformationFile(h, &iosb, &info, sizeof info, FileFsDeviceInformation), STATUS_SUCCESS);
    EXPECT_EQ(iosb.Information, 8u);
    EXPECT_EQ(info.DeviceType, FILE_DEVICE_CD_ROM);
    EXPECT_EQ(info.Characteristics & FILE_REMOVABLE_MEDIA, FILE_REMOVABLE_MEDIA);
    EXPECT_EQ(NtQueryVolumeInformationFile(h, &iosb, &info, 7, FileFsDeviceInformation), STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(NtQueryVolumeInformationFile(h, &iosb, &info, sizeof info, FileFsVolumeInformation),
              STATUS_INVALID_INFO_CLASS);
    NtClose(h);
}

TEST_F(NativeIoTest, AnswersFillTheirRecordsAndNothingBeyond) {
    HANDLE h = Open("\\Device\\Harddisk0\\DR0");
    IO_STATUS_BLOCK iosb;
    BYTE out[40];
    std::memset(out, 0xCC, sizeof out);
    ASSERT_EQ(
        NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, SMART_GET_VERSION, nullptr, 0, out, sizeof out),
        STATUS_SUCCESS);
    EXPECT_EQ(iosb.Information, 24u);
    EXPECT_EQ(out[0], 1);     // version
    EXPECT_EQ(out[3], 0x01);  // IDE device map
    EXPECT_EQ(out[4], CAP_ATA_ID_CMD | CAP_ATAPI_ID_CMD | CAP_SMART_CMD);
    EXPECT_EQ(out[24], 0xCC);

    std::memset(out, 0xCC, sizeof out);
    ASSERT_EQ(NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, out, 8),
              STATUS_SUCCESS);
    EXPECT_EQ(iosb.Information, 8u);
    EXPECT_EQ((std::vector<BYTE>(out, out + 9)), (std::vector<BYTE>{8, 0, 0, 0, 1, 0, 2, 0, 0xCC}));

    const SmartReply data = Smart(h, SMART_CMD, READ_ATTRIBUTES, 1, 1, 512, 16 + 512 + 8);
    EXPECT_EQ(data.information, 16u + 512u);
    EXPECT_EQ(data.out[0] | data.out[1] << 8, 512);  // cBufferSize
    EXPECT_EQ(data.out[16 + 512], 0xCC);
    NtClose(h);
}

// Malformed requests get the status a Windows driver gives them.
TEST_F(NativeIoTest, MalformedRequestsGetTheDriversStatus) {
    HANDLE disk = Open("\\Device\\Harddisk0\\DR0");
    HANDLE cd = Open("\\Device\\CdRom0");
    IO_STATUS_BLOCK iosb;
    BYTE out[128] = {};
    auto send = [&](HANDLE h, ULONG code, const void* in, ULONG in_length, ULONG out_length) {
        return NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, code, const_cast<void*>(in), in_length, out,
                                     out_length);
    };
    SENDCMDINPARAMS params{};
    params.irDriveRegs = IDEREGS{READ_ATTRIBUTES, 1, 1, SMART_CYL_LOW, SMART_CYL_HI, 0xA0, SMART_CMD, 0};
    EXPECT_EQ(send(disk, SMART_GET_VERSION, nullptr, 0, 23), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(send(disk, SMART_RCV_DRIVE_DATA, &params, 31, 128), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(send(disk, SMART_RCV_DRIVE_DATA, &params, 32, 128), STATUS_BUFFER_TOO_SMALL);
    params.irDriveRegs.bFeaturesReg = ENABLE_SMART;  // not a data command
    EXPECT_EQ(send(disk, SMART_RCV_DRIVE_DATA, &params, sizeof params, 128), STATUS_INVALID_PARAMETER);
    params.irDriveRegs.bFeaturesReg = RETURN_SMART_STATUS;
    EXPECT_EQ(send(disk, SMART_SEND_DRIVE_COMMAND, &params, sizeof params, 23), STATUS_BUFFER_TOO_SMALL);
    params.irDriveRegs.bCommandReg = 0x25;  // not a S.M.A.R.T. command
    EXPECT_EQ(send(disk, SMART_SEND_DRIVE_COMMAND, &params, sizeof params, 24), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(send(cd, SMART_GET_VERSION, nullptr, 0, 24), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(send(cd, SMART_SEND_DRIVE_COMMAND, &params, sizeof params, 24), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(send(cd, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, 8), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(send(cd, 0x2D1400, nullptr, 0, 8), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(send(cd, SMART_GET_VERSION, nullptr, 0, 24), STATUS_INVALID_DEVICE_REQUEST);

    BYTE data[8];
    auto sptd = [&] {
        SCSI_PASS_THROUGH_DIRECT s{};
        s.Length = sizeof s;
        s.CdbLength = 6;
        s.SenseInfoLength = 18;
        s.SenseInfoOffset = sizeof s;
        s.DataIn = SCSI_IOCTL_DATA_IN;
        s.DataTransferLength = sizeof data;
        s.DataBuffer = data;
        s.TimeOutValue = 50000;
        s.Cdb[0] = 0x12;
        s.Cdb[4] = sizeof data;
        return s;
    };
    const ULONG out_length = sizeof(SCSI_PASS_THROUGH_DIRECT) + 18;
    struct Case {
        const char* what;
        void (*spoil)(SCSI_PASS_THROUGH_DIRECT&);
        NTSTATUS status;
    } cases[] = {
        {"well formed", [](SCSI_PASS_THROUGH_DIRECT&) {}, STATUS_SUCCESS},
        {"32-bit length", [](SCSI_PASS_THROUGH_DIRECT& s) { s.Length = 44; }, STATUS_REVISION_MISMATCH},
        {"no CDB", [](SCSI_PASS_THROUGH_DIRECT& s) { s.CdbLength = 0; }, STATUS_INVALID_PARAMETER},
        {"CDB too long", [](SCSI_PASS_THROUGH_DIRECT& s) { s.CdbLength = 17; }, STATUS_INVALID_PARAMETER},
        {"bad direction", [](SCSI_PASS_THROUGH_DIRECT& s) { s.DataIn = 3; }, STATUS_INVALID_PARAMETER},
        {"no buffer", [](SCSI_PASS_THROUGH_DIRECT& s) { s.DataBuffer = nullptr; }, STATUS_INVALID_PARAMETER},
        {"sense inside", [](SCSI_PASS_THROUGH_DIRECT& s) { s.SenseInfoOffset = 40; }, STATUS_INVALID_PARAMETER},
        {"sense outside", [](SCSI_PASS_THROUGH_DIRECT& s) { s.SenseInfoLength = 19; }, STATUS_INVALID_PARAMETER},
        {"no time-out", [](SCSI_PASS_THROUGH_DIRECT& s) { s.TimeOutValue = 0; }, STATUS_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCSI_PASS_THROUGH_DIRECT s = sptd();
        c.spoil(s);
        EXPECT_EQ(send(cd, IOCTL_SCSI_PASS_THROUGH_DIRECT, &s, sizeof s, out_length), c.status) << c.what;
    }
    SCSI_PASS_THROUGH_DIRECT s = sptd();
    EXPECT_EQ(send(cd, IOCTL_SCSI_PASS_THROUGH_DIRECT, &s, sizeof s - 1, out_length), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(send(cd, IOCTL_SCSI_PASS_THROUGH_DIRECT, &s, sizeof s, sizeof s - 1), STATUS_BUFFER_TOO_SMALL);
    NtClose(disk);
    NtClose(cd);
}

TEST_F(NativeIoTest, WriteRequestsNeedWriteAccess) {
    Name n("\\Device\\Harddisk0\\DR0");
    HANDLE h = nullptr;
    IO_STATUS_BLOCK iosb;
    ASSERT_EQ(NtOpenFile(&h, GENERIC_READ | SYNCHRONIZE, &n.oa, &iosb, FILE_SHARE_READ, FILE_SYNCHRONOUS_IO_NONALERT),
              STATUS_SUCCESS);
    EXPECT_EQ(iosb.Information, FILE_OPENED);
    EXPECT_EQ(SmartCommand(h, ENABLE_SMART).status, STATUS_ACCESS_DENIED);
    BYTE out[24];
    EXPECT_EQ(NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, SMART_GET_VERSION, nullptr, 0, out, 24),
              STATUS_SUCCESS);
    NtClose(h);
    EXPECT_EQ(sim->CommandCount("\\Device\\Harddisk0\\DR0"), 1u);  // the refused one never reached the drive
}

TEST_F(NativeIoTest, PendingRequestCompletesOnThePlatformClock) {
    plat::ScopedManualClock clock;
    HANDLE h = Open("\\Device\\Slow");
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    SENDCMDINPARAMS in{};
    in.irDriveRegs = IDEREGS{0, 1, 0, 0, 0, 0xA0, ID_CMD, 0};
    std::vector<BYTE> out(16 + 512, 0xCC);
    IO_STATUS_BLOCK iosb;
    ASSERT_EQ(NtDeviceIoControlFile(h, event, nullptr, nullptr, &iosb, SMART_RCV_DRIVE_DATA, &in, sizeof in, out.data(),
                                    static_cast<ULONG>(out.size())),
              STATUS_PENDING);
    EXPECT_EQ(iosb.Status, STATUS_PENDING);
    EXPECT_EQ(out[0], 0xCC);
    LARGE_INTEGER no_wait;
    no_wait.QuadPart = 0;
    EXPECT_EQ(NtWaitForSingleObject(h, FALSE, &no_wait), STATUS_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    clock->Advance(500);
    EXPECT_EQ(NtWaitForSingleObject(h, FALSE, nullptr), STATUS_WAIT_0);
    EXPECT_EQ(iosb.Status, STATUS_SUCCESS);
    EXPECT_EQ(iosb.Information, 16u + 512u);
    EXPECT_EQ(out[16], 0x40);  // IDENTIFY word 0
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
    NtClose(h);
}

TEST_F(NativeIoTest, ClosingCompletesAPendingRequest) {
    plat::ScopedManualClock clock;
    HANDLE h = Open("\\Device\\Slow");
    BYTE out[24] = {};
    IO_STATUS_BLOCK iosb;
    ASSERT_EQ(NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, SMART_GET_VERSION, nullptr, 0, out, 24),
              STATUS_PENDING);
    NtClose(h);
    EXPECT_EQ(iosb.Status, STATUS_SUCCESS);
    EXPECT_EQ(out[0], 1);
}

}  // namespace
