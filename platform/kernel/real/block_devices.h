// The storage devices of the machine as sysfs lists them: disks with their
// partitions, optical drives, floppies, virtual disks (loop, device-mapper,
// md and the like) and SCSI tapes, with the removable-media flag.
//
// A disk without a partition table carries its file system on the whole
// disk; it is given one "partition", number 1, that is the disk itself, so
// its volume shows like any other. Optical drives and floppies carry their
// volume on the drive itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/real/system_files.h"

namespace kern::real {

enum class StorageKind { Disk, VirtualDisk, CdRom, Floppy, Tape };

struct BlockPartition {
    std::string name;  // "sda1"; the disk's own name for a whole-disk file system
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t number = 0;  // 1-based; 0 for the medium of an optical or floppy drive
};

struct BlockDevice {
    std::string name;  // "sda", "sr0", "st0"
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    StorageKind kind = StorageKind::Disk;
    bool removable = false;
    int unit = -1;  // N of srN, fdN, stN; -1 for disks, which the machine numbers
    std::vector<BlockPartition> partitions;  // where volumes can live (disks)
    std::string sysfs;  // "/sys/block/sda"; empty for tapes
};

// Every device, disks first in the order Windows-style disk numbers are
// given to them: SCSI disks by name (sda ... sdz, sdaa), as the S.M.A.R.T.
// device layer numbers them, then the other physical disks by name, then
// the virtual disks; drives and tapes follow. Devices sysfs hides and
// unbound virtual disks (size 0) are left out.
std::vector<BlockDevice> ScanBlockDevices(const SystemFiles& files);

// Reads "8:17" into major and minor.
bool ParseDeviceNumber(const std::string& text, std::uint32_t* major, std::uint32_t* minor);

}  // namespace kern::real
