// The records every S.M.A.R.T. consumer reads: the server id, the device
// record with its counters and attribute table, the device flags, the
// self-test types, the log selectors and the self-test status byte.
//
// SmartCounters (88 bytes) and SmartAttribute (72 bytes) have fixed byte
// layouts; their images are produced by WriteCounters/WriteAttribute and read
// back by ReadCounters/ReadAttribute, never by casting. SmartDevice holds
// pointers and is a run-time record only; its wire form is written elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/wintypes.h"

// Names one drive while the service runs: an enumeration that finds the
// drive again gives the same id, and an id is never given to another drive.
// Opaque to clients.
using SmartServerId = std::uint64_t;

struct SmartCounters {
    ULONGLONG writeErrorsCorrected = 0;    // SCSI; ATA: raw value of attribute 200
    ULONGLONG writeErrorsUncorrected = 0;  // SCSI
    ULONGLONG bytesWritten = 0;            // SCSI
    ULONGLONG readErrorsCorrected = 0;     // SCSI; ATA: raw value of attribute 1
    ULONGLONG readErrorsUncorrected = 0;   // SCSI; ATA: raw value of attribute 198
    ULONGLONG bytesRead = 0;               // SCSI
    ULONGLONG nonMediumErrors = 0;         // SCSI; ATA: raw value of attribute 7
    DWORD powerOnHours = 0;
    DWORD startStopCycles = 0;
    DWORD lifetimeStartStopCycles = 0;     // SCSI
    WCHAR manufactureYear[5] = {};         // SCSI, four characters
    WCHAR manufactureWeek[3] = {};         // SCSI, two characters
    BYTE temperature = 0;                  // degrees Celsius
    BYTE secondTemperature = 0;            // SCSI: trip temperature; ATA: raw byte 4 of attribute 194
    BYTE unused[2] = {};
};

inline constexpr std::size_t kSmartCountersSize = 88;
inline constexpr std::size_t kSmartAttributeSize = 72;
inline constexpr std::size_t kSmartAttributeCount = 30;
inline constexpr std::size_t kSmartNameChars = 30;

struct SmartAttribute {
    WCHAR name[kSmartNameChars] = {};
    WORD flags = 0;       // status flags as the drive gives them
    BYTE id = 0;          // 0 marks an unused entry
    BYTE value = 0;       // current (normalised) value
    BYTE worst = 0;
    BYTE raw[6] = {};     // least significant byte first
    BYTE threshold = 0;
};

inline constexpr std::size_t kModelChars = 41;
inline constexpr std::size_t kFirmwareChars = 9;
inline constexpr std::size_t kSerialChars = 21;

struct SmartDevice {
    SmartServerId serverId = 0;
    SmartDevice* next = nullptr;   // link of the device list; never sent
    void* engineLink = nullptr;    // each side's own per-drive state; never sent
    DWORD deviceType = 0;          // FILE_DEVICE_* type, 1 for floppy devices
    DWORD deviceNumber = 0;        // N of the name the drive was found under
    WCHAR model[kModelChars] = {};
    WCHAR firmware[kFirmwareChars] = {};
    WCHAR serial[kSerialChars] = {};
    DWORD flags = 0;               // SMART_FLAG_*
    WORD collectTime = 0;          // seconds
    WORD shortTestTime = 0;
    WORD extendedTestTime = 0;
    WORD conveyanceTestTime = 0;
    BYTE port = 0;
    BYTE path = 0;
    BYTE target = 0;
    BYTE lun = 0;
    BYTE ataLevel = 0;             // 1 to 14; 0 when unknown or not ATA
    SmartCounters counters;
    BYTE health = 0;               // 1 healthy, 0 failure predicted
    SmartAttribute attributes[kSmartAttributeCount];
};

// The address as the GUI shows it: port, path, target, lun from high to low.
inline DWORD SmartAddress(const SmartDevice& d) {
    return (DWORD(d.port) << 24) | (DWORD(d.path) << 16) | (DWORD(d.target) << 8) | d.lun;
}

// Frees a list that GetDevices handed out, following the next links.
void FreeSmartDeviceList(SmartDevice* list);

