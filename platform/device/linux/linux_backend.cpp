#include "device/linux_backend.h"

#include <fcntl.h>

#include <mutex>

#include "device/internal/control_dispatch.h"
#include "device/linux/errno_status.h"
#include "device/linux/linux_namespace.h"
#include "device/linux/refusal_watch.h"
#include "device/linux/sat_ata_device.h"
#include "device/linux/sg_io_unit.h"

namespace plat::device {
namespace {

using detail::LinuxNode;

constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK;

FILE_FS_DEVICE_INFORMATION InformationOf(LinuxSystem& system, const LinuxNode& node) {
    const auto removable = [&] {
        const auto flag = system.ReadFile(node.sysfs_block + "/removable");
        return flag && !flag->empty() && (*flag)[0] == '1';
    };
    switch (node.kind) {
        case LinuxNode::Kind::kDisk:
            return {FILE_DEVICE_DISK, removable() ? FILE_REMOVABLE_MEDIA : 0u};
        case LinuxNode::Kind::kCdRom:
            return {FILE_DEVICE_CD_ROM, FILE_REMOVABLE_MEDIA};
        case LinuxNode::Kind::kTape:
            return {FILE_DEVICE_TAPE, FILE_REMOVABLE_MEDIA};
        case LinuxNode::Kind::kFloppy:
            return {FILE_DEVICE_DISK, FILE_REMOVABLE_MEDIA | FILE_FLOPPY_DISKETTE};
        case LinuxNode::Kind::kPort:
            break;
    }
    return {FILE_DEVICE_CONTROLLER, 0};
}

// Pass-through on a port: the request goes to the SCSI generic node of the
// unit at the port's host number and the request's path, target and lun.
class PortUnit final : public detail::ScsiDevice {
public:
    PortUnit(LinuxSystem& system, int host) : m_system(system), m_host(host) {}
    detail::ScsiOutcome Execute(const detail::ScsiRequest& r) override {
        const std::string unit = std::to_string(m_host) + ":" + std::to_string(r.path) + ":" +
                                 std::to_string(r.target) + ":" + std::to_string(r.lun);
        const auto generic = m_system.ListDirectory("/sys/class/scsi_device/" + unit + "/device/scsi_generic");
        if (generic.empty()) return {STATUS_NO_SUCH_DEVICE, 0, {}, 0};
        const int fd = m_system.Open("/dev/" + generic.front(), O_RDWR | O_NONBLOCK);
        if (fd < 0) return {detail::StatusFromErrno(-fd, false), 0, {}, 0};
        detail::ScsiOutcome out = detail::SgIoUnit(m_system, fd).Execute(r);
        m_system.Close(fd);
        return out;
    }

private:
    LinuxSystem& m_system;
    int m_host;
};

class LinuxFile final : public DeviceFile {
public:
    LinuxFile(std::shared_ptr<LinuxSystem> system, const LinuxNode& node, int fd)
        : m_system(std::move(system)),
          m_node(node),
          m_fd(fd),
          m_information(InformationOf(*m_system, node)),
          m_address(detail::ScsiAddressOf(*m_system, node.sysfs_scsi)) {
        if (node.kind == LinuxNode::Kind::kPort) {
            m_unit = std::make_unique<PortUnit>(*m_system, node.number);
        } else {
            m_unit = std::make_unique<detail::SgIoUnit>(*m_system, fd);
            if (node.kind == LinuxNode::Kind::kDisk) m_ata = std::make_unique<detail::SatAtaDevice>(*m_unit);
        }
    }
    ~LinuxFile() override {
        if (m_fd >= 0) m_system->Close(m_fd);
    }

    FILE_FS_DEVICE_INFORMATION DeviceInformation() const override { return m_information; }

    IoResult Control(ULONG code, std::span<const BYTE> in, std::span<BYTE> out) override {
        std::lock_guard lock(m_mutex);
        detail::DeviceEndpoints endpoints{SmartVersion(code), m_address, m_ata.get(), m_unit.get()};
        if (m_node.kind == LinuxNode::Kind::kPort) endpoints.address.reset();
        return detail::DispatchControl(code, in, out, endpoints);
    }

private:
    // Disks behind SCSI-ATA translation answer the S.M.A.R.T. requests:
    // libata marks its disks with the vendor "ATA"; any other disk (a USB
    // bridge, say) is asked once with a command that does not wake it.
    std::optional<GETVERSIONINPARAMS> SmartVersion(ULONG code) {
        const bool smart =
            code == SMART_GET_VERSION || code == SMART_SEND_DRIVE_COMMAND || code == SMART_RCV_DRIVE_DATA;
        if (!smart || !m_ata) return std::nullopt;
        if (!m_ataCapable) {
            const auto vendor = m_system->ReadFile(m_node.sysfs_scsi + "/vendor");
            m_ataCapable = (vendor && vendor->rfind("ATA", 0) == 0) || m_ata->Probe();
        }
        if (!*m_ataCapable) return std::nullopt;
        GETVERSIONINPARAMS v{};
        v.bVersion = 1;
        v.bRevision = 1;
        v.bIDEDeviceMap = static_cast<BYTE>(1u << ((m_address ? m_address->TargetId : 0) & 1));
        v.fCapabilities = CAP_ATA_ID_CMD | CAP_SMART_CMD;
        return v;
    }

    std::shared_ptr<LinuxSystem> m_system;
    const LinuxNode m_node;
    const int m_fd;
    const FILE_FS_DEVICE_INFORMATION m_information;
    const std::optional<SCSI_ADDRESS> m_address;
    std::mutex m_mutex;  // guards m_ataCapable and serialises requests
    std::unique_ptr<detail::ScsiDevice> m_unit;
    std::unique_ptr<detail::SatAtaDevice> m_ata;
    std::optional<bool> m_ataCapable;
};

class LinuxBackend final : public Backend {
public:
    explicit LinuxBackend(std::shared_ptr<LinuxSystem> system) : m_system(std::move(system)), m_names(*m_system) {}

    std::optional<std::u16string> LinkTarget(std::u16string_view name) override { return m_names.LinkTarget(name); }
    bool DeviceExists(std::u16string_view name) override { return m_names.Lookup(name).has_value(); }

    NTSTATUS Open(std::u16string_view name, std::shared_ptr<DeviceFile>* file) override {
        const auto node = m_names.Lookup(name);
        if (!node) return STATUS_OBJECT_NAME_NOT_FOUND;
        int fd = -1;
        if (node->kind != LinuxNode::Kind::kPort) {
            fd = m_system->Open(node->device_path, kOpenFlags);
            if (fd < 0) return detail::StatusFromErrno(-fd, true);
        }
        *file = std::make_shared<LinuxFile>(m_system, *node, fd);
        return STATUS_SUCCESS;
    }

private:
    std::shared_ptr<LinuxSystem> m_system;
    detail::LinuxNamespace m_names;
};

}  // namespace

std::shared_ptr<Backend> MakeLinuxBackend(std::shared_ptr<LinuxSystem> system) {
    return std::make_shared<LinuxBackend>(std::make_shared<detail::RefusalWatch>(std::move(system)));
}

}  // namespace plat::device
