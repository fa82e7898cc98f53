// Test helpers that talk to devices through the native calls exactly as a
// caller would: open by NT name, S.M.A.R.T. requests, SCSI pass-through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/native_io.h"
#include "device/scsi_ioctl.h"
#include "device/smart_ioctl.h"

namespace devtest {

HANDLE Open(const std::string& name, NTSTATUS* status = nullptr);

struct SmartReply {
    NTSTATUS status = 0;
    ULONG information = 0;
    std::vector<BYTE> out;  // the whole output buffer
    BYTE driver_error() const { return out.size() > 4 ? out[4] : 0xFF; }
    BYTE ide_error() const { return out.size() > 5 ? out[5] : 0xFF; }
    const BYTE* data() const { return out.data() + kSendCmdOutHeaderSize; }
};

// SMART_RCV_DRIVE_DATA (data_length > 0) or SMART_SEND_DRIVE_COMMAND.
SmartReply Smart(HANDLE h, BYTE command, BYTE feature, BYTE count = 0, BYTE number = 0, ULONG data_length = 0,
                 ULONG out_length = 0);
SmartReply Identify(HANDLE h);
SmartReply ReadData(HANDLE h);
SmartReply SmartCommand(HANDLE h, BYTE feature, BYTE count = 0, BYTE number = 0);

struct ScsiReply {
    NTSTATUS status = 0;
    ULONG information = 0;
    SCSI_PASS_THROUGH_DIRECT sptd{};
    std::vector<BYTE> sense;
    std::vector<BYTE> data;  // DataTransferLength bytes as returned
    BYTE sense_key() const { return sense.size() > 2 ? sense[2] & 0x0F : 0; }
    BYTE asc() const { return sense.size() > 12 ? sense[12] : 0; }
    BYTE ascq() const { return sense.size() > 13 ? sense[13] : 0; }
};

enum class Dir { kIn, kOut, kNone };
// `target` addresses a unit behind a port; a device ignores it.
ScsiReply Scsi(HANDLE h, std::vector<BYTE> cdb, Dir dir, std::vector<BYTE> data, UCHAR target = 0);
ScsiReply ScsiIn(HANDLE h, std::vector<BYTE> cdb, ULONG length, UCHAR target = 0);

}  // namespace devtest
