// Byte layout of the IOCTL_LED_DUMP_STATE output on this 64-bit build.
//
// The dump is the driver's device tree, piece by piece, in this order: the
// control extension; then for each file-system filter (list order) its
// extension, then (network filters only) each present letter record in slot
// order, then each of its volume extensions (list order). Pieces follow each
// other without gaps. The layout is the classic 32-bit one with every pointer
// field widened to 8 bytes and every field at its natural alignment; pointer
// fields carry the object's address, null as 0; spin locks are 8-byte lock
// words.
// Counted strings are 16 bytes: length (2), maximum length (2), 4 zero bytes,
// buffer address (8). All integers are little-endian.
//
// Control extension, 88 bytes:
//    0 8 control device            40 4 file-system filter count
//    8 4 tag "LMCD"                48 8 control spin lock
//   16 8 0 (lower device slot)     56 8 change event object
//   24 8 0 (target device slot)    64 8 activity event object
//   32 8 first file-system filter  72 8 file object of the first open
//                                  80 1 redirector-attached flag
//                                  84 4 open count
// File-system filter extension, 480 bytes:
//    0 8 own device                64 16 counted string: file system device name
//    8 4 tag "LMFS"                80 128 its buffer
//   16 8 lower device             208 1 network flag
//   24 8 file system device       216 8 letter spin lock
//   32 8 previous filter          224 256 32 letter slots, record addresses
//   40 8 next filter
//   48 8 first volume filter
//   56 4 volume filter count
// Volume filter extension, 320 bytes:
//    0 8 own device                72 1 dismounted flag    88 4 serial number
//    8 4 tag "LMVO"                73 1 removable flag     96 16 counted string: storage name
//   16 8 lower device              74 2 drive letter      112 128 its buffer
//   24 8 volume device             76 4 device type       240 16 counted string: label
//   32 8 owner (file-system filter) 80 4 device number    256 64 its buffer
//   40 8 previous volume filter    84 4 partition number
//   48 8 next volume filter
//   56 8 storage device
//   64 4 reads in flight
//   68 4 writes in flight
// Letter record, 36 + n bytes (n = name length in bytes):
//    0 4 reads in flight   16 16 counted string: the name (maximum n + 2)
//    4 4 writes in flight  32 n  the name, then 4 zero bytes
//    8 2 drive letter
#pragma once

#include <cstddef>

namespace blinkor::dump {

inline constexpr std::size_t kControlSize = 88;
inline constexpr std::size_t kFsFilterSize = 480;
inline constexpr std::size_t kVolumeSize = 320;
inline constexpr std::size_t kLetterHeaderSize = 32;
inline constexpr std::size_t kLetterSpare = 4;

namespace control {
inline constexpr std::size_t kDevice = 0, kTag = 8, kLower = 16, kTarget = 24, kFsHead = 32, kFsCount = 40,
                             kLock = 48, kChangeEvent = 56, kActivityEvent = 64, kFirstOpen = 72,
                             kRedirector = 80, kOpenCount = 84;
}
namespace fs {
inline constexpr std::size_t kDevice = 0, kTag = 8, kLower = 16, kTarget = 24, kPrevious = 32, kNext = 40,
                             kVolumeHead = 48, kVolumeCount = 56, kName = 64, kNameBuffer = 80, kNetwork = 208,
                             kLetterLock = 216, kSlots = 224;
}
namespace volume {
inline constexpr std::size_t kDevice = 0, kTag = 8, kLower = 16, kVolumeDevice = 24, kOwner = 32,
                             kPrevious = 40, kNext = 48, kStorage = 56, kReads = 64, kWrites = 68,
                             kDismounted = 72, kRemovable = 73, kLetter = 74, kDeviceType = 76,
                             kDeviceNumber = 80, kPartition = 84, kSerial = 88, kStorageName = 96,
                             kStorageNameBuffer = 112, kLabel = 240, kLabelBuffer = 256;
}
namespace letter {
inline constexpr std::size_t kReads = 0, kWrites = 4, kLetter = 8, kName = 16, kNameBuffer = 32;
}

}  // namespace blinkor::dump
