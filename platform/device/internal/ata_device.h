// An ATA device as the S.M.A.R.T. requests see it: a task file in, the
// returned registers and possibly a data transfer out.
#pragma once

#include <span>

#include "base/ntstatus.h"
#include "base/wintypes.h"

namespace plat::device::detail {

struct AtaTaskFile {
    BYTE feature = 0;  // error on output
    BYTE count = 0;
    BYTE lba_low = 0;
    BYTE lba_mid = 0;
    BYTE lba_high = 0;
    BYTE device = 0;
    BYTE command = 0;  // status on output
};

constexpr BYTE kAtaStatusError = 0x01;
constexpr BYTE kAtaStatusReady = 0x50;  // DRDY | DSC
constexpr BYTE kAtaErrorAbort = 0x04;

struct AtaOutcome {
    // STATUS_SUCCESS when the command reached the drive; the drive's own
    // verdict is in the returned status register (ERR bit).
    NTSTATUS transport = STATUS_SUCCESS;
    AtaTaskFile registers;  // feature = error, command = status

    bool DeviceError() const { return registers.command & kAtaStatusError; }
};

// Executes one ATA command. `data_in` is the buffer for a PIO data-in
// command (a whole number of 512-byte sectors), empty for a non-data one.
class AtaDevice {
public:
    virtual ~AtaDevice() = default;
    virtual AtaOutcome Execute(const AtaTaskFile& in, std::span<BYTE> data_in) = 0;
};

inline AtaOutcome AtaGood(const AtaTaskFile& in) {
    AtaOutcome out;
    out.registers = in;
    out.registers.feature = 0;
    out.registers.command = kAtaStatusReady;
    return out;
}

inline AtaOutcome AtaAbort(const AtaTaskFile& in) {
    AtaOutcome out;
    out.registers = in;
    out.registers.feature = kAtaErrorAbort;
    out.registers.command = kAtaStatusReady | kAtaStatusError;
    return out;
}

}  // namespace plat::device::detail
