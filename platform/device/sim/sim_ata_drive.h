// A simulated ATA disk: IDENTIFY DEVICE and the S.M.A.R.T. feature set
// (READ DATA, READ THRESHOLDS, READ LOG, RETURN STATUS, ENABLE/DISABLE
// OPERATIONS, attribute autosave, automatic off-line, SAVE ATTRIBUTE VALUES
// and EXECUTE OFF-LINE IMMEDIATE) as the ATA standard defines them. Off-line
// data collection and self-tests run on the platform clock and show in the
// status bytes 362 and 363 of the data sector and in the self-test log.
//
// Thread rule: not locked; its SimDevice serialises the calls.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "device/internal/ata_device.h"
#include "device/sim/sim_activity.h"
#include "device/sim/sim_profile.h"

namespace plat::device {

class SimAtaDrive final : public detail::AtaDevice {
public:
    SimAtaDrive(const SimAta& profile, const SimBehaviour& behaviour);
    detail::AtaOutcome Execute(const detail::AtaTaskFile& in, std::span<BYTE> data_in) override;

    // The strings the drive's SCSI face (INQUIRY through translation) shows.
    const SimAta& Profile() const { return m_profile; }

private:
    using Sector = std::array<BYTE, 512>;

    detail::AtaOutcome Smart(const detail::AtaTaskFile& in, std::span<BYTE> data_in);
    detail::AtaOutcome ExecuteOffline(const detail::AtaTaskFile& in);
    bool ReadLog(BYTE address, BYTE count, std::span<BYTE> out) const;
    void Progress();
    void StopActivity(BYTE selftest_status);
    void EndSelfTest(BYTE status);
    void StartActivity(int subcommand);
    bool Supports(int subcommand) const;
    bool ThresholdExceeded() const;
    WORD PowerOnHours() const;

    Sector IdentifySector() const;
    Sector DataSector() const;
    Sector ThresholdsSector() const;
    Sector SelfTestLogSector() const;
    Sector ErrorLogSector() const;
    Sector LogDirectorySector() const;

    SimAta m_profile;
    SimBehaviour m_behaviour;
    std::uint64_t m_createdAt = 0;
    bool m_enabled;
    bool m_autosave;
    bool m_autoOffline;
    BYTE m_offlineStatus;   // byte 362 without bit 7
    BYTE m_selfTestStatus;  // byte 363
    std::optional<SimActivity> m_activity;
    std::vector<SimSelfTestEntry> m_log;
};

// Sets byte 511 so that the 512 bytes add up to 0 (ATA data structure
// checksum).
void SetChecksum(std::span<BYTE> sector);

}  // namespace plat::device
