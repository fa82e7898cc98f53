// One simulated device object: what FileFsDeviceInformation reports, its
// SCSI address and S.M.A.R.T. version answer, its drive (ATA, SCSI, or a
// port that forwards to the units it addresses), and its behaviour:
// injected failures, pending answers, vanishing after a number of requests.
// It records every request it receives.
//
// Thread rule: safe from any thread; one lock serialises its requests.
// Lock order: a port's lock, then the lock of the unit it forwards to.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "device/backend.h"
#include "device/sim/sim_ata_drive.h"
#include "device/sim/sim_profile.h"
#include "device/sim/sim_scsi_unit.h"
#include "device/sim_machine.h"

namespace plat::device {

class SimDevice {
public:
    // Finds the device a port forwards a pass-through request to.
    using Router = std::function<std::shared_ptr<SimDevice>(const SCSI_ADDRESS&)>;

    SimDevice(const SimDeviceProfile& profile, Router router);

    const std::u16string& Name() const { return m_profile.name; }
    const std::vector<std::u16string>& Links() const { return m_profile.links; }
    const std::optional<SCSI_ADDRESS>& Address() const { return m_profile.address; }
    bool IsPort() const { return m_profile.kind == SimKind::kScsiPort; }
    FILE_FS_DEVICE_INFORMATION DeviceInformation() const;
    bool Vanished() const;

    IoResult Control(ULONG code, std::span<const BYTE> in, std::span<BYTE> out);
    // A pass-through request forwarded by a port.
    detail::ScsiOutcome ExecuteForPort(const detail::ScsiRequest& request);

    // The most recent kMaxRecorded requests, oldest first, and the count of
    // all since the last clear; the bound keeps a long-running demo small.
    std::vector<SimCommand> Commands() const;
    std::size_t CommandCount() const;
    void ClearCommands();

    static constexpr std::size_t kMaxRecorded = 4096;

private:
    IoResult Dispatch(ULONG code, std::span<const BYTE> in, std::span<BYTE> out);
    const SimFailure* InjectedFailure(ULONG code, const SimCommand& command);

    const SimDeviceProfile m_profile;
    const Router m_router;
    mutable std::mutex m_mutex;
    std::unique_ptr<SimAtaDrive> m_ata;
    std::unique_ptr<SimScsiUnit> m_scsi;
    std::uint32_t m_served = 0;
    std::vector<std::uint32_t> m_failureMatches;  // per injected failure
    std::deque<SimCommand> m_commands;
    std::size_t m_commandCount = 0;
};

}  // namespace plat::device
