#include "device/internal/smart_requests.h"

#include <cstring>
#include <vector>

namespace plat::device::detail {
namespace {

// Bytes a request moves from the drive, or none for a request the driver
// does not accept.
std::optional<ULONG> DataLength(ULONG code, const IDEREGS& regs) {
    if (code == SMART_RCV_DRIVE_DATA) {
        if (regs.bCommandReg == ID_CMD || regs.bCommandReg == ATAPI_ID_CMD) return IDENTIFY_BUFFER_SIZE;
        if (regs.bCommandReg != SMART_CMD) return std::nullopt;
        switch (regs.bFeaturesReg) {
            case READ_ATTRIBUTES:
            case READ_THRESHOLDS:
                return READ_ATTRIBUTE_BUFFER_SIZE;
            case SMART_READ_LOG:
                if (regs.bSectorCountReg == 0) return std::nullopt;
                return regs.bSectorCountReg * SMART_LOG_SECTOR_SIZE;
            default:
                return std::nullopt;
        }
    }
    if (regs.bCommandReg != SMART_CMD) return std::nullopt;
    switch (regs.bFeaturesReg) {
        case ENABLE_DISABLE_AUTOSAVE:
        case SAVE_ATTRIBUTE_VALUES:
        case EXECUTE_OFFLINE_DIAGS:
        case ENABLE_SMART:
        case DISABLE_SMART:
        case RETURN_SMART_STATUS:
        case ENABLE_DISABLE_AUTO_OFFLINE:
            return 0;
        default:
            return std::nullopt;
    }
}

AtaTaskFile TaskFileOf(const IDEREGS& r) {
    return AtaTaskFile{r.bFeaturesReg, r.bSectorCountReg, r.bSectorNumberReg, r.bCylLowReg,
                       r.bCylHighReg,  r.bDriveHeadReg,   r.bCommandReg};
}

IDEREGS RegistersOf(const AtaTaskFile& t) {
    return IDEREGS{t.feature, t.count, t.lba_low, t.lba_mid, t.lba_high, t.device, t.command, 0};
}

}  // namespace

IoResult SmartVersionRequest(const std::optional<GETVERSIONINPARAMS>& version, std::span<BYTE> out) {
    if (!version) return {STATUS_INVALID_DEVICE_REQUEST, 0, {}};
    if (out.size() < sizeof(GETVERSIONINPARAMS)) return {STATUS_BUFFER_TOO_SMALL, 0, {}};
    std::memcpy(out.data(), &*version, sizeof *version);
    return {STATUS_SUCCESS, sizeof(GETVERSIONINPARAMS), {}};
}

std::optional<IDEREGS> SmartRequestRegisters(std::span<const BYTE> in) {
    if (in.size() < kSendCmdInHeaderSize) return std::nullopt;
    IDEREGS regs;
    std::memcpy(&regs, in.data() + offsetof(SENDCMDINPARAMS, irDriveRegs), sizeof regs);
    return regs;
}

IoResult SmartDriveRequest(ULONG code, std::span<const BYTE> in, std::span<BYTE> out, AtaDevice& device) {
    const auto regs = SmartRequestRegisters(in);
    if (!regs) return {STATUS_INVALID_PARAMETER, 0, {}};
    const auto data_length = DataLength(code, *regs);
    if (!data_length) return {STATUS_INVALID_PARAMETER, 0, {}};
    const bool returns_registers = code == SMART_SEND_DRIVE_COMMAND && regs->bFeaturesReg == RETURN_SMART_STATUS;
    const ULONG payload = returns_registers ? ULONG(sizeof(IDEREGS)) : *data_length;
    if (out.size() < kSendCmdOutHeaderSize + payload) return {STATUS_BUFFER_TOO_SMALL, 0, {}};

    std::vector<BYTE> data(*data_length, 0);
    const AtaOutcome outcome = device.Execute(TaskFileOf(*regs), data);
    if (!NT_SUCCESS(outcome.transport)) return {outcome.transport, 0, {}};

    SENDCMDOUTPARAMS header{};
    if (outcome.DeviceError()) {
        header.DriverStatus.bDriverError = SMART_IDE_ERROR;
        header.DriverStatus.bIDEError = outcome.registers.feature;
        std::memcpy(out.data(), &header, kSendCmdOutHeaderSize);
        return {STATUS_SUCCESS, kSendCmdOutHeaderSize, {}};
    }
    header.cBufferSize = payload;
    std::memcpy(out.data(), &header, kSendCmdOutHeaderSize);
    if (returns_registers) {
        const IDEREGS back = RegistersOf(outcome.registers);
        std::memcpy(out.data() + kSendCmdOutHeaderSize, &back, sizeof back);
    } else if (payload) {
        std::memcpy(out.data() + kSendCmdOutHeaderSize, data.data(), payload);
    }
    return {STATUS_SUCCESS, kSendCmdOutHeaderSize + payload, {}};
}

}  // namespace plat::device::detail
