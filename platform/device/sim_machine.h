// Simulated drives: a machine whose device objects, links and drives come
// from a profile (JSON, described in docs/sim-profile.md). The drives answer
// the S.M.A.R.T. control requests and SCSI pass-through as the ATA and SCSI
// standards say, keep their state (S.M.A.R.T. switches, mode pages,
// self-tests progressing on the platform clock) and record every request
// they receive, so a test can check what was sent.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "device/backend.h"

namespace plat::device {

// One request a simulated device received, in arrival order.
struct SimCommand {
    ULONG control_code = 0;
    // The IDEREGS of a S.M.A.R.T. request as sent (features, sector count,
    // sector number, cylinder low, cylinder high, drive/head, command,
    // reserved), the CDB of a pass-through request (CdbLength bytes), and
    // empty for other control codes.
    std::vector<BYTE> bytes;
    NTSTATUS status = STATUS_SUCCESS;  // the request's final status

    bool IsAta() const;
    BYTE AtaCommand() const;  // 0 when not an ATA request
    BYTE AtaFeature() const;
    BYTE AtaSectorNumber() const;
    bool IsScsi() const;
    BYTE ScsiOpcode() const;  // 0xFF when not a pass-through request
};

class SimDevice;
struct SimProfile;

class SimMachine final : public Backend {
public:
    // Loads a profile. On failure the result is null and *error reads
    // "<source>: <field>: <what is wrong>", for example
    // "lab.json: devices[1].ata.attributes[3].id: must be 1 to 255, got 0".
    static std::shared_ptr<SimMachine> FromText(std::string_view json, std::string_view source, std::string* error);
    static std::shared_ptr<SimMachine> FromFile(const std::string& path, std::string* error);
    // The built-in demo profile (DefaultProfileText()).
    static std::shared_ptr<SimMachine> Default();
    // A machine without devices.
    static std::shared_ptr<SimMachine> Empty();

    explicit SimMachine(const SimProfile& profile);
    ~SimMachine() override;
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    // NT names of the device objects, in profile order.
    std::vector<std::string> DeviceNames() const;
    // The requests the device `name` (a device name or a link to one)
    // received since the machine was made or last cleared, oldest first;
    // only the latest 4096 are kept. Empty for an unknown name.
    std::vector<SimCommand> Commands(std::string_view name) const;
    // How many requests it received since then (all of them counted).
    std::size_t CommandCount(std::string_view name) const;
    void ClearCommands();

    std::optional<std::u16string> LinkTarget(std::u16string_view name) override;
    bool DeviceExists(std::u16string_view name) override;
    NTSTATUS Open(std::u16string_view name, std::shared_ptr<DeviceFile>* file) override;

private:
    std::shared_ptr<SimDevice> Find(std::u16string_view device_name) const;
    std::shared_ptr<SimDevice> FindFollowingLinks(std::string_view name) const;

    std::map<std::u16string, std::u16string> m_links;  // lower-case name -> target
    std::vector<std::shared_ptr<SimDevice>> m_devices;
};

// The JSON text of the built-in demo profile.
std::string_view DefaultProfileText();

// Installs a simulated machine for the lifetime of the guard (tests). The
// profile text must be valid: a bad one throws std::invalid_argument with
// the loader's message.
class ScopedSimulation {
public:
    explicit ScopedSimulation(std::string_view profile_json);
    // The built-in demo profile.
    ScopedSimulation();
    ~ScopedSimulation();
    ScopedSimulation(const ScopedSimulation&) = delete;
    ScopedSimulation& operator=(const ScopedSimulation&) = delete;

    SimMachine& machine() { return *m_machine; }
    SimMachine* operator->() { return m_machine.get(); }

private:
    std::shared_ptr<SimMachine> m_machine;
    std::unique_ptr<ScopedBackend> m_scope;
};

}  // namespace plat::device
