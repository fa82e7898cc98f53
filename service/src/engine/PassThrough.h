// The request blocks the engine hands to the disk driver: the S.M.A.R.T.
// command input, and the SCSI pass-through block (the pass-through header,
// an 18-byte sense buffer and 2 spare bytes), which is input and output of
// the same request.
#pragma once

#include <algorithm>
#include <cstddef>

#include "device/native_io.h"
#include "device/scsi_ioctl.h"
#include "device/smart_ioctl.h"
#include "engine/DeviceNode.h"
#include "engine/ScsiCdb.h"

struct PassThroughBlock {
    SCSI_PASS_THROUGH_DIRECT spt{};
    BYTE sense[18] = {};
    BYTE spare[2] = {};
};

// A block for one command; ScsiCommand fills in the address, lengths and
// time-out.
inline PassThroughBlock MakePassThrough(const ScsiCdb& cdb, BYTE direction, void* data, ULONG length) {
    PassThroughBlock block;
    std::copy(cdb.bytes, cdb.bytes + cdb.length, block.spt.Cdb);
    block.spt.CdbLength = cdb.length;
    block.spt.DataIn = direction;
    block.spt.DataTransferLength = length;
    block.spt.DataBuffer = data;
    return block;
}

// How many data bytes came back, never more than were asked for.
inline DWORD TransferredLength(const PassThroughBlock& block, DWORD asked) {
    return std::min<DWORD>(block.spt.DataTransferLength, asked);
}

// The S.M.A.R.T. request input: task-file registers as the ATA standard
// wants them for S.M.A.R.T. (cylinder 0xC24F), the device/head register
// selecting drive 0 or 1, and the size of the data buffer asked for.
inline constexpr DWORD kSendCmdInSize = sizeof(SENDCMDINPARAMS);
inline constexpr DWORD kSendCmdOutSize = kSendCmdOutHeaderSize;  // in front of the data
inline constexpr std::size_t kDriverErrorOffset = offsetof(SENDCMDOUTPARAMS, DriverStatus);

inline SENDCMDINPARAMS MakeSendCommand(const DeviceNode* node, BYTE command, BYTE feature, BYTE sectorCount,
                                       BYTE sectorNumber, DWORD bufferSize) {
    SENDCMDINPARAMS in{};
    in.cBufferSize = bufferSize;
    in.irDriveRegs.bFeaturesReg = feature;
    in.irDriveRegs.bSectorCountReg = sectorCount;
    in.irDriveRegs.bSectorNumberReg = sectorNumber;
    in.irDriveRegs.bCylLowReg = SMART_CYL_LOW;
    in.irDriveRegs.bCylHighReg = SMART_CYL_HI;
    in.irDriveRegs.bDriveHeadReg = node->DriveNumber() == 1 ? 0xB0 : 0xA0;
    in.irDriveRegs.bCommandReg = command;
    in.bDriveNumber = node->DriveNumber();
    return in;
}
