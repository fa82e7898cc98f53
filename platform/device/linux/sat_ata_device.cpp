#include "device/linux/sat_ata_device.h"

#include <array>

#include "device/smart_ioctl.h"

namespace plat::device::detail {
namespace {

constexpr BYTE kAtaPassThrough16 = 0x85;
constexpr BYTE kProtocolNonData = 3;
constexpr BYTE kProtocolPioIn = 4;
constexpr BYTE kCheckCondition = 0x20;  // CK_COND: return the registers
constexpr BYTE kPioInFromCount = 0x0E;  // T_DIR in, BYTE_BLOCK, length in the count field
constexpr BYTE kCheckPowerMode = 0xE5;
constexpr BYTE kSenseRecovered = 0x01;
constexpr BYTE kSenseIllegalRequest = 0x05;
constexpr BYTE kSenseAborted = 0x0B;
constexpr BYTE kAtaStatusReturn = 0x09;
constexpr ULONG kCommandSeconds = 60;
constexpr ULONG kCaptiveSelfTestSeconds = 5 * 3600;

BYTE SenseKey(std::span<const BYTE> s) {
    if (s.size() < 3) return 0;
    const BYTE code = s[0] & 0x7F;
    return (code == 0x72 || code == 0x73) ? (s[1] & 0x0F) : (s[2] & 0x0F);
}

std::optional<AtaTaskFile> FromDescriptors(std::span<const BYTE> s) {
    const std::size_t end = std::min<std::size_t>(s.size(), 8u + s[7]);
    for (std::size_t at = 8; at + 2 <= end; at += 2u + s[at + 1]) {
        if (s[at] != kAtaStatusReturn || s[at + 1] < 0x0C || at + 14 > end) continue;
        const auto d = s.subspan(at, 14);
        return AtaTaskFile{d[3], d[5], d[7], d[9], d[11], d[12], d[13]};
    }
    return std::nullopt;
}

// Fixed format: the information field holds error, status, device and
// count; the command-specific field the three LBA bytes.
std::optional<AtaTaskFile> FromFixed(std::span<const BYTE> s) {
    if (s.size() < 14) return std::nullopt;
    const bool pass_through_info = s[12] == 0x00 && s[13] == 0x1D;
    const bool valid = (s[0] & 0x80) && (SenseKey(s) == kSenseRecovered || SenseKey(s) == kSenseAborted);
    if (!pass_through_info && !valid) return std::nullopt;
    return AtaTaskFile{s[3], s[6], s[9], s[10], s[11], s[5], s[4]};
}

bool IsReturnStatus(const AtaTaskFile& t) { return t.command == SMART_CMD && t.feature == RETURN_SMART_STATUS; }

bool HasHealthSignature(const AtaTaskFile& r) {
    return (r.lba_mid == SMART_CYL_LOW && r.lba_high == SMART_CYL_HI) ||
           (r.lba_mid == SMART_CYL_LOW_EXCEEDED && r.lba_high == SMART_CYL_HI_EXCEEDED);
}

}  // namespace

std::optional<AtaTaskFile> RegistersFromSense(std::span<const BYTE> sense) {
    if (sense.size() < 8) return std::nullopt;
    const BYTE code = sense[0] & 0x7F;
    if (code == 0x72 || code == 0x73) return FromDescriptors(sense);
    if (code == 0x70 || code == 0x71) return FromFixed(sense);
    return std::nullopt;
}

AtaOutcome SatAtaDevice::Pass(const AtaTaskFile& in, std::span<BYTE> data_in) {
    const bool data = !data_in.empty();
    // The translation takes the transfer length from the count field, so a
    // data command carries its sector count there (IDENTIFY and READ DATA
    // ignore the register; READ LOG already holds it).
    const BYTE count = data ? static_cast<BYTE>(data_in.size() / 512) : in.count;
    const BYTE cdb[16] = {kAtaPassThrough16,
                          static_cast<BYTE>((data ? kProtocolPioIn : kProtocolNonData) << 1),
                          data ? kPioInFromCount : kCheckCondition,
                          0,
                          in.feature,
                          0,
                          count,
                          0,
                          in.lba_low,
                          0,
                          in.lba_mid,
                          0,
                          in.lba_high,
                          in.device,
                          in.command,
                          0};
    const bool captive = in.command == SMART_CMD && in.feature == EXECUTE_OFFLINE_DIAGS && (in.lba_low & 0x80);
    ScsiRequest request;
    request.cdb = cdb;
    request.direction = data ? DataDirection::kIn : DataDirection::kNone;
    request.data = data_in;
    request.timeout_seconds = captive ? kCaptiveSelfTestSeconds : kCommandSeconds;
    const ScsiOutcome sent = m_unit.Execute(request);

    AtaOutcome out;
    out.transport = sent.transport;
    if (!NT_SUCCESS(sent.transport)) return out;
    const auto registers = RegistersFromSense(sent.sense);
    if (registers) {
        out.registers = *registers;
    } else if (sent.status == 0) {
        out = AtaGood(in);
    } else {
        const BYTE key = SenseKey(sent.sense);
        if (key == kSenseAborted) return AtaAbort(in);
        out.transport = key == kSenseIllegalRequest ? STATUS_INVALID_DEVICE_REQUEST : STATUS_IO_DEVICE_ERROR;
        return out;
    }
    // A data sector that did not arrive whole is no answer at all.
    if (data && !out.DeviceError() && sent.transferred < data_in.size()) out.transport = STATUS_IO_DEVICE_ERROR;
    return out;
}

AtaOutcome SatAtaDevice::Execute(const AtaTaskFile& in, std::span<BYTE> data_in) {
    AtaOutcome out = Pass(in, data_in);
    if (IsReturnStatus(in) && NT_SUCCESS(out.transport) && !out.DeviceError() && !HasHealthSignature(out.registers)) {
        if (const auto exceeded = HealthFromAttributes()) {
            out.registers.lba_mid = *exceeded ? SMART_CYL_LOW_EXCEEDED : SMART_CYL_LOW;
            out.registers.lba_high = *exceeded ? SMART_CYL_HI_EXCEEDED : SMART_CYL_HI;
        }
    }
    return out;
}

std::optional<bool> SatAtaDevice::HealthFromAttributes() {
    std::array<BYTE, 512> values{}, thresholds{};
    const AtaTaskFile read{READ_ATTRIBUTES, 1, 1, SMART_CYL_LOW, SMART_CYL_HI, 0xA0, SMART_CMD};
    AtaTaskFile read_thresholds = read;
    read_thresholds.feature = READ_THRESHOLDS;
    for (auto [task, sector] : {std::pair{read, &values}, std::pair{read_thresholds, &thresholds}}) {
        const AtaOutcome r = Pass(task, *sector);
        if (!NT_SUCCESS(r.transport) || r.DeviceError()) return std::nullopt;
    }
    for (std::size_t i = 0; i < 30; ++i) {
        const BYTE* a = &values[2 + 12 * i];
        if (a[0] == 0 || !(a[1] & 0x01)) continue;  // empty slot or advisory attribute
        for (std::size_t j = 0; j < 30; ++j) {
            const BYTE* t = &thresholds[2 + 12 * j];
            if (t[0] == a[0] && t[1] != 0 && a[3] <= t[1]) return true;
        }
    }
    return false;
}

bool SatAtaDevice::Probe() {
    const AtaOutcome r = Pass(AtaTaskFile{0, 0, 0, 0, 0, 0xA0, kCheckPowerMode}, {});
    return NT_SUCCESS(r.transport) && !r.DeviceError();
}

}  // namespace plat::device::detail
