#include "device_requests.h"

#include <cstring>

#include "base/text.h"

namespace devtest {

HANDLE Open(const std::string& name, NTSTATUS* status) {
    std::u16string wide = plat::Utf8ToUtf16(name);
    UNICODE_STRING us;
    RtlInitUnicodeString(&us, wide.c_str());
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK iosb;
    HANDLE h = nullptr;
    const NTSTATUS s =
        NtOpenFile(&h, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &oa, &iosb, FILE_SHARE_READ | FILE_SHARE_WRITE,
                   FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE);
    if (status) *status = s;
    return NT_SUCCESS(s) ? h : nullptr;
}

SmartReply Smart(HANDLE h, BYTE command, BYTE feature, BYTE count, BYTE number, ULONG data_length, ULONG out_length) {
    SENDCMDINPARAMS in{};
    in.cBufferSize = data_length;
    in.irDriveRegs = IDEREGS{feature, count, number, SMART_CYL_LOW, SMART_CYL_HI, 0xA0, command, 0};
    SmartReply r;
    r.out.assign(out_length ? out_length : kSendCmdOutHeaderSize + std::max<ULONG>(data_length, 8), 0xCC);
    IO_STATUS_BLOCK iosb;
    const ULONG code = data_length ? SMART_RCV_DRIVE_DATA : SMART_SEND_DRIVE_COMMAND;
    r.status = NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, code, &in, sizeof in, r.out.data(),
                                     static_cast<ULONG>(r.out.size()));
    if (r.status == STATUS_PENDING) {
        NtWaitForSingleObject(h, FALSE, nullptr);
        r.status = iosb.Status;
    }
    r.information = static_cast<ULONG>(iosb.Information);
    return r;
}

SmartReply Identify(HANDLE h) { return Smart(h, ID_CMD, 0, 1, 0, 512); }
SmartReply ReadData(HANDLE h) { return Smart(h, SMART_CMD, READ_ATTRIBUTES, 1, 1, 512); }
SmartReply SmartCommand(HANDLE h, BYTE feature, BYTE count, BYTE number) {
    return Smart(h, SMART_CMD, feature, count, number, 0);
}

ScsiReply Scsi(HANDLE h, std::vector<BYTE> cdb, Dir dir, std::vector<BYTE> data, UCHAR target) {
    constexpr ULONG kSense = 32;
    std::vector<BYTE> block(sizeof(SCSI_PASS_THROUGH_DIRECT) + kSense, 0);
    SCSI_PASS_THROUGH_DIRECT s{};
    s.Length = sizeof s;
    s.TargetId = target;
    s.CdbLength = static_cast<UCHAR>(cdb.size());
    s.SenseInfoLength = kSense;
    s.SenseInfoOffset = sizeof s;
    s.DataIn = dir == Dir::kIn    ? SCSI_IOCTL_DATA_IN
               : dir == Dir::kOut ? SCSI_IOCTL_DATA_OUT
                                  : SCSI_IOCTL_DATA_UNSPECIFIED;
    s.DataTransferLength = static_cast<ULONG>(data.size());
    s.DataBuffer = data.empty() ? nullptr : data.data();
    s.TimeOutValue = 50000;
    std::memcpy(s.Cdb, cdb.data(), cdb.size());
    std::memcpy(block.data(), &s, sizeof s);
    IO_STATUS_BLOCK iosb;
    ScsiReply r;
    r.status = NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, IOCTL_SCSI_PASS_THROUGH_DIRECT, block.data(),
                                     sizeof s, block.data(), static_cast<ULONG>(block.size()));
    if (r.status == STATUS_PENDING) {
        NtWaitForSingleObject(h, FALSE, nullptr);
        r.status = iosb.Status;
    }
    r.information = static_cast<ULONG>(iosb.Information);
    std::memcpy(&r.sptd, block.data(), sizeof s);
    r.sense.assign(block.begin() + sizeof s, block.begin() + sizeof s + r.sptd.SenseInfoLength);
    data.resize(std::min<std::size_t>(data.size(), r.sptd.DataTransferLength));
    r.data = std::move(data);
    return r;
}

ScsiReply ScsiIn(HANDLE h, std::vector<BYTE> cdb, ULONG length, UCHAR target) {
    return Scsi(h, std::move(cdb), Dir::kIn, std::vector<BYTE>(length, 0), target);
}

}  // namespace devtest
