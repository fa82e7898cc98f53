#include "kernel/real/volume_actions.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <linux/fd.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

namespace kern::real {
namespace {

std::set<dev_t> DevicesOf(const std::vector<std::string>& mount_points) {
    std::set<dev_t> devices;
    for (const auto& point : mount_points) {
        struct stat st;
        if (::stat(point.c_str(), &st) == 0) devices.insert(st.st_dev);
    }
    return devices;
}

bool OnDevice(const std::string& path, const std::set<dev_t>& devices) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && devices.count(st.st_dev);
}

bool IsNumber(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

bool ProcessUses(const std::string& pid_dir, const std::set<dev_t>& devices) {
    for (const char* entry : {"/cwd", "/root", "/exe"})
        if (OnDevice(pid_dir + entry, devices)) return true;
    DIR* fds = ::opendir((pid_dir + "/fd").c_str());
    if (!fds) return false;
    bool used = false;
    while (const dirent* e = ::readdir(fds))
        if (IsNumber(e->d_name) && OnDevice(pid_dir + "/fd/" + e->d_name, devices)) {
            used = true;
            break;
        }
    ::closedir(fds);
    return used;
}

// Sends a six-byte SCSI command without data through SG_IO.
int ScsiCommand(int fd, std::uint8_t op, std::uint8_t byte4) {
    std::uint8_t cdb[6] = {op, 0, 0, 0, byte4, 0};
    std::uint8_t sense[32] = {};
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_NONE;
    io.cmd_len = sizeof cdb;
    io.cmdp = cdb;
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.timeout = 10000;
    if (::ioctl(fd, SG_IO, &io) != 0) return errno;
    return io.status == 0 && io.host_status == 0 && io.driver_status == 0 ? 0 : EIO;
}

class SystemCallActions final : public ProcessScanningActions {
public:
    std::string Name() const override { return "system calls"; }
    NTSTATUS Unmount(const VolumeTarget& target) override {
        for (auto it = target.mount_points.rbegin(); it != target.mount_points.rend(); ++it)
            if (::umount2(it->c_str(), 0) != 0 && errno != EINVAL) return StatusFromErrno(errno);  // EINVAL: not mounted
        return STATUS_SUCCESS;
    }
    NTSTATUS Eject(const VolumeTarget& target) override {
        const int fd = ::open(("/dev/" + target.drive).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return StatusFromErrno(errno);
        int error = 0;
        switch (target.kind) {
            case StorageKind::CdRom:
                ::ioctl(fd, CDROM_LOCKDOOR, 0);  // a door left locked would refuse the eject
                error = ::ioctl(fd, CDROMEJECT, 0) == 0 ? 0 : errno;
                break;
            case StorageKind::Floppy: error = ::ioctl(fd, FDEJECT, 0) == 0 ? 0 : errno; break;
            default:
                // SCSI: ALLOW MEDIUM REMOVAL, then START STOP UNIT with LOEJ (SBC-3 5.25).
                error = ScsiCommand(fd, 0x1E, 0);
                if (!error) error = ScsiCommand(fd, 0x1B, 0x02);
                break;
        }
        ::close(fd);
        return error ? StatusFromErrno(error) : STATUS_SUCCESS;
    }
};

class RefusingActions final : public VolumeActions {
public:
    std::string Name() const override { return "none (no storage service, not root)"; }
    NTSTATUS CheckNotBusy(const VolumeTarget&) override { return STATUS_ACCESS_DENIED; }
    NTSTATUS Unmount(const VolumeTarget&) override { return STATUS_ACCESS_DENIED; }
    NTSTATUS Eject(const VolumeTarget&) override { return STATUS_ACCESS_DENIED; }
};

}  // namespace

NTSTATUS StatusFromErrno(int error) {
    switch (error) {
        case 0: return STATUS_SUCCESS;
        case EBUSY: return STATUS_DEVICE_BUSY;
        case EPERM:
        case EACCES: return STATUS_ACCESS_DENIED;
        case ENOENT:
        case ENXIO:
        case ENODEV: return STATUS_NO_SUCH_DEVICE;
        case ENOMEDIUM: return STATUS_NO_MEDIA_IN_DEVICE;
        case ENOTTY:
        case EINVAL: return STATUS_INVALID_DEVICE_REQUEST;
        case EOPNOTSUPP: return STATUS_NOT_SUPPORTED;
        default: return STATUS_IO_DEVICE_ERROR;
    }
}

NTSTATUS ProcessScanningActions::CheckNotBusy(const VolumeTarget& target) {
    return VolumeInUse(target.mount_points) ? STATUS_ACCESS_DENIED : STATUS_SUCCESS;
}

bool VolumeInUse(const std::vector<std::string>& mount_points, const std::string& proc) {
    const std::set<dev_t> devices = DevicesOf(mount_points);
    if (devices.empty()) return false;
    DIR* processes = ::opendir(proc.c_str());
    if (!processes) return false;
    bool used = false;
    while (const dirent* e = ::readdir(processes))
        if (IsNumber(e->d_name) && ProcessUses(proc + "/" + e->d_name, devices)) {
            used = true;
            break;
        }
    ::closedir(processes);
    return used;
}

NTSTATUS VolumeActions::PreventRemoval(const VolumeTarget& target, bool prevent) {
    if (target.kind != StorageKind::CdRom) return STATUS_SUCCESS;
    const int fd = ::open(("/dev/" + target.drive).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return prevent ? StatusFromErrno(errno) : STATUS_SUCCESS;
    int error = ::ioctl(fd, CDROM_LOCKDOOR, prevent ? 1 : 0) == 0 ? 0 : errno;
    ::close(fd);
    if (!prevent && error == EOPNOTSUPP) error = 0;  // a drive without a lock is never locked
    return StatusFromErrno(error);
}

std::shared_ptr<VolumeActions> MakeSystemCallActions() { return std::make_shared<SystemCallActions>(); }
std::shared_ptr<VolumeActions> MakeRefusingActions() { return std::make_shared<RefusingActions>(); }

std::shared_ptr<VolumeActions> MakeVolumeActions() {
    if (auto udisks = MakeUdisksActions()) return udisks;
    return ::geteuid() == 0 ? MakeSystemCallActions() : MakeRefusingActions();
}

}  // namespace kern::real
