// A SCSI logical unit as the pass-through request sees it: a CDB, a data
// phase in one direction, and a status with sense data.
#pragma once

#include <span>
#include <vector>

#include "base/ntstatus.h"
#include "base/wintypes.h"

namespace plat::device::detail {

enum class DataDirection { kNone, kIn, kOut };

struct ScsiRequest {
    std::span<const BYTE> cdb;
    DataDirection direction = DataDirection::kNone;
    std::span<BYTE> data;  // the caller's buffer, DataTransferLength bytes
    ULONG timeout_seconds = 0;
    UCHAR path = 0, target = 0, lun = 0;  // used by a port to pick the unit
};

struct ScsiOutcome {
    // STATUS_SUCCESS when the command reached the unit and came back.
    NTSTATUS transport = STATUS_SUCCESS;
    UCHAR status = 0;  // SCSI status byte
    std::vector<BYTE> sense;
    ULONG transferred = 0;  // data bytes actually moved
};

class ScsiDevice {
public:
    virtual ~ScsiDevice() = default;
    virtual ScsiOutcome Execute(const ScsiRequest& request) = 0;
};

}  // namespace plat::device::detail
