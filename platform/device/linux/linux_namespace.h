// The NT device names of this machine's drives (see device/linux_backend.h
// for the mapping) and the Linux nodes and sysfs entries behind them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/linux_backend.h"
#include "device/scsi_ioctl.h"

namespace plat::device::detail {

struct LinuxNode {
    enum class Kind { kDisk, kCdRom, kTape, kFloppy, kPort } kind = Kind::kDisk;
    std::string device_path;  // the /dev node; empty for a port
    std::string sysfs_block;  // /sys/block/<name> for block devices
    std::string sysfs_scsi;   // the SCSI device directory, whose link name is H:C:T:L
    int number = 0;           // host number for a port
};

class LinuxNamespace {
public:
    explicit LinuxNamespace(LinuxSystem& system) : m_system(system) {}
    std::optional<std::u16string> LinkTarget(std::u16string_view name) const;
    std::optional<LinuxNode> Lookup(std::u16string_view name) const;

    // SCSI disks in name order: sda ... sdz, sdaa ...
    std::vector<std::string> Disks() const;

private:
    bool Exists(const std::string& directory, const std::string& entry) const;

    LinuxSystem& m_system;
};

// "H:C:T:L" of a SCSI device directory, as the address request reports it.
std::optional<SCSI_ADDRESS> ScsiAddressOf(LinuxSystem& system, const std::string& sysfs_scsi);

}  // namespace plat::device::detail
