// The engine's state for one drive, and its 1320-byte image. The history
// store keeps that image byte for byte between runs, so the layout is fixed
// and written by explicit serialisation. The run-time fields (list link,
// server id, self-test start, open handle) are written as zeros and reset on
// reading.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "base/wintypes.h"
#include "smart/SmartRecords.h"

inline constexpr std::size_t kDeviceNodeImageSize = 1320;
inline constexpr std::size_t kNtNameChars = 250;
inline constexpr std::size_t kSmartSectorSize = 512;

// Node flags. Device flags of SmartDevice are derived by NodeFlagsToDeviceFlags.
enum NodeFlag : DWORD {
    NODE_ATA = 0x1,                  // reached through the S.M.A.R.T. requests
    NODE_DRIVE_NUMBER_MASK = 0x6,    // ATA drive number 0 or 1
    NODE_REMOVABLE = 0x10,
    NODE_IDENTIFIED = 0x20,          // ATA: IDENTIFY DEVICE data was read
    NODE_SUPPORTED = 0x40,
    NODE_ENABLED = 0x80,
    NODE_CAPS_READ = 0x100,
    NODE_ERROR_LOG = 0x200,
    NODE_SELFTEST_LOG = 0x400,
    NODE_OFFLINE_COLLECT = 0x800,
    NODE_SELFTEST = 0x1000,
    NODE_CONVEYANCE = 0x2000,
    NODE_SELECTIVE = 0x4000,
    NODE_SAVE_ON_STANDBY = 0x8000,
    NODE_AUTOSAVE_SUPPORTED = 0x10000,
    NODE_AUTOSAVE = 0x20000,
    NODE_AUTO_OFFLINE_SUPPORTED = 0x40000,
    NODE_AUTO_OFFLINE = 0x80000,
    NODE_ABORT_ON_COMMAND = 0x100000,
    NODE_OFFLINE_SCAN = 0x200000,
    NODE_TEMPERATURE = 0x400000,
    NODE_SCSI_TEMPERATURE_PAGE = 0x800000,
    NODE_SCSI_IE_PAGE = 0x1000000,
    NODE_START_STOP = 0x2000000,
    NODE_SEEK_ERRORS = 0x4000000,
    NODE_READ_ERRORS = 0x8000000,
    NODE_WRITE_ERRORS = 0x10000000,
    NODE_POWER_ON_HOURS = 0x20000000,
    NODE_POWER_ON_FROM_SELFTEST = 0x40000000,
};

DWORD NodeFlagsToDeviceFlags(DWORD nodeFlags);

struct DeviceNode {
    DeviceNode* next = nullptr;          // run-time
    // Run-time: the id the records of this drive carry, given at the first
    // discovery that finds it and kept while later discoveries find it again.
    SmartServerId serverId = 0;
    DWORD deviceType = 0;
    DWORD deviceNumber = 0;
    WCHAR ntName[kNtNameChars] = {};     // after following symbolic links
    DWORD flags = 0;                     // NODE_*
    FILETIME countersStamp{};            // when the counters were last read
    WORD collectTime = 0;                // seconds
    WORD shortTestTime = 0;
    WORD extendedTestTime = 0;
    WORD conveyanceTestTime = 0;
    BYTE port = 0;
    BYTE path = 0;
    BYTE target = 0;
    BYTE lun = 0;
    BYTE ataLevel = 0;
    FILETIME healthStamp{};              // when the health was last read
    BYTE health = 0;
    FILETIME selfTestStart{};            // run-time; zero when no test runs
    HANDLE handle = nullptr;             // run-time; open only during an operation
    DWORD selfTestType = 0;
    WCHAR serial[kSerialChars] = {};     // untrimmed
    WCHAR model[kModelChars] = {};       // untrimmed
    WCHAR firmware[kFirmwareChars] = {}; // untrimmed
    SmartCounters counters;
    // ATA: the last READ DATA sector, each attribute entry's twelfth byte
    // holding that attribute's threshold.
    BYTE smartData[kSmartSectorSize] = {};

    bool IsAta() const { return (flags & NODE_ATA) != 0; }
    BYTE DriveNumber() const { return static_cast<BYTE>((flags & NODE_DRIVE_NUMBER_MASK) >> 1); }
    void SetDriveNumber(BYTE number) {
        flags = (flags & ~DWORD(NODE_DRIVE_NUMBER_MASK)) | ((DWORD(number) << 1) & NODE_DRIVE_NUMBER_MASK);
    }
    bool HasAll(DWORD mask) const { return (flags & mask) == mask; }
    bool IsBusy() const { return selfTestStart.dwLowDateTime != 0 || selfTestStart.dwHighDateTime != 0; }
};

using DeviceNodeImage = std::array<BYTE, kDeviceNodeImageSize>;

DeviceNodeImage WriteDeviceNode(const DeviceNode& node);
// False (node untouched) when the image is not exactly 1320 bytes.
bool ReadDeviceNode(std::span<const BYTE> image, DeviceNode& node);
