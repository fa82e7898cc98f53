#include "device/sim/sim_device.h"

#include "device/internal/control_dispatch.h"
#include "device/internal/scsi_requests.h"
#include "device/internal/smart_requests.h"

namespace plat::device {
namespace {

using detail::AtaOutcome;
using detail::AtaTaskFile;
using detail::ScsiOutcome;
using detail::ScsiRequest;

// The answer an injected failure puts in place of the drive's.
class FixedAta final : public detail::AtaDevice {
public:
    explicit FixedAta(BYTE error) : m_error(error) {}
    AtaOutcome Execute(const AtaTaskFile& in, std::span<BYTE>) override {
        AtaOutcome out = detail::AtaAbort(in);
        out.registers.feature = m_error;
        return out;
    }

private:
    BYTE m_error;
};

class FixedScsi final : public detail::ScsiDevice {
public:
    explicit FixedScsi(const std::array<BYTE, 3>& sense) : m_sense(sense) {}
    ScsiOutcome Execute(const ScsiRequest&) override {
        return ScsiOutcome{STATUS_SUCCESS, SCSISTAT_CHECK_CONDITION, FixedSense(m_sense[0], m_sense[1], m_sense[2]), 0};
    }

private:
    std::array<BYTE, 3> m_sense;
};

// Forwards a port's pass-through request to the unit at the address the
// request names.
class PortForwarder final : public detail::ScsiDevice {
public:
    PortForwarder(const SimDevice::Router& router, UCHAR port) : m_router(router), m_port(port) {}
    ScsiOutcome Execute(const ScsiRequest& r) override {
        const auto unit = m_router(SCSI_ADDRESS{sizeof(SCSI_ADDRESS), m_port, r.path, r.target, r.lun});
        if (!unit) return ScsiOutcome{STATUS_NO_SUCH_DEVICE, 0, {}, 0};
        return unit->ExecuteForPort(r);
    }

private:
    const SimDevice::Router& m_router;
    UCHAR m_port;
};

bool IsSmart(ULONG code) { return code == SMART_SEND_DRIVE_COMMAND || code == SMART_RCV_DRIVE_DATA; }

SimCommand RecordOf(ULONG code, std::span<const BYTE> in) {
    SimCommand c;
    c.control_code = code;
    if (IsSmart(code)) {
        if (const auto regs = detail::SmartRequestRegisters(in)) {
            const auto* b = reinterpret_cast<const BYTE*>(&*regs);
            c.bytes.assign(b, b + sizeof(IDEREGS));
        }
    } else if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT) {
        const auto cdb = detail::ScsiRequestCdb(in);
        c.bytes.assign(cdb.begin(), cdb.end());
    }
    return c;
}

// The SCSI face of an ATA disk as a translating driver shows it: vendor
// "ATA", the model as product, the end of the firmware revision.
SimScsi TranslatedIdentity(const SimAta& ata) {
    SimScsi scsi;
    scsi.vendor = "ATA";
    scsi.product = ata.model.substr(0, 16);
    scsi.revision = ata.firmware.size() > 4 ? ata.firmware.substr(ata.firmware.size() - 4) : ata.firmware;
    scsi.serial = ata.serial;
    scsi.blocks = ata.sectors;
    scsi.self_test = false;
    return scsi;
}

}  // namespace

SimDevice::SimDevice(const SimDeviceProfile& profile, Router router)
    : m_profile(profile), m_router(std::move(router)), m_failureMatches(profile.behaviour.failures.size(), 0) {
    if (m_profile.ata) {
        m_ata = std::make_unique<SimAtaDrive>(*m_profile.ata, m_profile.behaviour);
        m_scsi = std::make_unique<SimScsiUnit>(TranslatedIdentity(*m_profile.ata), m_profile.behaviour);
    } else if (m_profile.scsi) {
        m_scsi = std::make_unique<SimScsiUnit>(*m_profile.scsi, m_profile.behaviour);
    }
}

