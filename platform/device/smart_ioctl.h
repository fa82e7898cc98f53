// The disk driver's S.M.A.R.T. control codes and their published records,
// byte for byte as the Windows driver kit lays them out (packed, little
// endian). A request's input is a SENDCMDINPARAMS whose IDEREGS are the ATA
// task-file registers; the answer is a SENDCMDOUTPARAMS whose 16-byte header
// is followed by the data sector(s), or by the returned IDEREGS for RETURN
// STATUS.
#pragma once

#include <cstddef>

#include "base/wintypes.h"
#include "device/device_types.h"

constexpr ULONG IOCTL_DISK_BASE = FILE_DEVICE_DISK;
constexpr ULONG SMART_GET_VERSION = CTL_CODE(IOCTL_DISK_BASE, 0x0020, METHOD_BUFFERED, FILE_READ_ACCESS);
constexpr ULONG SMART_SEND_DRIVE_COMMAND =
    CTL_CODE(IOCTL_DISK_BASE, 0x0021, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
constexpr ULONG SMART_RCV_DRIVE_DATA =
    CTL_CODE(IOCTL_DISK_BASE, 0x0022, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
static_assert(SMART_GET_VERSION == 0x74080);
static_assert(SMART_SEND_DRIVE_COMMAND == 0x7C084);
static_assert(SMART_RCV_DRIVE_DATA == 0x7C088);

// GETVERSIONINPARAMS.fCapabilities
constexpr DWORD CAP_ATA_ID_CMD = 1;
constexpr DWORD CAP_ATAPI_ID_CMD = 2;
constexpr DWORD CAP_SMART_CMD = 4;

// IDEREGS.bCommandReg
constexpr BYTE ATAPI_ID_CMD = 0xA1;
constexpr BYTE ID_CMD = 0xEC;
constexpr BYTE SMART_CMD = 0xB0;
// The S.M.A.R.T. signature every S.M.A.R.T. command carries in the
// cylinder registers; RETURN STATUS answers 0xF4/0x2C when a threshold is
// exceeded.
constexpr BYTE SMART_CYL_LOW = 0x4F;
constexpr BYTE SMART_CYL_HI = 0xC2;
constexpr BYTE SMART_CYL_LOW_EXCEEDED = 0xF4;
constexpr BYTE SMART_CYL_HI_EXCEEDED = 0x2C;

// IDEREGS.bFeaturesReg of SMART_CMD
constexpr BYTE READ_ATTRIBUTES = 0xD0;
constexpr BYTE READ_THRESHOLDS = 0xD1;
constexpr BYTE ENABLE_DISABLE_AUTOSAVE = 0xD2;
constexpr BYTE SAVE_ATTRIBUTE_VALUES = 0xD3;
constexpr BYTE EXECUTE_OFFLINE_DIAGS = 0xD4;
constexpr BYTE SMART_READ_LOG = 0xD5;
constexpr BYTE SMART_WRITE_LOG = 0xD6;
constexpr BYTE ENABLE_SMART = 0xD8;
constexpr BYTE DISABLE_SMART = 0xD9;
constexpr BYTE RETURN_SMART_STATUS = 0xDA;
constexpr BYTE ENABLE_DISABLE_AUTO_OFFLINE = 0xDB;

// IDEREGS.bSectorNumberReg of EXECUTE_OFFLINE_DIAGS
constexpr BYTE SMART_OFFLINE_ROUTINE_OFFLINE = 0;
constexpr BYTE SMART_SHORT_SELFTEST_OFFLINE = 1;
constexpr BYTE SMART_EXTENDED_SELFTEST_OFFLINE = 2;
constexpr BYTE SMART_ABORT_OFFLINE_SELFTEST = 127;
constexpr BYTE SMART_SHORT_SELFTEST_CAPTIVE = 129;
constexpr BYTE SMART_EXTENDED_SELFTEST_CAPTIVE = 130;

// DRIVERSTATUS.bDriverError
constexpr BYTE SMART_NO_ERROR = 0;
constexpr BYTE SMART_IDE_ERROR = 1;
constexpr BYTE SMART_INVALID_FLAG = 2;
constexpr BYTE SMART_INVALID_COMMAND = 3;
constexpr BYTE SMART_INVALID_BUFFER = 4;
constexpr BYTE SMART_INVALID_DRIVE = 5;
constexpr BYTE SMART_INVALID_IOCTL = 6;
constexpr BYTE SMART_ERROR_NO_MEM = 7;
constexpr BYTE SMART_INVALID_REGISTER = 8;
constexpr BYTE SMART_NOT_SUPPORTED = 9;
constexpr BYTE SMART_NO_IDE_DEVICE = 10;

constexpr DWORD READ_ATTRIBUTE_BUFFER_SIZE = 512;
constexpr DWORD IDENTIFY_BUFFER_SIZE = 512;
constexpr DWORD READ_THRESHOLD_BUFFER_SIZE = 512;
constexpr DWORD SMART_LOG_SECTOR_SIZE = 512;

#pragma pack(push, 1)

struct GETVERSIONINPARAMS {
    BYTE bVersion;
    BYTE bRevision;
    BYTE bReserved;
    BYTE bIDEDeviceMap;  // bit n: drive n present (0-3 ATA, 4-7 ATAPI)
    DWORD fCapabilities;
    DWORD dwReserved[4];
};
static_assert(sizeof(GETVERSIONINPARAMS) == 24);
static_assert(offsetof(GETVERSIONINPARAMS, bIDEDeviceMap) == 3);
static_assert(offsetof(GETVERSIONINPARAMS, fCapabilities) == 4);

struct IDEREGS {
    BYTE bFeaturesReg;  // features on input, error on output
    BYTE bSectorCountReg;
    BYTE bSectorNumberReg;  // LBA low
    BYTE bCylLowReg;        // LBA mid
    BYTE bCylHighReg;       // LBA high
    BYTE bDriveHeadReg;     // device
    BYTE bCommandReg;       // command on input, status on output
    BYTE bReserved;
};
static_assert(sizeof(IDEREGS) == 8);

struct SENDCMDINPARAMS {
    DWORD cBufferSize;  // bytes of data the command transfers
    IDEREGS irDriveRegs;
    BYTE bDriveNumber;
    BYTE bReserved[3];
    DWORD dwReserved[4];
    BYTE bBuffer[1];
};
static_assert(sizeof(SENDCMDINPARAMS) == 33);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) == 4);
static_assert(offsetof(SENDCMDINPARAMS, bDriveNumber) == 12);
static_assert(offsetof(SENDCMDINPARAMS, bBuffer) == 32);

struct DRIVERSTATUS {
    BYTE bDriverError;  // SMART_* driver error, SMART_IDE_ERROR when the drive failed the command
    BYTE bIDEError;     // the drive's error register when bDriverError is SMART_IDE_ERROR
    BYTE bReserved[2];
    DWORD dwReserved[2];
};
static_assert(sizeof(DRIVERSTATUS) == 12);

struct SENDCMDOUTPARAMS {
    DWORD cBufferSize;
    DRIVERSTATUS DriverStatus;
    BYTE bBuffer[1];
};
static_assert(sizeof(SENDCMDOUTPARAMS) == 17);
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == 16);

#pragma pack(pop)

// The fixed parts, without the one-byte buffer placeholders.
constexpr ULONG kSendCmdInHeaderSize = offsetof(SENDCMDINPARAMS, bBuffer);    // 32
constexpr ULONG kSendCmdOutHeaderSize = offsetof(SENDCMDOUTPARAMS, bBuffer);  // 16
