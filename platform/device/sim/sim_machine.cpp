#include "device/sim_machine.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/text.h"
#include "device/scsi_ioctl.h"
#include "device/sim/sim_device.h"
#include "device/sim/sim_profile.h"
#include "device/smart_ioctl.h"

namespace plat::device {
namespace {

// An open handle's view of a simulated device.
class SimFile final : public DeviceFile {
public:
    explicit SimFile(std::shared_ptr<SimDevice> device) : m_device(std::move(device)) {}
    FILE_FS_DEVICE_INFORMATION DeviceInformation() const override { return m_device->DeviceInformation(); }
    IoResult Control(ULONG code, std::span<const BYTE> in, std::span<BYTE> out) override {
        return m_device->Control(code, in, out);
    }

private:
    std::shared_ptr<SimDevice> m_device;
};

bool SameAddress(const SCSI_ADDRESS& a, const SCSI_ADDRESS& b) {
    return a.PortNumber == b.PortNumber && a.PathId == b.PathId && a.TargetId == b.TargetId && a.Lun == b.Lun;
}

}  // namespace

bool SimCommand::IsAta() const {
    return (control_code == SMART_SEND_DRIVE_COMMAND || control_code == SMART_RCV_DRIVE_DATA) && bytes.size() == 8;
}
BYTE SimCommand::AtaCommand() const { return IsAta() ? bytes[6] : 0; }
BYTE SimCommand::AtaFeature() const { return IsAta() ? bytes[0] : 0; }
BYTE SimCommand::AtaSectorNumber() const { return IsAta() ? bytes[2] : 0; }
bool SimCommand::IsScsi() const { return control_code == IOCTL_SCSI_PASS_THROUGH_DIRECT && !bytes.empty(); }
BYTE SimCommand::ScsiOpcode() const { return IsScsi() ? bytes[0] : 0xFF; }

std::shared_ptr<SimMachine> SimMachine::FromText(std::string_view json, std::string_view source, std::string* error) {
    std::string ignored;
    auto profile = LoadProfile(json, source, error ? error : &ignored);
    return profile ? std::make_shared<SimMachine>(*profile) : nullptr;
}

std::shared_ptr<SimMachine> SimMachine::FromFile(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = path + ": cannot be read";
        return nullptr;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return FromText(text.str(), path, error);
}

std::shared_ptr<SimMachine> SimMachine::Default() {
    std::string error;
    auto machine = FromText(DefaultProfileText(), "built-in default profile", &error);
    if (!machine) throw std::logic_error(error);  // a build defect, caught by the tests
    return machine;
}

std::shared_ptr<SimMachine> SimMachine::Empty() { return std::make_shared<SimMachine>(SimProfile{}); }

SimMachine::SimMachine(const SimProfile& profile) {
    // The router looks devices up by address; it holds no reference to the
    // machine's list beyond the machine's own lifetime.
    auto router = [this](const SCSI_ADDRESS& address) -> std::shared_ptr<SimDevice> {
        for (const auto& d : m_devices)
            if (!d->IsPort() && d->Address() && SameAddress(*d->Address(), address)) return d;
        return nullptr;
    };
    for (const SimDeviceProfile& d : profile.devices) {
        m_devices.push_back(std::make_shared<SimDevice>(d, router));
        for (const std::u16string& link : d.links) m_links[ToLowerAscii(link)] = d.name;
    }
    for (const auto& [name, target] : profile.links) m_links[ToLowerAscii(name)] = target;
}

SimMachine::~SimMachine() = default;

std::vector<std::string> SimMachine::DeviceNames() const {
    std::vector<std::string> names;
    for (const auto& d : m_devices) names.push_back(Utf16ToUtf8(d->Name()));
    return names;
}

std::shared_ptr<SimDevice> SimMachine::Find(std::u16string_view device_name) const {
    for (const auto& d : m_devices)
        if (EqualsNoCase(d->Name(), device_name)) return d;
    return nullptr;
}

std::shared_ptr<SimDevice> SimMachine::FindFollowingLinks(std::string_view name) const {
    std::u16string current = Utf8ToUtf16(name);
    for (int depth = 0; depth <= 32; ++depth) {
        const auto it = m_links.find(ToLowerAscii(current));
        if (it == m_links.end()) return Find(current);
        current = it->second;
    }
    return nullptr;
}

std::vector<SimCommand> SimMachine::Commands(std::string_view name) const {
    const auto device = FindFollowingLinks(name);
    return device ? device->Commands() : std::vector<SimCommand>{};
}

std::size_t SimMachine::CommandCount(std::string_view name) const {
    const auto device = FindFollowingLinks(name);
    return device ? device->CommandCount() : 0;
}

void SimMachine::ClearCommands() {
    for (const auto& d : m_devices) d->ClearCommands();
}

std::optional<std::u16string> SimMachine::LinkTarget(std::u16string_view name) {
    const auto it = m_links.find(ToLowerAscii(name));
    if (it == m_links.end()) return std::nullopt;
    return it->second;
}

bool SimMachine::DeviceExists(std::u16string_view name) {
    const auto device = Find(name);
    return device && !device->Vanished();
}

NTSTATUS SimMachine::Open(std::u16string_view name, std::shared_ptr<DeviceFile>* file) {
    const auto device = Find(name);
    if (!device || device->Vanished()) return STATUS_OBJECT_NAME_NOT_FOUND;
    *file = std::make_shared<SimFile>(device);
    return STATUS_SUCCESS;
}

ScopedSimulation::ScopedSimulation(std::string_view profile_json) {
    std::string error;
    m_machine = SimMachine::FromText(profile_json, "test profile", &error);
    if (!m_machine) throw std::invalid_argument(error);
    m_scope = std::make_unique<ScopedBackend>(m_machine);
}

ScopedSimulation::ScopedSimulation()
    : m_machine(SimMachine::Default()), m_scope(std::make_unique<ScopedBackend>(m_machine)) {}

ScopedSimulation::~ScopedSimulation() = default;

}  // namespace plat::device
