// Routes a control request to what the device offers: its S.M.A.R.T.
// version answer, its SCSI address, its ATA device and its SCSI unit. A code
// the device does not offer gets STATUS_INVALID_DEVICE_REQUEST, as from a
// Windows driver that does not handle it.
#pragma once

#include <optional>
#include <span>

#include "device/backend.h"
#include "device/internal/ata_device.h"
#include "device/internal/scsi_device.h"
#include "device/scsi_ioctl.h"
#include "device/smart_ioctl.h"

namespace plat::device::detail {

struct DeviceEndpoints {
    std::optional<GETVERSIONINPARAMS> smart_version;
    std::optional<SCSI_ADDRESS> address;
    AtaDevice* ata = nullptr;
    ScsiDevice* scsi = nullptr;
};

IoResult DispatchControl(ULONG code, std::span<const BYTE> in, std::span<BYTE> out, const DeviceEndpoints& device);

}  // namespace plat::device::detail
