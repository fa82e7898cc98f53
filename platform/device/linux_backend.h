// The real drives of this Linux machine behind the NT device namespace.
//
//   \Device\HarddiskN\Partition0  link to \Device\HarddiskN\DR0
//   \Device\HarddiskN\DR0         the N-th SCSI disk, /dev/sdX in name order
//                                 (sda, sdb, ..., sdz, sdaa, ...)
//   \Device\CdRomN                /dev/srN
//   \Device\TapeN                 /dev/nstN (the non-rewinding node, so that
//                                 closing the handle does not move the tape)
//   \Device\FloppyN               /dev/fdN
//   \Device\ScsiPortN             SCSI host N (/sys/class/scsi_host/hostN): a
//                                 controller object; a pass-through request
//                                 on it goes to the unit its PathId (channel),
//                                 TargetId and Lun name, through that unit's
//                                 SCSI generic node
//
// Devices are opened read-only and non-blocking, which the SCSI layer allows
// for SG_IO and which neither spins up a disk in standby nor needs a medium.
// S.M.A.R.T. requests travel as ATA PASS-THROUGH (16) to disks behind
// SCSI-ATA translation; SCSI requests go through SG_IO as they are. Every
// system call goes through LinuxSystem, so tests replay recorded answers.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/backend.h"

struct sg_io_hdr;

namespace plat::device {

// The system calls and files the Linux backend uses.
class LinuxSystem {
public:
    virtual ~LinuxSystem() = default;
    virtual int Open(const std::string& path, int flags) = 0;  // fd or -errno
    virtual void Close(int fd) = 0;
    virtual int SgIo(int fd, sg_io_hdr* request) = 0;  // 0 or -errno
    // Entries of a directory (names only), empty when it cannot be read.
    virtual std::vector<std::string> ListDirectory(const std::string& path) = 0;
    // Contents of a small file, none when it cannot be read.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // Final component of a symbolic link's target, none when not a link.
    virtual std::optional<std::string> LinkName(const std::string& path) = 0;
};

// The machine's own system calls.
std::shared_ptr<LinuxSystem> RealLinuxSystem();

std::shared_ptr<Backend> MakeLinuxBackend(std::shared_ptr<LinuxSystem> system = RealLinuxSystem());

// A drive this process may not use for lack of rights: its node could not
// be opened, or it was opened and the kernel refused it a command (S.M.A.R.T.
// and most SCSI commands need CAP_SYS_RAWIO, which root has).
struct AccessRefusal {
    std::string node;     // "/dev/sda"
    bool opened = false;  // true: opened, a command refused
    int error = 0;        // EACCES or EPERM
};

// Installs the function told, once per node and backend, of every refusal
// (from the thread of the refused call); empty to stop. Nothing is told by
// default.
void ReportAccessRefusals(std::function<void(const AccessRefusal&)> report);

}  // namespace plat::device
