// The engine's drive access primitives: opening and closing a drive, the
// ATA S.M.A.R.T. requests of the disk driver, and SCSI pass-through. Each
// request that the system answers as pending is waited for on the device
// handle, without time limit, with the engine lock held.
#include "engine/CSmartFliegendeUntertasse.h"

#include <vector>

#include "base/ntstatus.h"

namespace {

constexpr ACCESS_MASK kDeviceAccess = GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE;
constexpr ULONG kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kOpenOptions = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE;
// Pass-through time-out in seconds: long enough for a drive's slowest command.
constexpr ULONG kScsiTimeOutSeconds = 50000;

}  // namespace

NTSTATUS OpenDeviceName(const WCHAR* name, HANDLE* handle) {
    UNICODE_STRING text;
    RtlInitUnicodeString(&text, name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK io;
    return NtOpenFile(handle, kDeviceAccess, &attributes, &io, kShareReadWrite, kOpenOptions);
}

bool CSmartFliegendeUntertasse::OpenDevice(DeviceNode* node) {
    if (!m_primary || node->handle) return false;
    HANDLE handle = nullptr;
    if (!NT_SUCCESS(OpenDeviceName(node->ntName, &handle))) return false;
    node->handle = handle;
    return true;
}

bool CSmartFliegendeUntertasse::CloseDevice(DeviceNode* node) {
    if (!m_primary || !node->handle) return false;
    NtClose(node->handle);
    node->handle = nullptr;
    return true;
}

NTSTATUS CSmartFliegendeUntertasse::DeviceControl(DeviceNode* node, DWORD code, const void* in, DWORD inLength,
                                                  void* out, DWORD outLength, ULONG_PTR* returned) {
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtDeviceIoControlFile(node->handle, nullptr, nullptr, nullptr, &io, code,
                                            const_cast<void*>(in), inLength, out, outLength);
    if (status == STATUS_PENDING) {
        NtWaitForSingleObject(node->handle, FALSE, nullptr);
        status = io.Status;
    }
    *returned = NT_ERROR(status) ? 0 : io.Information;
    return status;
}

bool CSmartFliegendeUntertasse::SendSmartCommand(DeviceNode* node, BYTE command, BYTE feature, BYTE sectorCount,
                                                 BYTE sectorNumber) {
    if (!m_primary || !node->handle) return false;
    const SENDCMDINPARAMS in = MakeSendCommand(node, command, feature, sectorCount, sectorNumber, 0);
    BYTE out[kSendCmdOutSize + 1] = {};
    ULONG_PTR returned = 0;
    const NTSTATUS status = DeviceControl(node, SMART_SEND_DRIVE_COMMAND, &in, kSendCmdInSize, out, sizeof out,
                                          &returned);
    return !NT_ERROR(status) && returned >= kSendCmdOutSize && out[kDriverErrorOffset] == 0;
}

bool CSmartFliegendeUntertasse::ReceiveSmartData(DeviceNode* node, BYTE* buffer, DWORD length, BYTE command,
                                                 BYTE feature, BYTE sectorCount, BYTE sectorNumber) {
    if (!m_primary || !node->handle) return false;
    const SENDCMDINPARAMS in = MakeSendCommand(node, command, feature, sectorCount, sectorNumber, length);
    std::vector<BYTE> out(kSendCmdOutSize + length);
    ULONG_PTR returned = 0;
    const NTSTATUS status = DeviceControl(node, SMART_RCV_DRIVE_DATA, &in, kSendCmdInSize, out.data(),
                                          static_cast<DWORD>(out.size()), &returned);
    if (NT_ERROR(status) || returned < out.size() || out[kDriverErrorOffset] != 0) return false;
    std::copy(out.begin() + kSendCmdOutSize, out.end(), buffer);
    return true;
}

bool CSmartFliegendeUntertasse::ScsiCommand(DeviceNode* node, PassThroughBlock* block) {
    if (!m_primary || !node->handle) return false;
    SCSI_PASS_THROUGH_DIRECT& spt = block->spt;
    spt.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    spt.PathId = node->path;
    spt.TargetId = node->target;
    spt.Lun = node->lun;
    spt.SenseInfoLength = sizeof block->sense;
    spt.SenseInfoOffset = offsetof(PassThroughBlock, sense);
    spt.TimeOutValue = kScsiTimeOutSeconds;
    spt.ScsiStatus = 0;
    ULONG_PTR returned = 0;
    const NTSTATUS status = DeviceControl(node, IOCTL_SCSI_PASS_THROUGH_DIRECT, block,
                                          sizeof(SCSI_PASS_THROUGH_DIRECT), block, sizeof(PassThroughBlock),
                                          &returned);
    return !NT_ERROR(status) && returned >= sizeof(SCSI_PASS_THROUGH_DIRECT) && spt.ScsiStatus == 0;
}
