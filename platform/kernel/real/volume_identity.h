// Who a volume is, across restarts and re-plugging: the file system's UUID
// and label as the device manager's database records them
// (/run/udev/data/b<major>:<minor>, "E:ID_FS_UUID=..." lines), and the
// 32-bit volume serial number derived from the UUID.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kern::real {

struct UdevFacts {
    std::string uuid;
    std::string label;  // UTF-8
    std::string fs_type;
};

// Never fails; unknown lines are ignored. The label comes from
// ID_FS_LABEL_ENC (with its \xNN escapes undone) or else ID_FS_LABEL.
UdevFacts ParseUdevData(std::string_view text);

// The serial number Windows would show for the same file system: FAT and
// exFAT ("1234-ABCD") their 32-bit serial, NTFS (16 hex digits) the low 32
// bits of its 64-bit serial, 128-bit UUIDs their four 32-bit words XORed.
// 0 when the text has no hex digits.
std::uint32_t SerialFromUuid(std::string_view uuid);

// The identity under which a volume's drive letter is stored: "UUID:<uuid>"
// when the file system has one, else "DEVICE:<kernel name>" (a volume seen
// only by its device, which keeps its letter while it keeps its name).
std::string VolumeIdentity(std::string_view uuid, std::string_view device_name);

}  // namespace kern::real
