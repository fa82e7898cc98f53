// A SCSI unit reached with the SG_IO request of the Linux SCSI layer on an
// open block, tape or SCSI generic node.
#pragma once

#include "device/internal/scsi_device.h"
#include "device/linux_backend.h"

namespace plat::device::detail {

class SgIoUnit final : public ScsiDevice {
public:
    SgIoUnit(LinuxSystem& system, int fd) : m_system(system), m_fd(fd) {}
    // Transport failures (the call failing, the host adapter or the driver
    // reporting an error) become NTSTATUS values; a CHECK CONDITION comes
    // back as status with its sense data.
    ScsiOutcome Execute(const ScsiRequest& request) override;

private:
    LinuxSystem& m_system;
    int m_fd;
};

}  // namespace plat::device::detail
