// The control interface of the activity filter driver as user mode sees it:
// the device path, the six control codes, the interface version and the two
// output records. Plain data only, so a user-mode program includes this
// without the kernel emulation.
//
// Every code is METHOD_BUFFERED on the control device's own device type
// 0x8042 (function numbers 0x842 to 0x847). The four queries need read
// access, the two registrations write access.
#pragma once

#include <cstddef>
#include <cstring>

#include "base/wintypes.h"

namespace blinkor {

// Win32 path of the control device and the object names behind it.
inline constexpr const char16_t* kControlDevicePath = u"\\\\.\\Blinkor";
inline constexpr const char16_t* kControlDeviceName = u"\\FileSystem\\Filters\\Blinkor";
inline constexpr const char16_t* kControlDeviceFallbackName = u"\\FileSystem\\BlinkorCDO";
inline constexpr const char16_t* kControlLinkName = u"\\DosDevices\\Blinkor";

inline constexpr DWORD kControlDeviceType = 0x8042;
inline constexpr DWORD kInterfaceVersion = 0x12345678;

constexpr DWORD LedControlCode(DWORD function, DWORD access) {
    return (kControlDeviceType << 16) | (access << 14) | (function << 2) | 0 /* METHOD_BUFFERED */;
}
inline constexpr DWORD kReadAccess = 1;   // FILE_READ_ACCESS
inline constexpr DWORD kWriteAccess = 2;  // FILE_WRITE_ACCESS

}  // namespace blinkor

constexpr DWORD IOCTL_LED_GET_VERSION = blinkor::LedControlCode(0x842, blinkor::kReadAccess);
constexpr DWORD IOCTL_LED_DUMP_STATE = blinkor::LedControlCode(0x843, blinkor::kReadAccess);
constexpr DWORD IOCTL_LED_GET_DRIVES = blinkor::LedControlCode(0x844, blinkor::kReadAccess);
constexpr DWORD IOCTL_LED_GET_ACTIVITY = blinkor::LedControlCode(0x845, blinkor::kReadAccess);
constexpr DWORD IOCTL_LED_SET_CHANGE_EVENT = blinkor::LedControlCode(0x846, blinkor::kWriteAccess);
constexpr DWORD IOCTL_LED_SET_ACTIVITY_EVENT = blinkor::LedControlCode(0x847, blinkor::kWriteAccess);
static_assert(IOCTL_LED_GET_VERSION == 0x80426108u);
static_assert(IOCTL_LED_DUMP_STATE == 0x8042610Cu);
static_assert(IOCTL_LED_GET_DRIVES == 0x80426110u);
static_assert(IOCTL_LED_GET_ACTIVITY == 0x80426114u);
static_assert(IOCTL_LED_SET_CHANGE_EVENT == 0x8042A118u);
static_assert(IOCTL_LED_SET_ACTIVITY_EVENT == 0x8042A11Cu);

// Letters the driver reports besides 'A' to 'Z'.
constexpr WCHAR LED_LETTER_NONE = u'[';       // a volume whose letter is not known
constexpr WCHAR LED_LETTER_CATCH_ALL = 0x60;  // network requests without a letter
constexpr DWORD LED_DEVICE_TYPE_FLOPPY = 1;
constexpr DWORD LED_DEVICE_TYPE_NETWORK = 0x12;  // FILE_DEVICE_NETWORK
constexpr DWORD LED_PARTITION_UNKNOWN = 0xFFFFFFFFu;

// One entry of the IOCTL_LED_GET_DRIVES output. Records follow each other
// without gaps; a record is 96 + NameLength bytes: the network name (not
// terminated) starts at Name and is followed by 4 zero bytes. A volume has
// NameLength 0 and 4 zero bytes at Name.
#pragma pack(push, 1)
struct DRIVE_RECORD {
    WCHAR Letter;           // 'A'..'Z', '[' or 0x60
    WORD Reserved0;
    DWORD DeviceType;       // 0x12 for a network letter, else the volume's type
    DWORD DeviceNumber;
    DWORD PartitionNumber;  // 0xFFFFFFFF when unknown
    BYTE Removable;
    BYTE Dismounted;
    WORD Reserved1;
    DWORD SerialNumber;
    WCHAR Label[32];        // label bytes, the rest zero; not terminated when 64 bytes long
    DWORD NameLength;       // n, in bytes
    BYTE Name[4];           // n bytes of name, then 4 zero bytes
};
#pragma pack(pop)
static_assert(sizeof(DRIVE_RECORD) == 96);
static_assert(offsetof(DRIVE_RECORD, DeviceType) == 4);
static_assert(offsetof(DRIVE_RECORD, Removable) == 16);
static_assert(offsetof(DRIVE_RECORD, SerialNumber) == 20);
static_assert(offsetof(DRIVE_RECORD, Label) == 24);
static_assert(offsetof(DRIVE_RECORD, NameLength) == 88);
static_assert(offsetof(DRIVE_RECORD, Name) == 92);

// The IOCTL_LED_GET_ACTIVITY output: bit n stands for letter 'A' + n, bit 26
// for volumes without a letter, bit 31 for the network catch-all.
struct ACTIVITY_MASKS {
    DWORD ReadMask;
    DWORD WriteMask;
};
static_assert(sizeof(ACTIVITY_MASKS) == 8);

namespace blinkor {

// Bit of a letter in the activity masks: (letter - 'A') mod 32.
constexpr DWORD LetterBit(WCHAR letter) { return 1u << ((static_cast<DWORD>(letter) - u'A') & 31u); }

// Walks a drive list of `length` bytes and calls fn(const DRIVE_RECORD&,
// const BYTE* name) for each complete record. Returns false when the buffer
// ends inside a record (a truncated or corrupt list); the records before the
// damage have been delivered.
template <typename Fn>
bool ForEachDriveRecord(const void* buffer, std::size_t length, Fn&& fn) {
    const BYTE* p = static_cast<const BYTE*>(buffer);
    std::size_t offset = 0;
    while (offset < length) {
        if (length - offset < sizeof(DRIVE_RECORD)) return false;
        DRIVE_RECORD record;
        std::memcpy(&record, p + offset, sizeof record);
        const std::size_t size = sizeof(DRIVE_RECORD) + record.NameLength;
        if (record.NameLength > length || length - offset < size) return false;
        fn(record, p + offset + offsetof(DRIVE_RECORD, Name));
        offset += size;
    }
    return true;
}

}  // namespace blinkor