FILE_FS_DEVICE_INFORMATION SimDevice::DeviceInformation() const {
    return FILE_FS_DEVICE_INFORMATION{m_profile.device_type, m_profile.characteristics};
}

bool SimDevice::Vanished() const {
    std::lock_guard lock(m_mutex);
    return m_profile.behaviour.vanish_after && m_served >= *m_profile.behaviour.vanish_after;
}

IoResult SimDevice::Control(ULONG code, std::span<const BYTE> in, std::span<BYTE> out) {
    std::lock_guard lock(m_mutex);
    const auto& behaviour = m_profile.behaviour;
    if (behaviour.vanish_after && m_served >= *behaviour.vanish_after) return {STATUS_NO_SUCH_DEVICE, 0, {}};
    ++m_served;
    SimCommand command = RecordOf(code, in);
    IoResult result;
    if (const SimFailure* failure = InjectedFailure(code, command)) {
        if (failure->status) {
            result = {*failure->status, 0, {}};
        } else if (failure->ata_error && IsSmart(code)) {
            FixedAta drive(*failure->ata_error);
            result = detail::SmartDriveRequest(code, in, out, drive);
        } else {
            FixedScsi unit(*failure->sense);
            result = detail::ScsiPassThroughRequest(in, out, unit);
        }
    } else {
        result = Dispatch(code, in, out);
    }
    result.pending_ms = behaviour.pending_ms;
    command.status = result.status;
    m_commands.push_back(std::move(command));
    if (m_commands.size() > kMaxRecorded) m_commands.pop_front();
    ++m_commandCount;
    return result;
}

const SimFailure* SimDevice::InjectedFailure(ULONG code, const SimCommand& command) {
    const auto& failures = m_profile.behaviour.failures;
    for (std::size_t i = 0; i < failures.size(); ++i) {
        const SimFailure& f = failures[i];
        const bool matches = (!f.control_code || *f.control_code == code) &&
                             (!f.ata_command || (command.IsAta() && command.AtaCommand() == *f.ata_command)) &&
                             (!f.ata_feature || (command.IsAta() && command.AtaFeature() == *f.ata_feature)) &&
                             (!f.scsi_opcode || (command.IsScsi() && command.ScsiOpcode() == *f.scsi_opcode)) &&
                             (!f.sense || command.IsScsi()) && (!f.ata_error || command.IsAta());
        if (!matches) continue;
        const std::uint32_t seen = ++m_failureMatches[i];
        if (seen > f.skip && (!f.times || seen - f.skip <= *f.times)) return &f;
    }
    return nullptr;
}

IoResult SimDevice::Dispatch(ULONG code, std::span<const BYTE> in, std::span<BYTE> out) {
    detail::DeviceEndpoints endpoints{m_profile.smart_version, m_profile.address, m_ata.get(), m_scsi.get()};
    if (!IsPort()) return detail::DispatchControl(code, in, out, endpoints);
    // A port has no address of its own; it forwards to the unit addressed.
    PortForwarder port(m_router, m_profile.address ? m_profile.address->PortNumber : 0);
    endpoints.address.reset();
    endpoints.scsi = &port;
    return detail::DispatchControl(code, in, out, endpoints);
}

detail::ScsiOutcome SimDevice::ExecuteForPort(const detail::ScsiRequest& request) {
    std::lock_guard lock(m_mutex);
    if (!m_scsi || (m_profile.behaviour.vanish_after && m_served >= *m_profile.behaviour.vanish_after))
        return ScsiOutcome{STATUS_NO_SUCH_DEVICE, 0, {}, 0};
    return m_scsi->Execute(request);
}

std::vector<SimCommand> SimDevice::Commands() const {
    std::lock_guard lock(m_mutex);
    return {m_commands.begin(), m_commands.end()};
}

std::size_t SimDevice::CommandCount() const {
    std::lock_guard lock(m_mutex);
    return m_commandCount;
}

void SimDevice::ClearCommands() {
    std::lock_guard lock(m_mutex);
    m_commands.clear();
    m_commandCount = 0;
}

}  // namespace plat::device
