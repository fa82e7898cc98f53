// Device object types and characteristics as FileFsDeviceInformation reports
// them, and the control-code layout, with the values of the Windows headers.
#pragma once

#include "base/wintypes.h"

using DEVICE_TYPE = ULONG;

constexpr DEVICE_TYPE FILE_DEVICE_CD_ROM = 0x00000002;
constexpr DEVICE_TYPE FILE_DEVICE_CD_ROM_FILE_SYSTEM = 0x00000003;
constexpr DEVICE_TYPE FILE_DEVICE_CONTROLLER = 0x00000004;
constexpr DEVICE_TYPE FILE_DEVICE_DISK = 0x00000007;
constexpr DEVICE_TYPE FILE_DEVICE_DISK_FILE_SYSTEM = 0x00000008;
constexpr DEVICE_TYPE FILE_DEVICE_NETWORK = 0x00000012;
constexpr DEVICE_TYPE FILE_DEVICE_NULL = 0x00000015;
constexpr DEVICE_TYPE FILE_DEVICE_UNKNOWN = 0x00000022;
constexpr DEVICE_TYPE FILE_DEVICE_TAPE = 0x0000001F;
constexpr DEVICE_TYPE FILE_DEVICE_VIRTUAL_DISK = 0x00000024;
constexpr DEVICE_TYPE FILE_DEVICE_MASS_STORAGE = 0x0000002D;
constexpr DEVICE_TYPE FILE_DEVICE_DVD = 0x00000033;

// Characteristics bits of FILE_FS_DEVICE_INFORMATION.
constexpr ULONG FILE_REMOVABLE_MEDIA = 0x00000001;
constexpr ULONG FILE_READ_ONLY_DEVICE = 0x00000002;
constexpr ULONG FILE_FLOPPY_DISKETTE = 0x00000004;
constexpr ULONG FILE_WRITE_ONCE_MEDIA = 0x00000008;
constexpr ULONG FILE_REMOTE_DEVICE = 0x00000010;
constexpr ULONG FILE_DEVICE_IS_MOUNTED = 0x00000020;
constexpr ULONG FILE_VIRTUAL_VOLUME = 0x00000040;
constexpr ULONG FILE_DEVICE_SECURE_OPEN = 0x00000100;

enum FS_INFORMATION_CLASS : int {
    FileFsVolumeInformation = 1,
    FileFsLabelInformation = 2,
    FileFsSizeInformation = 3,
    FileFsDeviceInformation = 4,
    FileFsAttributeInformation = 5,
};

struct FILE_FS_DEVICE_INFORMATION {
    DEVICE_TYPE DeviceType = 0;
    ULONG Characteristics = 0;
};
static_assert(sizeof(FILE_FS_DEVICE_INFORMATION) == 8);

// Control codes: device type in bits 16-31, required access in 14-15,
// function in 2-13, transfer method in 0-1.
constexpr ULONG METHOD_BUFFERED = 0;
constexpr ULONG METHOD_IN_DIRECT = 1;
constexpr ULONG METHOD_OUT_DIRECT = 2;
constexpr ULONG METHOD_NEITHER = 3;
constexpr ULONG FILE_ANY_ACCESS = 0;
constexpr ULONG FILE_READ_ACCESS = 1;
constexpr ULONG FILE_WRITE_ACCESS = 2;

constexpr ULONG CTL_CODE(ULONG device_type, ULONG function, ULONG method, ULONG access) {
    return (device_type << 16) | (access << 14) | (function << 2) | method;
}
constexpr ULONG DEVICE_TYPE_FROM_CTL_CODE(ULONG code) { return (code >> 16) & 0xFFFF; }
constexpr ULONG ACCESS_FROM_CTL_CODE(ULONG code) { return (code >> 14) & 3; }
