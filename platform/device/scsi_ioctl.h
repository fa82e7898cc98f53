// The SCSI port's control codes and records: the device's address and the
// direct pass-through request.
#pragma once

#include <cstddef>

#include "base/wintypes.h"
#include "device/device_types.h"

constexpr ULONG IOCTL_SCSI_BASE = FILE_DEVICE_CONTROLLER;
constexpr ULONG IOCTL_SCSI_PASS_THROUGH =
    CTL_CODE(IOCTL_SCSI_BASE, 0x0401, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
constexpr ULONG IOCTL_SCSI_PASS_THROUGH_DIRECT =
    CTL_CODE(IOCTL_SCSI_BASE, 0x0405, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
constexpr ULONG IOCTL_SCSI_GET_ADDRESS = CTL_CODE(IOCTL_SCSI_BASE, 0x0406, METHOD_BUFFERED, FILE_ANY_ACCESS);
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x4D014);
static_assert(IOCTL_SCSI_GET_ADDRESS == 0x41018);

struct SCSI_ADDRESS {
    ULONG Length;  // sizeof(SCSI_ADDRESS)
    UCHAR PortNumber;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
};
static_assert(sizeof(SCSI_ADDRESS) == 8);

// SCSI_PASS_THROUGH_DIRECT.DataIn
constexpr UCHAR SCSI_IOCTL_DATA_OUT = 0;
constexpr UCHAR SCSI_IOCTL_DATA_IN = 1;
constexpr UCHAR SCSI_IOCTL_DATA_UNSPECIFIED = 2;

// The direct pass-through request with the layout of 64-bit Windows: the
// data pointer is 8 bytes wide and 8-aligned, which puts DataBuffer at 24,
// SenseInfoOffset at 32, Cdb at 36 and makes the structure 56 bytes long
// (a 32-bit build has 44 bytes, with the pointer at 20). This build is
// 64-bit, so callers size their blocks with sizeof(SCSI_PASS_THROUGH_DIRECT)
// and put the sense buffer behind it: Length must be 56, and a request that
// carries the 32-bit length 44 is refused with STATUS_REVISION_MISMATCH as
// a 64-bit Windows driver refuses it from a native caller.
//
// DataBuffer points straight at the caller's data (direct I/O); the
// structure itself and the sense bytes travel in the control request's
// buffers. SenseInfoOffset counts from the start of the structure in the
// output buffer. On return ScsiStatus, SenseInfoLength (sense bytes
// actually written) and DataTransferLength (bytes actually moved) are
// updated. TimeOutValue is in seconds.
struct SCSI_PASS_THROUGH_DIRECT {
    USHORT Length;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR CdbLength;
    UCHAR SenseInfoLength;
    UCHAR DataIn;
    ULONG DataTransferLength;
    ULONG TimeOutValue;
    PVOID DataBuffer;
    ULONG SenseInfoOffset;
    UCHAR Cdb[16];
};
static_assert(sizeof(void*) == 8, "the pass-through layout below is the 64-bit one");
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == 8);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == 16);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 32);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 36);

// The longest time-out a request may ask for (30 hours, in seconds).
constexpr ULONG kScsiMaxTimeOutSeconds = 30 * 60 * 60;
// The largest data transfer of one pass-through request.
constexpr ULONG kScsiMaxTransferLength = 1u << 20;

// SCSI status bytes.
constexpr UCHAR SCSISTAT_GOOD = 0x00;
constexpr UCHAR SCSISTAT_CHECK_CONDITION = 0x02;
constexpr UCHAR SCSISTAT_BUSY = 0x08;
