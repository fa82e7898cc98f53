// The disk driver's S.M.A.R.T. control requests on top of an ATA device:
// checking the SENDCMDINPARAMS a caller sends, running the command, and
// building the SENDCMDOUTPARAMS answer. Shared by the simulated and the
// real backend.
#pragma once

#include <optional>
#include <span>

#include "device/backend.h"
#include "device/internal/ata_device.h"
#include "device/smart_ioctl.h"

namespace plat::device::detail {

// SMART_GET_VERSION. `version` none: the device has no S.M.A.R.T. interface
// and the request fails with STATUS_INVALID_DEVICE_REQUEST.
IoResult SmartVersionRequest(const std::optional<GETVERSIONINPARAMS>& version, std::span<BYTE> out);

// SMART_SEND_DRIVE_COMMAND and SMART_RCV_DRIVE_DATA. Accepted: IDENTIFY
// DEVICE, IDENTIFY PACKET DEVICE and S.M.A.R.T. READ DATA, READ THRESHOLDS and READ LOG for
// receiving; the non-data S.M.A.R.T. subcommands for sending. Anything else
// is STATUS_INVALID_PARAMETER, an input shorter than 32 bytes too, and an
// output without room for the 16-byte header and the data
// STATUS_BUFFER_TOO_SMALL. A command the drive rejects succeeds as a request
// with DriverStatus.bDriverError = SMART_IDE_ERROR and the drive's error
// register in bIDEError.
IoResult SmartDriveRequest(ULONG code, std::span<const BYTE> in, std::span<BYTE> out, AtaDevice& device);

// The S.M.A.R.T. task file a request carries (for recording requests).
std::optional<IDEREGS> SmartRequestRegisters(std::span<const BYTE> in);

}  // namespace plat::device::detail
