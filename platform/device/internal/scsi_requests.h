// The SCSI port's control requests on top of a SCSI unit: the address
// query and the direct pass-through, with the checks a Windows port driver
// makes on the SCSI_PASS_THROUGH_DIRECT a caller sends. Shared by the
// simulated and the real backend.
#pragma once

#include <optional>
#include <span>

#include "device/backend.h"
#include "device/internal/scsi_device.h"
#include "device/scsi_ioctl.h"

namespace plat::device::detail {

// IOCTL_SCSI_GET_ADDRESS; a device without an address (none) answers
// STATUS_INVALID_DEVICE_REQUEST.
IoResult ScsiAddressRequest(const std::optional<SCSI_ADDRESS>& address, std::span<BYTE> out);

// IOCTL_SCSI_PASS_THROUGH_DIRECT. Refused with STATUS_INVALID_PARAMETER: an
// input shorter than the structure, a CDB length of 0 or above 16, an
// unknown direction, data without a buffer or without a direction, more
// than kScsiMaxTransferLength bytes, a time-out of 0 or above 30 hours, a
// sense buffer that overlaps the structure or lies outside the output.
// Length other than the structure's size: STATUS_REVISION_MISMATCH; an
// output shorter than the structure: STATUS_BUFFER_TOO_SMALL. Sense data is
// returned (and Information covers it) only with CHECK CONDITION.
IoResult ScsiPassThroughRequest(std::span<const BYTE> in, std::span<BYTE> out, ScsiDevice& device);

// The CDB a request carries (for recording requests); empty when none.
std::span<const BYTE> ScsiRequestCdb(std::span<const BYTE> in);

}  // namespace plat::device::detail