// Device flags of SmartDevice::flags. Bits not listed are always 0.
enum SmartDeviceFlag : DWORD {
    SMART_FLAG_REMOVABLE = 1u << 0,
    SMART_FLAG_SUPPORTED = 1u << 1,
    SMART_FLAG_ENABLED = 1u << 2,
    SMART_FLAG_CAPS_READ = 1u << 3,
    SMART_FLAG_ERROR_LOG = 1u << 4,
    SMART_FLAG_SELFTEST_LOG = 1u << 5,
    SMART_FLAG_OFFLINE_COLLECT = 1u << 6,
    SMART_FLAG_SELFTEST = 1u << 7,
    SMART_FLAG_CONVEYANCE = 1u << 8,
    SMART_FLAG_SELECTIVE = 1u << 9,
    SMART_FLAG_SAVE_ON_STANDBY = 1u << 10,
    SMART_FLAG_AUTOSAVE_SUPPORTED = 1u << 11,
    SMART_FLAG_AUTOSAVE = 1u << 12,
    SMART_FLAG_AUTO_OFFLINE_SUPPORTED = 1u << 13,
    SMART_FLAG_AUTO_OFFLINE = 1u << 14,
    SMART_FLAG_ABORT_ON_COMMAND = 1u << 15,
    SMART_FLAG_OFFLINE_SCAN = 1u << 16,
    SMART_FLAG_TEMPERATURE = 1u << 17,
    SMART_FLAG_START_STOP = 1u << 18,
    SMART_FLAG_SEEK_ERRORS = 1u << 19,
    SMART_FLAG_READ_ERRORS = 1u << 20,
    SMART_FLAG_WRITE_ERRORS = 1u << 21,
    SMART_FLAG_POWER_ON_HOURS = 1u << 22,
    SMART_FLAG_POWER_ON_FROM_SELFTEST = 1u << 23,
};

// The flag names in bit order, for reports and tools ("SMART_FLAG_..." text).
const char* SmartFlagName(unsigned bit);
inline constexpr unsigned kSmartFlagBits = 24;

// Argument of ExecuteSelfTest.
enum SmartSelfTestType : DWORD {
    SMART_TEST_OFFLINE_COLLECT = 0,
    SMART_TEST_SHORT = 1,
    SMART_TEST_EXTENDED = 2,
    SMART_TEST_CONVEYANCE = 3,
};

// Argument of ReadLog; a log comes back as one block of this many bytes.
enum SmartLogSelector : DWORD {
    SMART_LOG_ERROR = 0,
    SMART_LOG_SELFTEST = 1,
};
inline constexpr std::size_t kSmartLogBlockSize = 1024;

// Result of ReadSelfTestData: low nibble the status, high nibble the part of
// the test still to run in tenths.
enum SmartSelfTestStatus : BYTE {
    SMART_TEST_STATUS_COMPLETED = 0,
    SMART_TEST_STATUS_ABORTED = 1,
    SMART_TEST_STATUS_INTERRUPTED = 2,
    SMART_TEST_STATUS_FATAL = 3,
    SMART_TEST_STATUS_UNKNOWN_FAILURE = 4,
    SMART_TEST_STATUS_ELECTRICAL = 5,
    SMART_TEST_STATUS_SERVO = 6,
    SMART_TEST_STATUS_READ = 7,
    SMART_TEST_STATUS_HANDLING = 8,
    SMART_TEST_STATUS_RUNNING = 15,
};
inline constexpr BYTE SelfTestStatusCode(BYTE status) { return status & 0x0F; }
inline constexpr BYTE SelfTestRemainingTenths(BYTE status) { return status >> 4; }
// The percentage of the test done, as the GUI shows it.
inline constexpr int SelfTestPercentDone(BYTE status) { return 100 - 10 * (status >> 4); }

// Fixed images. Write* fills exactly the record's size; Read* needs at least
// that many bytes and returns false (leaving the record alone) otherwise.
void WriteCounters(const SmartCounters& counters, std::span<BYTE, kSmartCountersSize> out);
bool ReadCounters(std::span<const BYTE> in, SmartCounters& counters);
void WriteAttribute(const SmartAttribute& attribute, std::span<BYTE, kSmartAttributeSize> out);
bool ReadAttribute(std::span<const BYTE> in, SmartAttribute& attribute);
