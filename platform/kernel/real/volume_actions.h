// What the real machine does when a program locks, dismounts or ejects a
// volume: through the desktop's storage service (udisks2 on the system
// D-Bus) when it answers, so the service's own policy decides what the host
// may do; else with the system calls (umount2, the eject ioctls) when the
// host has the right (root); else nothing is done and every request is
// refused with STATUS_ACCESS_DENIED, so nothing is lost.
//
// A request to prevent or allow the removal of the medium locks or unlocks
// the door of an optical drive (CDROM_LOCKDOOR) whichever way the host acts,
// since the storage service offers no such call: it needs only the right to
// open the drive. Other drives have no door the host could hold; for them
// the request stays with the emulated device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kernel/ntddk.h"
#include "kernel/real/block_devices.h"

namespace kern::real {

struct VolumeTarget {
    std::string device;  // kernel name of the block device holding the volume: "sdb1"
    std::string drive;  // its disk or drive: "sdb"
    StorageKind kind = StorageKind::Disk;
    std::vector<std::string> mount_points;  // every mount of the device, first one first
};

class VolumeActions {
public:
    virtual ~VolumeActions() = default;
    virtual std::string Name() const = 0;
    // STATUS_SUCCESS when no process has a file, directory or program open
    // on the volume, STATUS_ACCESS_DENIED when one has (or when the host
    // may not act at all).
    virtual NTSTATUS CheckNotBusy(const VolumeTarget& target) = 0;
    // Unmounts every mount of the device, latest first.
    virtual NTSTATUS Unmount(const VolumeTarget& target) = 0;
    virtual NTSTATUS Eject(const VolumeTarget& target) = 0;
    // Locks (`prevent`) or unlocks an optical drive's door; STATUS_SUCCESS
    // without doing anything for other drives, and for an unlock the host
    // may not send (nothing of the host's then holds the door).
    virtual NTSTATUS PreventRemoval(const VolumeTarget& target, bool prevent);
};

// Actions that find a volume busy by scanning /proc (VolumeInUse).
class ProcessScanningActions : public VolumeActions {
public:
    NTSTATUS CheckNotBusy(const VolumeTarget& target) override;
};

// udisks2 when it answers on the system bus, else the system calls when
// the host runs as root, else actions that refuse.
std::shared_ptr<VolumeActions> MakeVolumeActions();
std::shared_ptr<VolumeActions> MakeUdisksActions();  // null when the service does not answer
std::shared_ptr<VolumeActions> MakeSystemCallActions();
std::shared_ptr<VolumeActions> MakeRefusingActions();

// Whether any process has something open on the file systems mounted at
// `mount_points`: its open files, working and root directories and program,
// as far as `proc` (the process file system; a recorded one in tests) shows
// them to this process. Other users' processes stay hidden from a host that
// is not root.
bool VolumeInUse(const std::vector<std::string>& mount_points, const std::string& proc = "/proc");

// The NTSTATUS of an errno from the actions' system calls.
NTSTATUS StatusFromErrno(int error);

}  // namespace kern::real
