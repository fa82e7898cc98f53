// ATA commands carried to a disk behind SCSI-ATA translation (SAT): each
// task file becomes an ATA PASS-THROUGH (16) command, and the registers the
// drive returns are read from the sense data, in descriptor format (ATA
// status return descriptor, code 0x09) or in fixed format.
//
// RETURN STATUS needs the cylinder registers back. A bridge that returns
// none, or only the low register, leaves them unknown; the health is then
// worked out the way the drive itself does (a pre-failure attribute at or
// below its threshold) from READ DATA and READ THRESHOLDS, and reported
// through the registers as the drive would have.
#pragma once

#include <optional>

#include "device/internal/ata_device.h"
#include "device/internal/scsi_device.h"

namespace plat::device::detail {

class SatAtaDevice final : public AtaDevice {
public:
    explicit SatAtaDevice(ScsiDevice& unit) : m_unit(unit) {}
    AtaOutcome Execute(const AtaTaskFile& in, std::span<BYTE> data_in) override;

    // Whether the unit carries ATA commands: CHECK POWER MODE, which does
    // not wake a disk in standby, comes back with the drive's registers.
    bool Probe();

private:
    AtaOutcome Pass(const AtaTaskFile& in, std::span<BYTE> data_in);
    std::optional<bool> HealthFromAttributes();

    ScsiDevice& m_unit;
};

// The ATA registers in sense data returned for ATA PASS-THROUGH; none when
// the sense data holds none.
std::optional<AtaTaskFile> RegistersFromSense(std::span<const BYTE> sense);

}  // namespace plat::device::detail
