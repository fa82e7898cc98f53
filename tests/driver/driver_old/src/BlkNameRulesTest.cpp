// Network drive letters in redirector file names, and disk numbers spelled
// by storage device names.
#include <gtest/gtest.h>

#include "BlkNameRules.h"

namespace blinkor {
namespace {

struct LetterCase {
    std::u16string_view name;
    int os_class;
    int slot;  // -1: no letter
};

TEST(BlinkorNetworkLetterSlot, ReadsTheLetterWhereTheOsClassPutsIt) {
    const LetterCase cases[] = {
        {u"\\;Z:0000000000003e7\\server\\share\\file", 3, 25},
        {u"\\;c:", 1, 2},
        {u"\\;C", 3, -1},                    // too short
        {u"\\Z:\\server\\share", 3, -1},     // class 1..3 need the semicolon
        {u"\\Z:\\server\\share", 0, 25},     // class 0 has none
        {u"\\;Z:", 0, -1},
        {u"\\server\\share\\file", 3, -1},   // UNC, no letter
        {u"\\;1:", 3, -1},
        {u"/;Z:", 3, -1},
        {u"", 2, -1},
    };
    for (const auto& c : cases) {
        const auto slot = NetworkLetterSlot(c.name, c.os_class);
        EXPECT_EQ(slot.value_or(-1), c.slot) << "class " << c.os_class << " name length " << c.name.size();
    }
    EXPECT_EQ(NetworkCountingSlot(u"\\server\\share", 3), kCatchAllSlot);
}

struct NumbersCase {
    std::u16string_view name;
    ULONG device;
    ULONG partition;
};

TEST(BlinkorStorageNameNumbers, PartitionPathsAndTrailingDigits) {
    const NumbersCase cases[] = {
        {u"\\Device\\Harddisk1\\Partition2", 1, 2},
        {u"\\device\\HARDDISK12\\partition30", 12, 30},
        {u"\\Device\\HarddiskVolume3", 3, 0xFFFFFFFFu},
        {u"\\Device\\HarddiskVolumeShadowCopy12", 12, 0xFFFFFFFFu},
        {u"\\Device\\Harddisk1\\Partition", 0, 0xFFFFFFFFu},    // no partition digits: trailing rule, none
        {u"\\Device\\Harddisk1\\Partitions2", 2, 0xFFFFFFFFu},
        {u"\\Device\\CdRom0", 0, 0xFFFFFFFFu},
        {u"\\Device\\Floppy1", 1, 0xFFFFFFFFu},
        {u"\\Device\\NoDigits", 0, 0xFFFFFFFFu},
        {u"7", 0, 0xFFFFFFFFu},                                // never the first character
        {u"\\Device\\Disk99999999999", 0, 0xFFFFFFFFu},         // too large for 32 bits
        {u"", 0, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        const DiskNumbers n = NumbersFromStorageName(c.name);
        EXPECT_EQ(n.device, c.device) << "name length " << c.name.size();
        EXPECT_EQ(n.partition, c.partition) << "name length " << c.name.size();
    }
    EXPECT_TRUE(IsDynamicDiskName(u"\\DEVICE\\harddiskdm1"));
    EXPECT_FALSE(IsDynamicDiskName(u"\\Device\\HarddiskVolume1"));
}

}  // namespace
}  // namespace blinkor
