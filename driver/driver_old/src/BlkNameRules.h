// Name rules of the driver that need no kernel object: which drive letter a
// network file name carries, and which disk and partition numbers a storage
// device name spells.
#pragma once

#include <optional>
#include <string_view>

#include "base/wintypes.h"

namespace blinkor {

// Slot of the catch-all letter record: network names without a letter.
inline constexpr int kCatchAllSlot = 31;
inline constexpr int kLetterSlots = 32;

// The letter slot (0..25 for 'A'..'Z', either case) of a redirector file
// name that begins with the drive letter, or nothing. In OS class 0 the
// letter follows one backslash ("\Z:..."); in later classes it follows a
// backslash and a semicolon ("\;Z:...").
std::optional<int> NetworkLetterSlot(std::u16string_view name, int os_class);

// The slot a network request is counted in: its letter's, or the catch-all.
inline int NetworkCountingSlot(std::u16string_view name, int os_class) {
    return NetworkLetterSlot(name, os_class).value_or(kCatchAllSlot);
}

struct DiskNumbers {
    ULONG device = 0;
    ULONG partition = 0xFFFFFFFFu;
};

// "\Device\HarddiskDm..." names carry no numbers; the caller finds them by
// probing the "\Device\HarddiskD\PartitionP" links.
bool IsDynamicDiskName(std::u16string_view name);

// Numbers spelled by a storage device name:
// - "\Device\Harddisk<d>\Partition<p>" gives d and p;
// - otherwise the decimal digits at the end of the name (never its first
//   character) give the device number, 0 without digits, and the partition
//   stays unknown. "\Device\HarddiskVolume3" gives 3. A name that starts
//   like a partition path but does not continue as one (for example
//   "\Device\HarddiskVolumeShadowCopy12") falls under this second rule too.
DiskNumbers NumbersFromStorageName(std::u16string_view name);

}  // namespace blinkor
